#include "ControllerFixture.h"

#include "controller/ModuleFitting.h"

using namespace tamborel;
using namespace std::chrono_literals;
using test::levelOf;

namespace {

class HitHandling : public test::ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        bootedState();
        assignTestSamples(
            {PadRole::kick, PadRole::snare, PadRole::hhClosed, PadRole::hhOpen, PadRole::hhPedal});
    }

    // The level the open-hat note 46 plays at after the pedal reached `pedal`.
    float openHatAt(int pedal) {
        silence();
        state->controlChange(4, pedal);
        state->strike(46, 127);
        return levelNow();
    }

    // Presses the pedal to `closed` and lifts it to `open`, resting at each end.
    void calibrate(std::initializer_list<int> readings) {
        state->startPedalCalibration();
        for (int value : readings) {
            state->controlChange(4, value);
            settle();
            queue.advance(1s);
        }
    }
};

} // namespace

TEST_F(HitHandling, PedalPositionRefinesTheOpenHat) {
    // Without a half-open sample, a half-closed pedal plays the closed hat.
    for (auto [pedal, role] :
         {std::pair{39, PadRole::hhOpen}, {40, PadRole::hhClosed}, {99, PadRole::hhClosed}})
        EXPECT_FLOAT_EQ(openHatAt(pedal), levelOf(role)) << pedal;
    assignTestSamples({PadRole::hhHalf});
    for (auto [pedal, role] : {std::pair{39, PadRole::hhOpen},
                               {40, PadRole::hhHalf},
                               {99, PadRole::hhHalf},
                               {100, PadRole::hhClosed}})
        EXPECT_FLOAT_EQ(openHatAt(pedal), levelOf(role)) << pedal;
}

TEST_F(HitHandling, ACalibratedPedalDecidesAndChokesAsAStandardOne) {
    using Step = controller::PedalCalibrationStep;
    assignTestSamples({PadRole::hhHalf});
    // {closed, open} as the pedal sends them; none for a standard pedal left uncalibrated.
    for (const auto& [closed, open] : {std::pair{127, 0}, std::pair{0, 127}, std::pair{90, 10}}) {
        if (closed != 127)
            calibrate({closed, open});
        EXPECT_EQ(state->published().pedalCalibrationStep, Step::idle);
        EXPECT_EQ(storage::loadSettings().pedalRange.has_value(), closed != 127);
        EXPECT_FLOAT_EQ(openHatAt(closed), levelOf(PadRole::hhClosed)) << closed;
        EXPECT_FLOAT_EQ(openHatAt((closed + open) / 2), levelOf(PadRole::hhHalf)) << closed;
        EXPECT_FLOAT_EQ(openHatAt(open), levelOf(PadRole::hhOpen)) << closed;
        state->controlChange(4, closed);
        EXPECT_FLOAT_EQ(levelNow(200), 0.0f) << closed;
    }

    // Steps: the closed reading is taken once the pedal rests; a lift too small to be the open
    // end is not taken; cancelling keeps the calibration there was.
    state->startPedalCalibration();
    EXPECT_EQ(state->published().pedalCalibrationStep, Step::pressClosed);
    state->controlChange(4, 100);
    settle();
    EXPECT_EQ(state->published().pedalReading, 100);
    queue.advance(1s);
    EXPECT_EQ(state->published().pedalCalibrationStep, Step::liftOpen);
    state->controlChange(4, 95);
    settle();
    queue.advance(1s);
    EXPECT_EQ(state->published().pedalCalibrationStep, Step::liftOpen);
    state->cancelPedalCalibration();
    EXPECT_EQ(state->published().settings.pedalRange, (PedalRange{90, 10}));
    state->clearPedalCalibration();
    EXPECT_FALSE(storage::loadSettings().pedalRange);

    // Another controller number moves the pedal instead of controller 4.
    state->setPedalController(11);
    state->controlChange(11, 127);
    EXPECT_FLOAT_EQ(openHatAt(0), levelOf(PadRole::hhClosed));
}

TEST_F(HitHandling, TheVelocityCurveShapesStrikesAndThePagesSeeBothVelocities) {
    state->setVelocityCurve(VelocityCurve::fixed);
    state->setFixedVelocity(90);
    EXPECT_EQ(state->published().velocityCurve[30], 90);
    state->strike(36, 30);
    EXPECT_FLOAT_EQ(levelNow(), levelOf(PadRole::kick) * 90.0f / 127.0f);
    settle();
    EXPECT_EQ(state->published().lastIncomingVelocity, 30);
    EXPECT_EQ(state->published().lastResultingVelocity, 90);
    // Stored, and read back by the next start.
    makeState();
    EXPECT_EQ(state->published().settings.velocity, (VelocityShaping{VelocityCurve::fixed, 1, 90}));
    EXPECT_EQ(state->published().velocityCurve[127], 90);
}

TEST_F(HitHandling, ClosingTheHatChokesTheOpenHat) {
    state->strike(46, 127);
    EXPECT_FLOAT_EQ(levelNow(), levelOf(PadRole::hhOpen));
    // The pedal closing cuts it within the 2 ms fade.
    state->controlChange(4, 127);
    EXPECT_FLOAT_EQ(levelNow(200), 0.0f);

    // A closed-hat strike cuts a ringing open hat and sounds alone.
    state->controlChange(4, 0);
    state->strike(46, 127);
    levelNow();
    state->strike(42, 127);
    EXPECT_FLOAT_EQ(levelNow(200), levelOf(PadRole::hhClosed));

    // So does the pedal chick; a half-closed pedal message cuts nothing.
    silence();
    state->strike(46, 127);
    state->controlChange(4, 99);
    state->controlChange(64, 127);
    EXPECT_FLOAT_EQ(levelNow(), levelOf(PadRole::hhOpen));
    state->strike(44, 127);
    EXPECT_FLOAT_EQ(levelNow(200), levelOf(PadRole::hhPedal));
}

