// Takes: where one ends, what its file holds, and which files the folder keeps.

#include "AudioTestSupport.h"
#include "ControllerFixture.h"

#include "controller/TakeTiming.h"
#include "controller/Takes.h"
#include "controller/TapTempo.h"
#include "midi/MidiFile.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <thread>

namespace tamborel::controller {
namespace {

namespace fs = std::filesystem;
using Kind = audio::PlayedEvent::Kind;

TEST(Takes, ATakeEndsFourSecondsAfterItsLastStrikeAndItsFileHoldsWhatWasPlayedAtTheClicksTempo) {
    TakeRecorder recorder;
    const auto now = std::chrono::system_clock::now();
    TakeMeter click;
    click.bpm = 90.0;
    click.beatsPerBar = 7;
    click.noteValue = 8;
    const auto add = [&](Kind kind, int number, int value, std::uint64_t frame) {
        recorder.add({kind, std::uint8_t(number), std::uint8_t(value), frame}, 48000.0, frame, now,
                     click);
    };
    add(Kind::controller, 4, 90, 100); // the pedal before the take opens it
    add(Kind::pressure, 49, 127, 200); // a grab alone starts nothing
    add(Kind::note, 38, 100, 1000);
    add(Kind::pressure, 49, 127, 1500);
    add(Kind::note, 36, 64, 1000 + 191'999); // a breath under four seconds later
    EXPECT_TRUE(recorder.ended(1000 + 2 * 191'999).empty());
    add(Kind::note, 42, 1, 1000 + 2 * 191'999 + 1); // four seconds after the last: a new take

    const auto ended = recorder.ended(1000 + 2 * 191'999 + 1);
    ASSERT_EQ(ended.size(), 1u);
    auto read = midi::readMidiFile(takes::midiBytes(ended[0]));
    ASSERT_TRUE(read.events) << read.error;
    using File = midi::MidiFileEvent::Kind;
    // Each note-on's note-off, written for programs that wait for one, aside.
    std::erase_if(*read.events, [](const auto& e) { return e.kind == File::noteOff; });
    const std::vector<std::tuple<std::uint64_t, File, int, int>> expected = {
        {0, File::controlChange, 4, 90},
        {0, File::noteOn, 38, 100},
        {500, File::polyPressure, 49, 127},
        {191'999, File::noteOn, 36, 64}};
    ASSERT_EQ(read.events->size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [frame, kind, number, value] = expected[i];
        const midi::MidiFileEvent& e = (*read.events)[i];
        EXPECT_NEAR(e.seconds * 48000.0, double(frame), 1.0) << i;
        EXPECT_EQ(std::tuple(e.kind, e.number, e.value, e.channel),
                  std::tuple(kind, number, value, 9))
            << i;
    }
    const auto second = recorder.finish(); // quitting ends the one in progress
    ASSERT_TRUE(second);
    EXPECT_EQ(second->events.size(), 2u); // the pedal's position, then the strike
    EXPECT_FALSE(recorder.finish());
}

TEST(Takes, TheNewest200AreKeptAndOlderOnesGoUnlessStarred) {
    const fs::path folder = audio::testing::scratchFolder("takes");
    const auto start = std::chrono::system_clock::now() - std::chrono::hours(24);
    std::vector<fs::path> files;
    for (int i = 0; i < 201; ++i) { // the oldest starred, then 200 more
        files.push_back(takes::fileFor(folder, start + std::chrono::seconds(10 * i)));
        ASSERT_EQ(platform::writeFileAtomically(files.back(), "x"), "");
    }
    platform::writeFileAtomically(folder / "my notes.txt", "mine");
    const auto starred = takes::setStarred(files[0], true);
    ASSERT_TRUE(starred);
    EXPECT_TRUE(takes::isStarred(*starred));

    Take take;
    take.began = std::chrono::system_clock::now();
    take.events = {{Kind::note, 38, 100, 0}};
    std::string error;
    const auto written = takes::write(folder, take, error);
    ASSERT_TRUE(written) << error;
    EXPECT_TRUE(fs::exists(*written));
    EXPECT_TRUE(fs::exists(*starred));
    EXPECT_FALSE(fs::exists(files[1])); // the oldest unstarred one
    EXPECT_TRUE(fs::exists(files[2]));
    EXPECT_TRUE(fs::exists(folder / "my notes.txt"));

    // A folder that cannot be made says why, and nothing is thrown.
    EXPECT_FALSE(takes::write(folder / "my notes.txt" / "Takes", take, error));
    EXPECT_FALSE(error.empty());
}

class TakesInTheApp : public test::ControllerTest {
protected:
    // One strike, then four seconds of the engine's clock: a take that ends.
    void playATake() {
        state->strike(38, 100);
        audio::testing::renderFrames(state->player(), 256);
        settle();
        audio::testing::renderFrames(state->player(), 4 * 48000);
        settle();
    }
    template <typename Condition> bool soon(Condition condition) {
        for (int wait = 0; wait < 500 && !condition(); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            settle();
        }
        return condition();
    }
};

TEST_F(TakesInTheApp, AFolderThatCannotBeWrittenIsToldOnceAndTakesAreKeptAgainOnceItCanBe) {
    bootedState();
    const fs::path takes = storage::folder() / "Takes";
    test::writeText(takes, "a file where the folder should be");
    playATake();
    EXPECT_TRUE(soon([&] { return state->published().lastHit.starts_with("Takes are not"); }));
    EXPECT_TRUE(state->published().lastHitIsError);

    state->saveKit(); // says so in the status line
    const std::string told = state->published().lastHit;
    playATake();
    playATake();
    settle();
    EXPECT_EQ(state->published().lastHit, told); // not told again

    fs::remove(takes);
    playATake();
    EXPECT_TRUE(soon([&] { return fs::is_directory(takes) && !fs::is_empty(takes); }));
}

// Played against a silent click at 120 BPM: a snare 10 ms after beat two and a kick 5 ms
// before beat three. The take knows its click and kit, reads +10 and -5 ms, plays back through
// the engine with the snare 24 480 frames after the bar's beat one (where it fell), and is
// not kept again as a take of its own.
TEST_F(TakesInTheApp, StrikesReadEarlyOrLateAgainstTheClickAndTheTakePlaysBackOnItsBeat) {
    bootedState();
    assignTestSamples({PadRole::snare, PadRole::kick});
    state->renameKit("Practice kit");
    Metronome click;
    click.on = true;
    click.level = 0.0f; // heard as nothing, so the drums alone are in the output
    state->setMetronome(click);
    const std::uint64_t beatOne = state->player().clock(); // the click starts on the next block
    const auto renderTo = [&](std::uint64_t frame) {
        audio::testing::renderFrames(state->player(),
                                     std::uint32_t(frame - state->player().clock()));
    };
    renderTo(beatOne + 24000 + 480);
    state->strike(38, 100, {timing::EventTime::Kind::frameInCycle, 0});
    renderTo(beatOne + 48000 - 240);
    state->strike(36, 100, {timing::EventTime::Kind::frameInCycle, 0});
    audio::testing::renderFrames(state->player(), 256);
    settle();
    audio::testing::renderFrames(state->player(), 4 * 48000);
    settle();
    const fs::path folder = storage::folder() / "Takes";
    ASSERT_TRUE(soon([&] { return takes::list(folder).size() == 1; }));

    const takes::TakeFile take = takes::list(folder).front();
    EXPECT_EQ(take.kit, "Practice kit");
    EXPECT_TRUE(take.click);
    EXPECT_EQ(take.strikes, 2);
    const TakeTiming timing = takeTiming::judge(take);
    ASSERT_TRUE(timing.judged);
    ASSERT_EQ(timing.strikes.size(), 2u);
    EXPECT_NEAR(timing.strikes[0].offsetMs, 10.0, 0.05);
    EXPECT_NEAR(timing.strikes[1].offsetMs, -5.0, 0.05);
    ASSERT_EQ(timing.drums.size(), 2u); // by note: the kick, then the snare
    EXPECT_NEAR(timing.drums[0].meanMs, -5.0, 0.05);
    EXPECT_NEAR(timing.drums[1].meanMs, 10.0, 0.05);
    EXPECT_EQ(takeTiming::histogram(timing.drums[1].offsetsMs)[takeTiming::histogramBins / 2 + 2],
              1);

    ASSERT_TRUE(state->playTake(take.path));
    EXPECT_EQ(state->playingTake(), take.path);
    const auto played = audio::testing::renderFrames(state->player(), 48000 + 4800);
    const auto first =
        std::find_if(played.left.begin(), played.left.end(), [](float v) { return v != 0.0f; });
    EXPECT_EQ(first - played.left.begin(), 24480);
    audio::testing::renderFrames(state->player(), 5 * 48000);
    settle();
    EXPECT_FALSE(state->playingTake());
    settle();
    EXPECT_EQ(takes::list(folder).size(), 1u);

    // Named and starred, it keeps its date; it can be copied out and deleted.
    const auto named = takes::rename(take.path, "Shuffle / idea");
    ASSERT_TRUE(named);
    const auto starred = takes::setStarred(*named, true);
    ASSERT_TRUE(starred);
    const auto again = takes::read(*starred);
    ASSERT_TRUE(again);
    EXPECT_EQ(std::tuple(again->stamp, again->title, again->starred),
              std::tuple(take.stamp, std::string("Shuffle _ idea"), true));
    EXPECT_TRUE(takes::copyTo(*starred, storage::folder() / "out.mid"));
    EXPECT_TRUE(takes::remove(*starred));
    EXPECT_TRUE(takes::list(folder).empty());
    EXPECT_TRUE(takes::read(storage::folder() / "out.mid"));
}

// Taps half a second apart read 120 BPM; the average of the last four follows a drummer who
// slows down; a pause of more than two seconds starts a fresh count.
TEST(TapTempo, TapsHalfASecondApartRead120TheLastFewAreAveragedAndAPauseStartsAfresh) {
    using namespace std::chrono_literals;
    TapTempo taps;
    auto at = TapTempo::Clock::time_point{} + 1h;
    EXPECT_FALSE(taps.tap(at));
    for (int n = 0; n < 5; ++n)
        EXPECT_DOUBLE_EQ(taps.tap(at += 500ms).value_or(0.0), 120.0) << n;
    for (const double bpm : {60.0 / 0.525, 60.0 / 0.55, 60.0 / 0.575, 100.0})
        EXPECT_NEAR(taps.tap(at += 600ms).value_or(0.0), bpm, 1e-9);
    EXPECT_FALSE(taps.tap(at += 2100ms));
    EXPECT_EQ(taps.taps(), 1u);
    EXPECT_DOUBLE_EQ(taps.tap(at += 3000ms / 2).value_or(0.0), 40.0);
}

// A song to play along with: the click takes tapped tempos; a file that is no sound is
// refused with the reason, in the window and the status line, and the song chosen before it
// stays; a take played over the song names it and where in it the take began.
// Also: the song's level set once is there on the next start.
TEST_F(TakesInTheApp, AnUndecodableSongIsRefusedAndATakeOverASongRemembersWhereInItItBegan) {
    bootedState();
    const auto now = std::chrono::steady_clock::now();
    state->tapTempo(now);
    state->tapTempo(now + std::chrono::milliseconds(500));
    EXPECT_DOUBLE_EQ(state->published().settings.metronome.bpm, 120.0);

    const fs::path song = storage::folder() / "song.wav";
    audio::testing::writeWithSndfile(song, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2,
                                     std::vector<float>(48000 * 2 * 10, 0.1f));
    state->chooseSong(song);
    EXPECT_EQ(state->published().playAlong.song, song.string());
    const fs::path notes = storage::folder() / "notes.wav";
    test::writeText(notes, "not a song");
    state->chooseSong(notes);
    const auto& playAlong = state->published().playAlong;
    EXPECT_TRUE(playAlong.error.starts_with("Cannot play along with notes.wav: it is not a sound"))
        << playAlong.error;
    EXPECT_EQ(state->published().lastHit, playAlong.error);
    EXPECT_TRUE(state->published().lastHitIsError);
    EXPECT_EQ(playAlong.song, song.string());

    // A bar of count-in at 120 BPM, then the song; a strike one second and 256 frames into it.
    const std::uint64_t cue = state->player().clock();
    state->playAlong(true);
    audio::testing::renderFrames(state->player(), 256 + 96000 + 48000);
    settle();
    EXPECT_TRUE(playAlong.playing);
    EXPECT_EQ(state->player().songStartFrame(), cue + 96000);
    playATake();
    const fs::path takes = storage::folder() / "Takes";
    ASSERT_TRUE(soon([&] { return fs::is_directory(takes) && !fs::is_empty(takes); }));
    const std::string bytes = test::readText(fs::directory_iterator(takes)->path());
    EXPECT_NE(bytes.find("Play along: " + song.string() + " at 1.005 s"), std::string::npos);
    EXPECT_TRUE(midi::readMidiFile(bytes).events);

    state->setSongLevel(0.3f);
    state.reset();
    bootedState();
    EXPECT_FLOAT_EQ(state->published().playAlong.level, 0.3f);
}

} // namespace
} // namespace tamborel::controller
