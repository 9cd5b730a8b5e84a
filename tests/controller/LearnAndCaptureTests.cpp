#include "ControllerFixture.h"

using namespace tamborel;
using test::levelOf;

namespace {

class LearnAndCapture : public test::ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        bootedState();
        assignTestSamples({PadRole::kick, PadRole::snare});
    }
    std::vector<std::int64_t> notesOf(PadRole role) {
        return state->published().kit.pad(role)->notes;
    }
};

} // namespace

TEST_F(LearnAndCapture, LearningMovesTheNoteToTheEndOfTheLastArmedRoleAndOffEveryOtherPad) {
    state->assignNote(38, PadRole::snareRim); // the rim now shares 38 with the snare's list
    state->startLearn(PadRole::snare);
    state->strike(38, 127);
    EXPECT_EQ(levelNow(), 0.0f); // learning makes no sound
    settle();
    EXPECT_EQ(notesOf(PadRole::snare), (std::vector<std::int64_t>{38}));
    EXPECT_EQ(notesOf(PadRole::snareRim), (std::vector<std::int64_t>{40, 37}));
    EXPECT_FALSE(state->published().learningRole);
    EXPECT_TRUE(state->published().dirty);
    // It says so, naming the pad that lost the note, and shows no hit.
    EXPECT_EQ(state->published().lastHit, "Snare now answers note 38 (taken from Snare Rim)");

    // Re-learning a note the role already has moves it to the end.
    state->assignNote(40, PadRole::snareRim);
    EXPECT_EQ(notesOf(PadRole::snareRim), (std::vector<std::int64_t>{37, 40}));
    EXPECT_EQ(state->published().lastHit, "Snare Rim already answers note 40");

    silence();
    state->strike(38, 127);
    EXPECT_FLOAT_EQ(levelNow(), levelOf(PadRole::snare));

    // The last armed role learns the first note of a burst; the rest play their own pads
    // and keep their notes, though the main queue has not yet run the first one's work.
    state->startLearn(PadRole::kick);
    state->startLearn(PadRole::snare);
    silence();
    state->strike(70, 127);
    state->strike(36, 127);
    EXPECT_FLOAT_EQ(levelNow(), levelOf(PadRole::kick));
    state->strike(71, 127);
    settle();
    EXPECT_EQ(notesOf(PadRole::snare), (std::vector<std::int64_t>{38, 70}));
    EXPECT_EQ(notesOf(PadRole::kick), (std::vector<std::int64_t>{36}));
    EXPECT_FALSE(state->published().learningRole);

    // Taken back before a strike, learn leaves the notes alone and the strike plays.
    state->startLearn(PadRole::ride);
    state->cancelLearn();
    EXPECT_FALSE(state->published().learningRole);
    silence();
    state->strike(36, 127);
    EXPECT_FLOAT_EQ(levelNow(), levelOf(PadRole::kick));
}

TEST_F(LearnAndCapture, CaptureSelectsTheLastStruckRoleSilentlyOverLearnAndIgnoresUnknownNotes) {
    state->setCapturedRole(PadRole::ride);
    state->armCaptureForAssign();
    EXPECT_FALSE(state->published().capturedRole);
    EXPECT_TRUE(state->published().capturingForAssign);

    state->strike(99, 127); // neither mapped nor anyone's default: ignored
    settle();
    EXPECT_TRUE(state->published().capturingForAssign);

    state->strike(36, 127);
    EXPECT_EQ(levelNow(), 0.0f);
    settle();
    EXPECT_EQ(state->published().capturedRole, PadRole::kick);
    EXPECT_FALSE(state->published().capturingForAssign);

    // Capture wins over learn, and the later of two strikes wins.
    state->startLearn(PadRole::ride);
    state->armCaptureForAssign();
    state->strike(36, 127);
    state->strike(38, 127);
    settle();
    EXPECT_EQ(state->published().capturedRole, PadRole::snare);
    EXPECT_EQ(state->published().learningRole, PadRole::ride);
    EXPECT_EQ(notesOf(PadRole::ride), (std::vector<std::int64_t>{51, 59}));

    state->armCaptureForAssign();
    state->cancelCapture();
    EXPECT_FALSE(state->published().capturingForAssign);
    state->setCapturedRole(PadRole::tom1);
    state->cancelCapture();
    EXPECT_EQ(state->published().capturedRole, PadRole::tom1);
}

TEST_F(LearnAndCapture, CaptureUsesTheDefaultNotesForANoteNoPadLists) {
    state->assignNote(49, PadRole::ride); // the crash no longer lists 49...
    state->assignNote(49, PadRole::kick); // ...nor does the ride
    DrumKit kit = state->published().kit;
    std::erase(kit.findPad(PadRole::kick)->notes, 49);
    const auto file = storage::folder() / "no49.json";
    storage::writeKit(kit, file);
    state->loadKit(file);

    state->armCaptureForAssign();
    state->strike(49, 127);
    settle();
    EXPECT_EQ(state->published().capturedRole, PadRole::crash1);

    // The half-open hat has no note: the open hat's note struck with the pedal part-way
    // down names it.
    assignTestSamples({PadRole::hhHalf});
    state->controlChange(4, 64);
    state->armCaptureForAssign();
    state->strike(46, 127);
    settle();
    EXPECT_EQ(state->published().capturedRole, PadRole::hhHalf);
}
