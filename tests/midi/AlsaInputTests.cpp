#include "HeapWatch.h"
#include "midi/AlsaEventBytes.h"
#include "midi/AlsaSequencerSource.h"
#include "midi/MIDIManager.h"
#include "timing/EventTime.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace tamborel::midi {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int otherClient = 24; // where a drum module would sit

snd_seq_event_t event(snd_seq_event_type_t type, int sourceClient, int sourcePort) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    event.type = type;
    event.source.client = static_cast<unsigned char>(sourceClient);
    event.source.port = static_cast<unsigned char>(sourcePort);
    return event;
}

snd_seq_event_t noteOn(int channel, int note, int velocity) {
    snd_seq_event_t e = event(SND_SEQ_EVENT_NOTEON, otherClient, 0);
    snd_seq_ev_set_noteon(&e, channel, note, velocity);
    return e;
}

snd_seq_event_t announcement(snd_seq_event_type_t type, int client) {
    snd_seq_event_t e = event(type, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    e.data.addr.client = static_cast<unsigned char>(client);
    return e;
}

Bytes bytesOf(AlsaEventBytes& converter, const snd_seq_event_t& event) {
    const auto bytes = converter.toBytes(event);
    return {bytes.begin(), bytes.end()};
}

// Strikes and controllers reach the decoder in the receive test below; note-offs and a grabbed
// cymbal's key pressure only here. Each event carries its own status byte: the decoder starts
// every packet afresh, so running status would lose the second of two like events.
TEST(AlsaEventBytes, EveryEventCarriesItsOwnStatusByte) {
    AlsaEventBytes converter;
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_noteoff(&event, 3, 38, 64);
    EXPECT_EQ(bytesOf(converter, event), (Bytes{0x83, 38, 64}));
    snd_seq_ev_set_keypress(&event, 9, 49, 127);
    EXPECT_EQ(bytesOf(converter, event), (Bytes{0xA9, 49, 127}));
    EXPECT_EQ(bytesOf(converter, event), (Bytes{0xA9, 49, 127}));
}

// Notes each event's channel message and the timing the receive thread stamped it with, in
// fixed storage, so that the receive path can be watched for heap use.
class TimedSink final : public engine::MidiEventSink {
public:
    void noteOn(int note, int, int, timing::EventTime time) noexcept override {
        add(0x90, note, time);
    }
    void noteOff(int note, int, timing::EventTime time) noexcept override { add(0x80, note, time); }
    void controlChange(int controller, int, int, timing::EventTime time) noexcept override {
        add(0xB0, controller, time);
    }
    void polyPressure(int note, int, int, timing::EventTime time) noexcept override {
        add(0xA0, note, time);
    }

    struct Event {
        int type, number;
        timing::EventTime time;
    };
    std::array<Event, 8> events{};
    std::size_t count = 0;

private:
    void add(int type, int number, timing::EventTime time) noexcept {
        if (count < events.size())
            events[count++] = {type, number, time};
    }
};

TEST(AlsaSequencerSource, EventsReachTheSinkStampedWithTheirArrivalWithoutTouchingTheHeap) {
    TimedSink sink;
    AlsaSequencerSource source(sink, [] {});
    std::vector<std::uint8_t> sysex(300, 0x11);
    sysex.front() = 0xF0;
    sysex.back() = 0xF7;
    snd_seq_event_t longSysex = event(SND_SEQ_EVENT_SYSEX, otherClient, 0);
    snd_seq_ev_set_sysex(&longSysex, static_cast<unsigned>(sysex.size()), sysex.data());
    {
        const tamborel::test::HeapWatch watch;
        source.receive(noteOn(9, 36, 100), 1'000);
        // System exclusive longer than the buffer is dropped whole rather than cut, and
        // leaves the receive path working; announcements carry no message.
        source.receive(longSysex, 1'500);
        source.receive(noteOn(9, 36, 0), 2'000);
        source.receive(announcement(SND_SEQ_EVENT_CLIENT_START, otherClient), 2'500);
        snd_seq_event_t pedal = event(SND_SEQ_EVENT_CONTROLLER, otherClient, 0);
        snd_seq_ev_set_controller(&pedal, 9, 4, 110);
        source.receive(pedal, 3'000);
    }
    EXPECT_EQ(tamborel::test::heapCallsOnWatchedThreads(), 0);

    ASSERT_EQ(sink.count, 3u);
    const int expected[3][2] = {{0x90, 36}, {0x80, 36}, {0xB0, 4}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sink.events[i].type, expected[i][0]);
        EXPECT_EQ(sink.events[i].number, expected[i][1]);
        EXPECT_EQ(sink.events[i].time.kind, timing::EventTime::Kind::monotonicNanos);
        EXPECT_EQ(sink.events[i].time.value, (i + 1) * 1'000);
    }
}

TEST(AlsaSequencerSource, OnlyOtherClientsComingAndGoingCountAsSetupChanges) {
    constexpr int own = 130;
    for (auto type :
         {SND_SEQ_EVENT_CLIENT_START, SND_SEQ_EVENT_CLIENT_EXIT, SND_SEQ_EVENT_CLIENT_CHANGE,
          SND_SEQ_EVENT_PORT_START, SND_SEQ_EVENT_PORT_EXIT, SND_SEQ_EVENT_PORT_CHANGE}) {
        EXPECT_TRUE(isSetupAnnouncement(announcement(type, otherClient), own)) << int(type);
        EXPECT_FALSE(isSetupAnnouncement(announcement(type, own), own)) << int(type);
    }
    // Each rescan subscribes to ports, which is announced in turn; those must not start
    // another rescan.
    EXPECT_FALSE(
        isSetupAnnouncement(announcement(SND_SEQ_EVENT_PORT_SUBSCRIBED, otherClient), own));
    EXPECT_FALSE(
        isSetupAnnouncement(announcement(SND_SEQ_EVENT_PORT_UNSUBSCRIBED, otherClient), own));
}

} // namespace
} // namespace tamborel::midi
