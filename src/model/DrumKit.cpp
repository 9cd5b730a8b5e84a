#include "model/DrumKit.h"

#include <algorithm>
#include <utility>

namespace tamborel {

DrumPad::DrumPad(PadRole r) : role(r) {
    const auto defaults = defaultNotes(r);
    notes.assign(defaults.begin(), defaults.end());
}

DrumKit::DrumKit(std::string kitName) : id(Uuid::random()), name(std::move(kitName)) {
    pads.reserve(padRoleCount);
    for (PadRole role : allPadRoles)
        pads.emplace_back(role);
}

std::vector<PadSample> DrumPad::playedSamples() const {
    if (!samples.empty())
        return samples;
    if (sampleURL)
        return {PadSample{*sampleURL}};
    return {};
}

const DrumPad* DrumKit::findPad(PadRole role) const {
    auto it = std::find_if(pads.begin(), pads.end(), [role](auto& p) { return p.role == role; });
    return it == pads.end() ? nullptr : &*it;
}

DrumPad* DrumKit::findPad(PadRole role) {
    return const_cast<DrumPad*>(std::as_const(*this).findPad(role));
}

std::optional<DrumPad> DrumKit::pad(PadRole role) const {
    if (const DrumPad* found = findPad(role))
        return *found;
    return std::nullopt;
}

} // namespace tamborel
