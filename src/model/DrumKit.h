#pragma once
// The kit records: plain values, copied on assignment.

#include "model/FileUrl.h"
#include "model/PadRole.h"
#include "model/Uuid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tamborel {

// One recording of a pad, played for strikes whose velocity lies in low..high (1..127). Its
// gain multiplies the velocity's, for layers recorded at matched levels.
//
// Recordings of one strike that sound together (close, overhead and room microphones; a
// click and a body) share a `together` number above 0: a strike that picks one plays all of
// them, each at its own gain and pan. The first of them stands for the group in the velocity
// ranges and the takes. 0 is a recording that sounds alone.
struct PadSample {
    FileUrl url;
    int low = 1;
    int high = 127;
    float gain = 1.0f;
    float pan = 0.0f; // -1..1, this recording's own place, on top of the pad's
    int together = 0; // 0..maxSamplesPerPad

    friend bool operator==(const PadSample&, const PadSample&) = default;
};

// How the samples that share a strike's velocity take turns: in order, or at random without
// playing the same one twice in a row.
enum class TakeOrder : std::uint8_t { cycle, random };

// The settings of one role within a kit.
struct DrumPad {
    PadRole role = PadRole::kick;
    std::vector<std::int64_t> notes;
    std::optional<FileUrl> sampleURL;
    float volume = 1.0f; // linear gain, 1.0 = unity; above 1.0 is allowed
    float pan = 0.0f;    // 0 = centre, negative = left, positive = right
    bool muted = false;
    bool soloed = false;
    // Every sample of a pad with more than one, the main one (sampleURL) among them; empty
    // for a pad of one sample, which then plays sampleURL at every velocity.
    std::vector<PadSample> samples;
    TakeOrder takeOrder = TakeOrder::cycle;

    // What the pad plays: its samples, else sampleURL over the whole range, else nothing.
    std::vector<PadSample> playedSamples() const;

    // A pad with the role's default notes, no sample, unity volume, centred.
    explicit DrumPad(PadRole r);
    DrumPad() = default; // an empty pad record, for readers that fill every field

    std::string_view id() const { return rawValue(role); }
    friend bool operator==(const DrumPad&, const DrumPad&) = default;
};

struct DrumKit {
    Uuid id;
    std::string name;
    std::vector<DrumPad> pads; // a kit read from a file may lack roles or repeat them
    float masterVolume = 1.0f;

    // A new kit: a random id, the name as given, one default pad per role in table order.
    explicit DrumKit(std::string kitName);
    DrumKit() : DrumKit(std::string{}) {}

    // A copy of the first pad with the role, or none.
    std::optional<DrumPad> pad(PadRole role) const;
    // The first pad with the role, for changing it in place; null when the kit lacks it.
    DrumPad* findPad(PadRole role);
    const DrumPad* findPad(PadRole role) const;

    friend bool operator==(const DrumKit&, const DrumKit&) = default;
};

} // namespace tamborel
