#pragma once
// Which of a pad's samples a strike plays. Building a table allocates (main thread); pick()
// does not, and runs on the audio thread with state that thread owns.
//
// Samples that sound together (PadSample::together) count as one, the first of them standing
// for the group. The samples whose velocity ranges hold the strike's velocity form its set; a
// velocity that no range holds plays the samples whose ranges lie nearest to it (the lower on a
// tie). A set plays its members in turn, or at random without repeating the one it played last.

#include "model/DrumKit.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tamborel::selection {

// Bounds the per-pad tables; a kit document asking for more is refused. Sample indices fit a
// byte with 255 to spare, which the engine reads as "any".
inline constexpr std::size_t maxSamplesPerPad = 255;

struct VelocityTable {
    struct Set {
        std::uint16_t first = 0; // into members
        std::uint8_t count = 0;
    };
    std::array<std::uint8_t, 128> setOf{}; // per velocity 0..127; 0 is read as 1
    std::vector<Set> sets;                 // at most 127 distinct ones
    std::vector<std::uint8_t> members;     // sample indices, each set's in sample order
    // Per sample that stands for its group (see PadSample::together): the samples sounding
    // with it, itself first, as first/count into `together`. Others are in no set.
    std::array<Set, maxSamplesPerPad> groups{};
    std::vector<std::uint8_t> together;

    // Empty (no sets) for no samples or more than maxSamplesPerPad.
    static VelocityTable build(std::span<const PadSample> samples);
};

// Per pad, owned by the thread that picks.
struct TakeState {
    std::array<std::uint8_t, 128> next{}; // per set: the turn of the next cycled pick
    std::array<std::uint8_t, 128> last{}; // per set: the member a random pick played last
    std::uint32_t random = 0x9E3779B9u;   // xorshift32 state, never 0
};

// The sample index to play; the table must have sets.
inline std::uint8_t pick(const VelocityTable& table, TakeState& state, int velocity,
                         TakeOrder order) noexcept {
    const auto v = static_cast<std::size_t>(velocity < 1 ? 1 : velocity > 127 ? 127 : velocity);
    const std::uint8_t id = table.setOf[v];
    const VelocityTable::Set set = table.sets[id];
    std::uint8_t turn = 0;
    if (set.count > 1 && order == TakeOrder::random) {
        std::uint32_t x = state.random;
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        state.random = x;
        // Draw among the others, then skip over the last one.
        turn = static_cast<std::uint8_t>(x % (set.count - 1u));
        if (turn >= state.last[id])
            ++turn;
        state.last[id] = turn;
    } else if (set.count > 1) {
        turn = static_cast<std::uint8_t>(state.next[id] % set.count);
        state.next[id] = static_cast<std::uint8_t>((turn + 1) % set.count);
    }
    return table.members[set.first + turn];
}

// The samples a strike plays together: the picked one and those that sound with it.
inline std::span<const std::uint8_t> pickTogether(const VelocityTable& table, TakeState& state,
                                                  int velocity, TakeOrder order) noexcept {
    const VelocityTable::Set group = table.groups[pick(table, state, velocity, order)];
    return {table.together.data() + group.first, group.count};
}

} // namespace tamborel::selection