TEST_F(HitHandling, HitsArePublishedWithTheirTextAndLightForAFixedTime) {
    const std::string atStart = state->published().lastHit;
    state->strike(36, 100);
    EXPECT_EQ(state->published().lastHit, atStart); // nothing published from the MIDI thread
    settle();
    EXPECT_EQ(state->published().lastHit, "Kick  \u2022  note 36  \u2022  vel 100");
    EXPECT_EQ(state->published().heroRole, PadRole::kick);
    EXPECT_TRUE(state->published().activeRoles.test(indexOf(PadRole::kick)));

    // A second hit 50 ms later does not extend the first hit's highlight.
    queue.advance(0.05s);
    state->strike(36, 90);
    settle();
    queue.advance(0.071s);
    EXPECT_FALSE(state->published().activeRoles.test(indexOf(PadRole::kick)));

    // An open-hat note refined to closed is reported as the closed hat.
    state->controlChange(4, 100);
    state->strike(46, 64);
    settle();
    EXPECT_EQ(state->published().lastHit, "HH Closed  \u2022  note 46  \u2022  vel 64");
    EXPECT_TRUE(state->published().activeRoles.test(indexOf(PadRole::hhClosed)));
    EXPECT_FALSE(state->published().activeRoles.test(indexOf(PadRole::hhOpen)));
}

TEST_F(HitHandling, UnmappedNotesPlayNothingButSaySoAndLaterPadsWinSharedNotes) {
    state->strike(100, 127);
    settle();
    EXPECT_EQ(levelNow(), 0.0f);
    EXPECT_EQ(state->published().lastHit, "Note 100 from MIDI input plays no pad");
    EXPECT_EQ(state->published().unmappedNote, 100);

    // Both the kick and the snare list note 60: the snare comes later in the kit.
    state->assignNote(60, PadRole::kick);
    DrumKit kit = state->published().kit;
    kit.findPad(PadRole::snare)->notes.push_back(60);
    const auto file = storage::folder() / "shared.json";
    storage::writeKit(kit, file);
    state->loadKit(file);
    silence();
    state->strike(60, 127);
    EXPECT_FLOAT_EQ(levelNow(), levelOf(PadRole::snare));
}

// A TD-17 and a Nitro at once, on a kit with the TD-17's notes: the Nitro's strikes are read
// through the Nitro's notes, the TD-17's and any other device's through the kit's.
TEST_F(HitHandling, EachModuleIsReadThroughItsOwnNotes) {
    assignTestSamples({PadRole::hhHalf});
    const std::vector<midi::ConnectedSource> sources = {{1, "Roland TD-17: TD-17 MIDI 1"},
                                                        {2, "Alesis Nitro: Nitro MIDI 1"},
                                                        {3, "Acme Trigger Pads"},
                                                        {4, "Midi Through: Port-0"}};
    auto maps = controller::moduleFitting::sourceNoteMaps(state->published().kit,
                                                          moduleMaps::td17(), sources);
    ASSERT_EQ(maps.size(), 1u);
    EXPECT_EQ(maps[0].source, 2u);
    state->player().setSourceNotes(std::move(maps));

    const auto from = [](std::uint32_t source) {
        return timing::EventTime{timing::EventTime::Kind::nextBlock, 0, source};
    };
    // 23 is the Nitro's half-open hat, 22 the TD-17's closed hat edge.
    for (const auto& [note, source, level] : {std::tuple{23, 2u, levelOf(PadRole::hhHalf)},
                                              {36, 2u, levelOf(PadRole::kick)},
                                              {22, 1u, levelOf(PadRole::hhClosed)},
                                              {36, 1u, levelOf(PadRole::kick)},
                                              {23, 1u, 0.0f},
                                              {23, 3u, 0.0f},
                                              {22, 2u, 0.0f}}) {
        silence();
        state->strike(note, 127, from(source));
        EXPECT_FLOAT_EQ(levelNow(), level) << "note " << note << " from " << source;
    }
    EXPECT_EQ(state->player().playedRole(23, 2), PadRole::hhHalf);
    EXPECT_EQ(controller::moduleFitting::modulesText(
                  {"Midi Through: Port-0", "Roland TD-17: TD-17 MIDI 1", "Alesis Nitro: out",
                   "Acme Trigger Pads", "Alesis Nitro: out 2"}),
              "Roland TD-17, Alesis Nitro");
}

TEST_F(HitHandling, ManualStrikesPlayAtVelocity110WithoutPedalRefinement) {
    state->controlChange(4, 127);
    state->strikePad(PadRole::hhOpen);
    EXPECT_NEAR(levelNow(), levelOf(PadRole::hhOpen) * 110.0f / 127.0f, 1e-6);
    queue.runPending();
    EXPECT_EQ(state->published().lastHit, "HH Open  \u2022  manual");

    state->strikePad(PadRole::hhClosed);
    EXPECT_NEAR(levelNow(200), levelOf(PadRole::hhClosed) * 110.0f / 127.0f, 1e-6);
}
