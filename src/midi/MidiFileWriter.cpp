#include "midi/MidiFile.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace tamborel::midi {

namespace {

void bigEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void variableLength(std::string& out, std::uint32_t value) {
    char bytes[5];
    int count = 0;
    do {
        bytes[count++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out += static_cast<char>(bytes[--count] | 0x80);
    out += bytes[0];
}

// A message at its tick; at the same tick note-offs go first, so a strike is never ended by
// the note-off of the one before it.
struct Timed {
    std::uint32_t tick = 0;
    bool noteOff = false;
    std::uint8_t status = 0;
    std::uint8_t first = 0;
    std::uint8_t second = 0;
};

} // namespace

std::string writeMidiFile(const MidiFilePerformance& performance) {
    const double bpm = std::clamp(performance.bpm, 1.0, 1000.0);
    const int noteValue = std::clamp(performance.noteValue, 1, 64);
    const auto ticksPerQuarter =
        static_cast<std::uint32_t>(std::clamp(performance.ticksPerQuarter, 1, 0x7FFF));
    // Microseconds a quarter note, as the tempo message holds them; ticks follow that very
    // number, so that a reader gets the times back.
    const auto microsPerQuarter = static_cast<std::uint32_t>(
        std::clamp(std::llround(60e6 / bpm * noteValue / 4.0), 1LL, 0xFFFFFFLL));
    const double ticksPerSecond = 1e6 / microsPerQuarter * ticksPerQuarter;
    const auto tickOf = [&](double seconds) {
        return static_cast<std::uint32_t>(std::llround(std::max(seconds, 0.0) * ticksPerSecond));
    };

    std::vector<Timed> messages;
    const auto& events = performance.events;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const MidiFileEvent& e = events[i];
        const std::uint32_t tick = tickOf(e.seconds);
        const std::uint8_t channel = e.channel & 0x0F;
        switch (e.kind) {
        case MidiFileEvent::Kind::noteOn: {
            std::uint32_t off = tick + std::max<std::uint32_t>(1, ticksPerQuarter / 8);
            for (std::size_t j = i + 1; j < events.size(); ++j)
                if (events[j].kind == MidiFileEvent::Kind::noteOn && events[j].number == e.number &&
                    events[j].channel == e.channel) {
                    off = std::min(off, std::max(tick, tickOf(events[j].seconds)));
                    break;
                }
            messages.push_back({tick, false, std::uint8_t(0x90 | channel), e.number,
                                std::max<std::uint8_t>(e.value, 1)});
            messages.push_back({off, true, std::uint8_t(0x80 | channel), e.number, 0});
            break;
        }
        case MidiFileEvent::Kind::controlChange:
            messages.push_back({tick, false, std::uint8_t(0xB0 | channel), e.number, e.value});
            break;
        case MidiFileEvent::Kind::polyPressure:
            messages.push_back({tick, false, std::uint8_t(0xA0 | channel), e.number, e.value});
            break;
        case MidiFileEvent::Kind::noteOff:
            break; // each note-on's own note-off is written above
        }
    }
    std::stable_sort(messages.begin(), messages.end(), [](const Timed& a, const Timed& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.noteOff && !b.noteOff;
    });

    std::string track;
    // Tempo, then the meter: numerator, the note value as a power of two, 24 MIDI clocks a
    // metronome click, eight 32nds a quarter.
    track += std::string("\x00\xFF\x51\x03", 4);
    bigEndian(track, microsPerQuarter, 3);
    track += std::string("\x00\xFF\x58\x04", 4);
    track += static_cast<char>(std::clamp(performance.beatsPerBar, 1, 255));
    track += static_cast<char>(std::bit_width(static_cast<unsigned>(noteValue)) - 1);
    track += static_cast<char>(24);
    track += static_cast<char>(8);
    if (!performance.text.empty()) {
        track += std::string("\x00\xFF\x01", 3);
        variableLength(track, static_cast<std::uint32_t>(performance.text.size()));
        track += performance.text;
    }
    std::uint32_t last = 0;
    for (const Timed& m : messages) {
        variableLength(track, m.tick - last);
        last = m.tick;
        track += static_cast<char>(m.status);
        track += static_cast<char>(m.first & 0x7F);
        track += static_cast<char>(m.second & 0x7F);
    }
    track += std::string("\x00\xFF\x2F\x00", 4);

    std::string file = "MThd";
    bigEndian(file, 6, 4);
    bigEndian(file, 0, 2); // format 0
    bigEndian(file, 1, 2); // one track
    bigEndian(file, ticksPerQuarter, 2);
    file += "MTrk";
    bigEndian(file, static_cast<std::uint32_t>(track.size()), 4);
    return file + track;
}

} // namespace tamborel::midi
