// Standard MIDI Files from anywhere, as tamborel-render reads them: refused with a reason, or
// a performance in time order with every value in its MIDI range.
#include "FuzzCheck.h"

#include "midi/MidiFile.h"

#include <cmath>
#include <string_view>

using namespace tamborel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto result =
        midi::readMidiFile(std::string_view(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(result.events.has_value() == result.error.empty());
    if (!result.events)
        return 0;
    double previous = 0;
    for (const midi::MidiFileEvent& event : *result.events) {
        FUZZ_CHECK(std::isfinite(event.seconds) && event.seconds >= previous);
        previous = event.seconds;
        FUZZ_CHECK(event.channel <= 15 && event.number <= 127 && event.value <= 127);
        if (event.kind == midi::MidiFileEvent::Kind::noteOn)
            FUZZ_CHECK(event.value >= 1);
    }
    return 0;
}
