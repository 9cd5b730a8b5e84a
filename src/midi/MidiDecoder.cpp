#include "midi/MidiDecoder.h"

#include <cstddef>

namespace tamborel::midi {

void decodePacket(std::span<const std::uint8_t> packet, MidiEventSink& sink,
                  audio::EventTime time) noexcept {
    const std::size_t length = packet.size();
    unsigned status = 0;
    std::size_t i = 0;
    while (i < length) {
        std::size_t d = i;
        if (packet[i] >= 0x80) {
            status = packet[i];
            d = i + 1;
        }
        const unsigned type = status & 0xF0;
        const int channel = static_cast<int>(status & 0x0F);
        switch (type) {
        case 0x80:
        case 0x90: {
            if (d + 1 >= length)
                return;
            const int note = packet[d];
            const int velocity = packet[d + 1];
            i = d + 2;
            if (type == 0x90 && velocity > 0)
                sink.noteOn(note, velocity, channel, time);
            else
                sink.noteOff(note, channel, time);
            break;
        }
        case 0xA0:
        case 0xB0:
            if (d + 1 >= length)
                return;
            i = d + 2;
            if (type == 0xA0)
                sink.polyPressure(packet[d], packet[d + 1], channel, time);
            else
                sink.controlChange(packet[d], packet[d + 1], channel, time);
            break;
        case 0xE0:
            i = d + 2;
            break;
        default:
            // Program change, channel pressure, every system byte, and data bytes with no
            // status yet: one data byte each.
            i = d + 1;
            break;
        }
    }
}

} // namespace tamborel::midi
