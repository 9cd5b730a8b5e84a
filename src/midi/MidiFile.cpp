#include "midi/MidiFile.h"

#include <algorithm>
#include <map>

namespace tamborel::midi {

namespace {

// Reads big-endian fields and variable-length quantities, failing instead of running off
// the end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    bool atEnd() const { return pos_ >= bytes_.size(); }
    std::size_t remaining() const { return bytes_.size() - pos_; }

    std::optional<std::uint8_t> byte() {
        if (atEnd())
            return std::nullopt;
        return static_cast<std::uint8_t>(bytes_[pos_++]);
    }
    std::optional<std::uint32_t> bigEndian(int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            auto b = byte();
            if (!b)
                return std::nullopt;
            value = (value << 8) | *b;
        }
        return value;
    }
    // At most four bytes, as the format allows.
    std::optional<std::uint32_t> variableLength() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            auto b = byte();
            if (!b)
                return std::nullopt;
            value = (value << 7) | (*b & 0x7F);
            if ((*b & 0x80) == 0)
                return value;
        }
        return std::nullopt;
    }
    std::optional<std::string_view> take(std::size_t count) {
        if (count > remaining())
            return std::nullopt;
        auto view = bytes_.substr(pos_, count);
        pos_ += count;
        return view;
    }
    bool skip(std::size_t count) { return take(count).has_value(); }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

struct TickEvent {
    std::uint64_t tick;
    std::size_t order; // file order, to keep simultaneous events as written
    MidiFileEvent event;
};

struct Timeline {
    std::vector<TickEvent> events;
    std::map<std::uint64_t, std::uint32_t> tempos; // tick -> microseconds per quarter note
    std::size_t order = 0;
    std::vector<std::string> texts;
};

std::string readTrack(std::string_view data, Timeline& timeline) {
    Reader track(data);
    std::uint64_t tick = 0;
    std::uint8_t running = 0;
    while (!track.atEnd()) {
        auto delta = track.variableLength();
        auto first = delta ? track.byte() : std::nullopt;
        if (!first)
            return "truncated event";
        tick += *delta;
        std::uint8_t status = *first;
        if (status == 0xFF) {
            auto type = track.byte();
            auto length = type ? track.variableLength() : std::nullopt;
            auto body = length ? track.take(*length) : std::nullopt;
            if (!body)
                return "truncated meta event";
            if (*type == 0x2F)
                return {}; // end of track
            if (*type == 0x01)
                timeline.texts.emplace_back(*body);
            if (*type == 0x51 && body->size() == 3) {
                const auto b = [&](int i) { return static_cast<std::uint8_t>((*body)[i]); };
                const std::uint32_t tempo = (b(0) << 16) | (b(1) << 8) | b(2);
                if (tempo > 0)
                    timeline.tempos[tick] = tempo;
            }
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            auto length = track.variableLength();
            if (!length || !track.skip(*length))
                return "truncated system exclusive message";
            continue;
        }
        if (status < 0x80) {
            if (running == 0)
                return "data byte without a status";
            status = running;
        } else if (status >= 0xF0) {
            return "unexpected system message in a track";
        }
        std::uint8_t data1 = 0, data2 = 0;
        if (status == *first) {
            auto b = track.byte();
            if (!b)
                return "truncated channel message";
            data1 = *b;
        } else {
            data1 = *first;
        }
        const std::uint8_t kind = status & 0xF0;
        if (kind != 0xC0 && kind != 0xD0) {
            auto b = track.byte();
            if (!b)
                return "truncated channel message";
            data2 = *b;
        }
        running = status;
        MidiFileEvent event;
        event.channel = status & 0x0F;
        event.number = data1 & 0x7F;
        event.value = data2 & 0x7F;
        if (kind == 0x90 && event.value > 0) {
            event.kind = MidiFileEvent::Kind::noteOn;
        } else if (kind == 0xB0) {
            event.kind = MidiFileEvent::Kind::controlChange;
        } else if (kind == 0xA0) {
            event.kind = MidiFileEvent::Kind::polyPressure;
        } else if (kind == 0x80 || kind == 0x90) {
            event.kind = MidiFileEvent::Kind::noteOff;
            event.value = 0;
        } else {
            continue;
        }
        timeline.events.push_back({tick, timeline.order++, event});
    }
    return "track without an end";
}

