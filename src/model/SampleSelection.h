#pragma once
// Which of a pad's samples a strike plays. Building a table allocates (main thread); pick()
// does not, and runs on the audio thread with state that thread owns.
//
// Samples that sound together (PadSample::together) count as one, the first of them standing
// for the group. The samples whose velocity ranges hold the strike's velocity form its set; a
// velocity that no range holds plays the samples whose ranges lie nearest to it (the lower on a
// tie). A set plays its members in turn, or at random without repeating the one it played last.
//
// Pads that go by power (TakeOrder::power) read no velocity ranges: a strike aims at a power
// within the pad's recordings, from the softest at velocity 1 to the hardest at 127, and each
// recording is scored by its distance from that aim (squared, over the whole span of powers),
// by how recently it played (a penalty fading over recentSeconds) and by a small random amount;
// the lowest score plays. The one played last sits out while it is recent, so a roll at one
// velocity never plays one recording twice in a row, and spreads over the neighbours nearest
// the aim rather than over the whole pad.

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
    // For picks by power: the samples that stand for their groups, their powers in the same
    // order, and the span of those.
    std::vector<std::uint8_t> leads;
    std::vector<float> powers;
    float lowestPower = 0.0f;
    float highestPower = 0.0f;

    // Empty (no sets) for no samples or more than maxSamplesPerPad.
    static VelocityTable build(std::span<const PadSample> samples);
};

// Per pad, owned by the thread that picks.
struct TakeState {
    std::array<std::uint8_t, 128> next{}; // per set: the turn of the next cycled pick
    std::array<std::uint8_t, 128> last{}; // per set: the member a random pick played last
    std::uint32_t random = 0x9E3779B9u;   // xorshift32 state, never 0: the seed
    // Per sample: the frame at which a pick by power last played it, plus one; 0 for never.
    std::array<std::uint64_t, maxSamplesPerPad> playedAt{};
    std::uint8_t playedLast = 0; // the sample a pick by power played last
};

// How long a recording picked by power stays less likely to play again.
inline constexpr double recentSeconds = 1.0;

inline std::uint32_t nextRandom(TakeState& state) noexcept {
    std::uint32_t x = state.random;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return state.random = x;
}

// A pick by power for a strike at frame `now` of a clock running at `rate` frames a second;
// the table must have sets.
std::uint8_t pickByPower(const VelocityTable& table, TakeState& state, int velocity,
                         std::uint64_t now, double rate) noexcept;

// The sample index to play; the table must have sets. Only picks by power read the time of
// the strike (`now`, in frames at `rate` frames a second).
inline std::uint8_t pick(const VelocityTable& table, TakeState& state, int velocity,
                         TakeOrder order, std::uint64_t now = 0, double rate = 48000.0) noexcept {
    if (order == TakeOrder::power)
        return pickByPower(table, state, velocity, now, rate);
    const auto v = static_cast<std::size_t>(velocity < 1 ? 1 : velocity > 127 ? 127 : velocity);
    const std::uint8_t id = table.setOf[v];
    const VelocityTable::Set set = table.sets[id];
    std::uint8_t turn = 0;
    if (set.count > 1 && order == TakeOrder::random) {
        // Draw among the others, then skip over the last one.
        turn = static_cast<std::uint8_t>(nextRandom(state) % (set.count - 1u));
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
                                                  int velocity, TakeOrder order,
                                                  std::uint64_t now = 0,
                                                  double rate = 48000.0) noexcept {
    const VelocityTable::Set group = table.groups[pick(table, state, velocity, order, now, rate)];
    return {table.together.data() + group.first, group.count};
}

} // namespace tamborel::selection
