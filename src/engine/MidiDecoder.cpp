#include "engine/MidiDecoder.h"

namespace tamborel::engine {

namespace {

constexpr std::uint8_t firstRealTime = 0xF8;
constexpr std::uint8_t firstSystem = 0xF0;

// Data bytes a channel message takes after its status.
int dataBytesOf(unsigned status) noexcept {
    const unsigned type = status & 0xF0;
    return type == 0xC0 || type == 0xD0 ? 1 : 2;
}

void dispatch(unsigned status, const std::uint8_t (&data)[2], MidiEventSink& sink,
              timing::EventTime time) noexcept {
    const int channel = static_cast<int>(status & 0x0F);
    switch (status & 0xF0) {
    case 0x90:
        if (data[1] > 0) {
            sink.noteOn(data[0], data[1], channel, time);
            break;
        }
        [[fallthrough]]; // a note-on at velocity 0 is a note-off
    case 0x80:
        sink.noteOff(data[0], channel, time);
        break;
    case 0xA0:
        sink.polyPressure(data[0], data[1], channel, time);
        break;
    case 0xB0:
        sink.controlChange(data[0], data[1], channel, time);
        break;
    case 0xC0:
        sink.programChange(data[0], channel, time);
        break;
    default: // channel pressure, pitch bend: nothing a drum plays
        break;
    }
}

} // namespace

void decodePacket(std::span<const std::uint8_t> packet, MidiEventSink& sink,
                  timing::EventTime time) noexcept {
    unsigned status = 0; // the channel message being read or repeated; 0 for none
    std::uint8_t data[2] = {};
    int have = 0;
    for (const std::uint8_t byte : packet) {
        if (byte >= firstRealTime)
            continue;
        if (byte >= 0x80) {
            // System exclusive and system common carry no channel message: their data bytes
            // fall to `status == 0` below and are skipped.
            status = byte < firstSystem ? byte : 0;
            have = 0;
            continue;
        }
        if (status == 0)
            continue;
        data[have++] = byte;
        if (have == dataBytesOf(status)) {
            dispatch(status, data, sink, time);
            have = 0;
        }
    }
}

} // namespace tamborel::engine
