#include "model/SampleSelection.h"

#include <algorithm>
#include <limits>

namespace tamborel::selection {

namespace {

// How far the velocity lies outside the sample's range; 0 inside it.
int distance(const PadSample& sample, int velocity) {
    if (velocity < sample.low)
        return sample.low - velocity;
    if (velocity > sample.high)
        return velocity - sample.high;
    return 0;
}

} // namespace

VelocityTable VelocityTable::build(std::span<const PadSample> samples) {
    VelocityTable table;
    if (samples.empty() || samples.size() > maxSamplesPerPad)
        return table;
    // Each group of samples that sound together, under its first member.
    std::vector<bool> leads(samples.size(), false);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int id = samples[i].together;
        leads[i] = id == 0 || std::none_of(samples.begin(), samples.begin() + std::ptrdiff_t(i),
                                           [id](const PadSample& s) { return s.together == id; });
        if (!leads[i])
            continue;
        table.groups[i].first = static_cast<std::uint16_t>(table.together.size());
        for (std::size_t j = i; j < samples.size(); ++j)
            if (j == i || (id != 0 && samples[j].together == id))
                table.together.push_back(static_cast<std::uint8_t>(j));
        table.groups[i].count =
            static_cast<std::uint8_t>(table.together.size() - table.groups[i].first);
    }
    std::vector<std::uint8_t> members;
    for (int v = 1; v <= 127; ++v) {
        int nearest = std::numeric_limits<int>::max();
        for (std::size_t i = 0; i < samples.size(); ++i)
            if (leads[i])
                nearest = std::min(nearest, distance(samples[i], v));
        // Below every range and above every range both count as "nearest"; for the lower on
        // a tie, keep only the ranges on the side of the first one found.
        int side = 0;
        members.clear();
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (!leads[i] || distance(samples[i], v) != nearest)
                continue;
            const int thisSide = nearest == 0 ? 0 : (samples[i].high < v ? -1 : 1);
            if (members.empty())
                side = thisSide;
            else if (thisSide != side && thisSide == -1) {
                members.clear();
                side = -1;
            } else if (thisSide != side)
                continue;
            members.push_back(static_cast<std::uint8_t>(i));
        }
        // The same members as an earlier velocity: the same set, so its turns carry on.
        std::size_t id = 0;
        const auto same = [&](const Set& set) {
            const auto begin = table.members.begin() + set.first;
            return std::equal(members.begin(), members.end(), begin, begin + set.count);
        };
        while (id < table.sets.size() && !same(table.sets[id]))
            ++id;
        if (id == table.sets.size()) {
            table.sets.push_back({static_cast<std::uint16_t>(table.members.size()),
                                  static_cast<std::uint8_t>(members.size())});
            table.members.insert(table.members.end(), members.begin(), members.end());
        }
        table.setOf[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(id);
    }
    table.setOf[0] = table.setOf[1];
    return table;
}

} // namespace tamborel::selection
