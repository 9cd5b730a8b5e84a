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
    // In a kit with microphones: the microphone each of the file's channels feeds, in the
    // file's channel order, as an index into DrumKit::microphones (-1: a channel heard on
    // none). Empty: the file plays as a stereo (or mono) recording, as in any other kit.
    std::vector<int> microphones = {};
    // How hard the hit was, on the kit's own scale (larger is harder); read by pads whose
    // takes go by power (TakeOrder::power).
    float power = 0.0f;
    // Levelled when it was recorded, so its loudness comes from the strike's velocity. In a
    // pad that goes by power the others play at their recorded level.
    bool normalized = false;

    friend bool operator==(const PadSample&, const PadSample&) = default;
};

// How the samples that share a strike's velocity take turns: in order, or at random without
// playing the same one twice in a row. `power`: as DrumGizmo kits are played, every strike
// aims at a power within the pad's recordings and takes one near it, avoiding those played a
// moment ago; velocity ranges are not read.
enum class TakeOrder : std::uint8_t { cycle, random, power };

// One microphone of a kit recorded on several at once (close, overhead and room
// microphones): its place in the kit's own mix. Kits of stereo recordings have none.
struct Microphone {
    std::string name;
    float volume = 1.0f; // linear gain, 1.0 = as recorded
    float pan = 0.0f;    // -1 (left) .. 1 (right)
    bool muted = false;
    bool soloed = false;
    bool inverted = false; // polarity
    // The separate output it is heard on when outputs go by microphone, from 1; 0 is its
    // own (its place in the kit's list, from 1). Microphones may share one.
    int output = 0;

    friend bool operator==(const Microphone&, const Microphone&) = default;
};
inline constexpr std::size_t maxMicrophones = 32;

// Another pad that a strike of this one silences, as a DrumGizmo instrument chokes another:
// what that pad rings fades out over `seconds` from the strike's frame.
struct PadChoke {
    PadRole role = PadRole::kick;
    float seconds = 0.0f; // 0..maxChokeSeconds; 0 cuts at once (a fade too short to click)
    friend bool operator==(const PadChoke&, const PadChoke&) = default;
};
inline constexpr float maxChokeSeconds = 10.0f;

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
    // In a kit with microphones: the pad's own microphones (indices into
    // DrumKit::microphones); the others hear it as bleed. Empty: every one is its own.
    std::vector<int> ownMicrophones = {};
    // Pads a strike of this one silences, each role once (the hi-hat's own chokes are not
    // listed: a closing hat always stops the open one).
    std::vector<PadChoke> chokes = {};
    // A note-off fades what the pad rings over this many seconds (0..maxChokeSeconds), as
    // SoundFont players release a note; none: every strike rings to its end.
    std::optional<float> release = std::nullopt;

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
    // Empty for a kit of stereo recordings; then the two fields after it are not read.
    std::vector<Microphone> microphones = {};
    float bleed = 1.0f; // 0..1: scales every microphone that is not a strike's own
    // Pans mirrored: the kit heard from the audience, not from the drummer's seat.
    bool audienceView = false;
    // Strikes play at the square of their velocity's share of full (a SoundFont's response,
    // as its players play it) rather than in proportion to it.
    bool squaredVelocity = false;
    // The MIDI controller the kit's own hi-hat openness follows (an SFZ kit's CC64, say);
    // none: whatever the player's settings say. Loading such a kit points the pedal at it.
    std::optional<int> hiHatController = std::nullopt;

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
