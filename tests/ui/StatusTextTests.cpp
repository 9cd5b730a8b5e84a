#include "ui/StatusText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

using namespace tamborel::ui::statusText;

TEST(StatusText, MidiPillPrefersTheTd17ThenTheFirstSourceThenNothing) {
    EXPECT_EQ(midiText(true, {"IAC Bus", "TD-17"}), "TD-17 connected");
    EXPECT_EQ(midiLight(true, {"IAC Bus", "TD-17"}), "good");
    EXPECT_EQ(midiText(false, {"A", "B"}), "A");
    EXPECT_EQ(midiLight(false, {"A", "B"}), "warn");
    EXPECT_EQ(midiText(false, {}), "No MIDI input");
    EXPECT_EQ(midiLight(false, {}), "hot");
}

TEST(StatusText, KitTitleMarksUnsavedChanges) {
    EXPECT_EQ(kitTitle("Funk", true), "Funk \u2022");
    EXPECT_EQ(kitTitle("Funk", false), "Funk");
    EXPECT_EQ(savedKitTitle("/k/Classic Rock.json"), "Classic Rock");
    EXPECT_EQ(savedKitTitle("/k/v1.2 Kit.json"), "v1.2 Kit");
}

TEST(StatusText, LatencyHasOneDecimalWhateverTheLocale) {
    EXPECT_EQ(latencyText(5.804), "5.8 ms");
    EXPECT_EQ(latencyText(0), "0.0 ms");
    EXPECT_EQ(latencyText(10.96), "11.0 ms");
    // A locale with a decimal comma, where one is installed.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
        EXPECT_EQ(latencyText(5.804), "5.8 ms");
        std::setlocale(LC_NUMERIC, "C");
    }
    EXPECT_EQ(latencyText(std::numeric_limits<double>::quiet_NaN()), "0.0 ms");
    EXPECT_EQ(latencyText(1e300), "0.0 ms") << "no unbounded text in the bar";
}

TEST(StatusText, EnginePill) {
    EXPECT_EQ(engineText(true), "Audio");
    EXPECT_EQ(engineLight(true), "good");
    EXPECT_EQ(engineText(false), "Stopped");
    EXPECT_EQ(engineLight(false), "hot");
}
