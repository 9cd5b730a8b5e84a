// Timing through tempo changes is the render tool's test, truncated and hostile files the MIDI
// file fuzz target's; here, what the reader keeps and drops of a well-formed file.

#include "SoundFiles.h"

#include "midi/MidiFile.h"

#include <gtest/gtest.h>

using namespace tamborel;
using namespace std::string_literals;
namespace Smf = test::smf;

TEST(MidiFileReader, SkipsSystemExclusive) {
    const std::string events = Smf::vlq(0) + Smf::tempo(400000) + Smf::vlq(5) + "\x99\x24\x64"s +
                               Smf::vlq(0) + "\xF0\x03\x01\x02\xF7"s + Smf::vlq(7) +
                               "\xB0\x04\x50"s;
    const std::string file = Smf::file(0, {events}, 96);
    const auto whole = midi::readMidiFile(file);
    ASSERT_TRUE(whole.events) << whole.error;
    ASSERT_EQ(whole.events->size(), 2u);
    EXPECT_DOUBLE_EQ((*whole.events)[0].seconds, 5 * 0.4 / 96);
    EXPECT_EQ((*whole.events)[1].kind, midi::MidiFileEvent::Kind::controlChange);
}