// Converts ticks to seconds through the tempo map.
void placeInTime(Timeline& timeline, std::uint16_t division, std::vector<MidiFileEvent>& out) {
    std::stable_sort(timeline.events.begin(), timeline.events.end(),
                     [](const TickEvent& a, const TickEvent& b) {
                         return a.tick < b.tick || (a.tick == b.tick && a.order < b.order);
                     });
    double secondsPerTick;
    const bool smpte = (division & 0x8000) != 0;
    if (smpte) {
        const int framesPerSecond = -static_cast<std::int8_t>(division >> 8);
        const int ticksPerFrame = division & 0xFF;
        secondsPerTick = 1.0 / (framesPerSecond == 29 ? 29.97 : framesPerSecond) / ticksPerFrame;
    } else {
        secondsPerTick = 500000.0 / 1e6 / division;
    }
    std::uint64_t segmentTick = 0;
    double segmentSeconds = 0;
    auto tempo = timeline.tempos.begin();
    for (const TickEvent& e : timeline.events) {
        while (!smpte && tempo != timeline.tempos.end() && tempo->first <= e.tick) {
            segmentSeconds += static_cast<double>(tempo->first - segmentTick) * secondsPerTick;
            segmentTick = tempo->first;
            secondsPerTick = tempo->second / 1e6 / division;
            ++tempo;
        }
        MidiFileEvent event = e.event;
        event.seconds = segmentSeconds + static_cast<double>(e.tick - segmentTick) * secondsPerTick;
        out.push_back(event);
    }
}

} // namespace

MidiFileResult readMidiFile(std::string_view bytes) {
    MidiFileResult result;
    if (bytes.size() > maxMidiFileBytes) {
        result.error = "file larger than 64 MiB";
        return result;
    }
    Reader file(bytes);
    auto magic = file.take(4);
    auto headerLength = file.bigEndian(4);
    if (!magic || *magic != "MThd" || !headerLength || *headerLength < 6) {
        result.error = "not a standard MIDI file";
        return result;
    }
    auto format = file.bigEndian(2);
    auto trackCount = file.bigEndian(2);
    auto division = file.bigEndian(2);
    if (!division || !file.skip(*headerLength - 6)) {
        result.error = "truncated header";
        return result;
    }
    if (*format > 1) {
        result.error = "MIDI file format " + std::to_string(*format) + " is not supported";
        return result;
    }
    if (*division == 0 || ((*division & 0x8000) && (*division & 0xFF) == 0)) {
        result.error = "invalid time division";
        return result;
    }
    Timeline timeline;
    std::uint32_t tracksRead = 0;
    while (!file.atEnd() && tracksRead < *trackCount) {
        auto id = file.take(4);
        auto length = id ? file.bigEndian(4) : std::nullopt;
        auto body = length ? file.take(*length) : std::nullopt;
        if (!body) {
            result.error = "truncated chunk";
            return result;
        }
        if (*id != "MTrk")
            continue; // chunks of other kinds are skipped, as the format asks
        if (std::string error = readTrack(*body, timeline); !error.empty()) {
            result.error = "track " + std::to_string(tracksRead + 1) + ": " + error;
            return result;
        }
        ++tracksRead;
    }
    if (tracksRead < *trackCount) {
        result.error = "fewer tracks than the header announces";
        return result;
    }
    result.texts = std::move(timeline.texts);
    if (!timeline.tempos.empty())
        result.quarterBpm = 60e6 / timeline.tempos.begin()->second;
    result.events.emplace();
    placeInTime(timeline, static_cast<std::uint16_t>(*division), *result.events);
    return result;
}

} // namespace tamborel::midi
