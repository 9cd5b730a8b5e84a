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

// Weights of a pick by power, in squares of the average step between neighbouring powers:
// having played just now costs a recording as much as lying two steps from the aim, and the
// random amount, at most half a step's worth, only ever chooses between neighbours.
constexpr double recentWeight = 4.0;
constexpr double randomWeight = 0.5;

} // namespace

std::uint8_t pickByPower(const VelocityTable& table, TakeState& state, int velocity,
                         std::uint64_t now, double rate) noexcept {
    const std::size_t count = table.leads.size();
    const double span = double(table.highestPower) - double(table.lowestPower);
    const double aim =
        double(table.lowestPower) + span * double(std::clamp(velocity, 1, 127) - 1) / 126.0;
    const double step = count > 1 ? 1.0 / double(count - 1) : 1.0;
    const double window = std::max(1.0, recentSeconds * rate);
    // How long ago the sample played, as a fraction of the window; 1 when not within it (or
    // when the clock went back, as in a new session).
    const auto ago = [&](std::uint8_t sample) {
        const std::uint64_t played = state.playedAt[sample];
        if (played == 0 || played - 1 > now)
            return 1.0;
        return std::min(1.0, double(now - (played - 1)) / window);
    };
    std::uint8_t best = table.leads[0];
    double bestScore = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < count && count > 1; ++i) {
        const std::uint8_t sample = table.leads[i];
        const double since = ago(sample);
        // The one played last waits out the window while there are others.
        if (sample == state.playedLast && since < 1.0)
            continue;
        const double distance = span > 0.0 ? (double(table.powers[i]) - aim) / span : 0.0;
        const double score = distance * distance +
                             recentWeight * step * step * (1.0 - since) * (1.0 - since) +
                             randomWeight * step * step * double(nextRandom(state)) / 4294967296.0;
        if (score < bestScore) {
            bestScore = score;
            best = sample;
        }
    }
    state.playedAt[best] = now + 1;
    state.playedLast = best;
    return best;
}

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
        table.leads.push_back(static_cast<std::uint8_t>(i));
        table.powers.push_back(samples[i].power);
    }
    const auto [lowest, highest] = std::minmax_element(table.powers.begin(), table.powers.end());
    table.lowestPower = *lowest;
    table.highestPower = *highest;
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
