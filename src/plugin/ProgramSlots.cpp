#include "plugin/ProgramSlots.h"

namespace tamborel::plugin {

bool ProgramSlots::programChange(int program, std::optional<Load>& load) {
    load.reset();
    for (std::size_t i = 0; i < count; ++i) {
        if (slots_[i].program != program)
            continue;
        pending_ = program;
        if (slots_[i].busy)
            return false;
        current_ = i;
        pending_ = 0;
        return true;
    }
    // Not loaded yet: the worker reads the list again, so a program added since is found too.
    const auto slot = freeSlot(program);
    if (!slot)
        return false;
    slots_[*slot] = {program, true, true};
    pending_ = program;
    load = Load{*slot, program};
    return false;
}

ProgramSlots::Load ProgramSlots::kitChosen() {
    slots_[current_] = {0, true, true};
    return {current_, 0};
}

bool ProgramSlots::loaded(std::size_t slot, int program, bool ok) {
    Slot& s = slots_[slot];
    s.busy = false;
    if (!ok) {
        // The player keeps what it had, but no longer stands for a program of the list.
        if (program != 0)
            s.program = 0;
        if (pending_ == program)
            pending_ = 0;
        return false;
    }
    s.program = program;
    if (program != 0 && pending_ != program)
        return false;
    if (pending_ == program)
        pending_ = 0;
    current_ = slot;
    return true;
}

void ProgramSlots::cancel(std::size_t slot) {
    slots_[slot].busy = false;
    if (slots_[slot].program == pending_)
        pending_ = 0;
    slots_[slot].program = 0;
}

std::array<std::optional<ProgramSlots::Load>, 2> ProgramSlots::neighbours() {
    std::array<std::optional<Load>, 2> loads;
    const int playing = slots_[current_].program;
    if (playing == 0)
        return loads;
    const auto programs = around(playing);
    for (std::size_t n = 0; n < programs.size(); ++n) {
        const int program = programs[n];
        bool held = program == 0;
        for (const Slot& s : slots_)
            held = held || s.program == program;
        if (held)
            continue;
        if (const auto slot = freeSlot(playing)) {
            slots_[*slot] = {program, true, true};
            loads[n] = Load{*slot, program};
        }
    }
    return loads;
}

// A player neither playing nor loading, rather one that does not hold a program next to
// `program` in the list.
std::optional<std::size_t> ProgramSlots::freeSlot(int program) const {
    const auto next = around(program);
    std::optional<std::size_t> any;
    for (std::size_t i = 0; i < count; ++i) {
        const Slot& s = slots_[i];
        if (i == current_ || s.busy)
            continue;
        if (s.program == 0 || (s.program != next[0] && s.program != next[1]))
            return i;
        any = i;
    }
    return any;
}

// The programs of the list before and after `program`; 0 where there is none.
std::array<int, 2> ProgramSlots::around(int program) const {
    std::array<int, 2> found{0, 0};
    for (int p = program - 1; p >= 1 && found[0] == 0; --p)
        if (programs_[static_cast<std::size_t>(p)])
            found[0] = p;
    for (int p = program + 1; p <= programCount && found[1] == 0; ++p)
        if (programs_[static_cast<std::size_t>(p)])
            found[1] = p;
    return found;
}

} // namespace tamborel::plugin
