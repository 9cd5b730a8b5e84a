#include "controller/KitHistory.h"

namespace tamborel::controller {

void KitHistory::reset(const DrumKit& kit) {
    undo_.clear();
    redo_.clear();
    last_ = kit;
    lastKind_.clear();
}

void KitHistory::record(const DrumKit& kit, std::string kind) {
    if (kit == last_)
        return;
    const bool joins = !kind.empty() && kind == lastKind_ && !undo_.empty();
    if (!joins) {
        undo_.push_back({last_, kind});
        if (undo_.size() > depth)
            undo_.erase(undo_.begin());
    }
    redo_.clear();
    last_ = kit;
    lastKind_ = std::move(kind);
}

std::optional<DrumKit> KitHistory::undo(const DrumKit& current) {
    if (undo_.empty())
        return std::nullopt;
    Step step = std::move(undo_.back());
    undo_.pop_back();
    redo_.push_back({current, step.kind});
    last_ = step.kit;
    lastKind_.clear(); // the next edit starts a step of its own
    return std::move(step.kit);
}

std::optional<DrumKit> KitHistory::redo(const DrumKit& current) {
    if (redo_.empty())
        return std::nullopt;
    Step step = std::move(redo_.back());
    redo_.pop_back();
    undo_.push_back({current, step.kind});
    last_ = step.kit;
    lastKind_.clear();
    return std::move(step.kit);
}

} // namespace tamborel::controller
