// A night's playing squeezed into seconds: a MIDI thread pours random strikes, pedal moves
// and line noise through the real packet decoder into the application's MIDI endpoint, an
// audio thread renders without pause, and the main thread keeps replacing kits, assigning and
// clearing samples and moving the mix. Nothing may crash, race or leak, and afterwards the kit
// on screen, the kit on disk and the sound must still agree.

#include "ControllerFixture.h"
#include "HeapWatch.h"

#include "engine/MidiDecoder.h"
#include "midi/MIDIManager.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <random>
#include <stdlib.h>
#include <thread>

// ThreadSanitizer runs this some twenty times slower.
#if defined(__SANITIZE_THREAD__)
constexpr std::size_t stormEvents = 50000;
#else
constexpr std::size_t stormEvents = 1000000;
#endif

using namespace tamborel;
using namespace std::chrono_literals;

namespace {

// What a drum module on a flaky cable sends: mostly strikes on the kit's notes, the hi-hat
// pedal, note-offs, and now and then bytes of garbage, a few events to a packet, sometimes
// under running status.
class DrumModuleNoise {
public:
    explicit DrumModuleNoise(unsigned seed) : random_(seed) {}

    // Fills the packet and returns how many bytes it holds; `events` grows by the events put in.
    std::size_t next(std::array<std::uint8_t, 32>& packet, std::size_t& events) {
        static constexpr std::uint8_t kitNotes[] = {36, 38, 40, 48, 45, 43, 42, 44,
                                                    46, 26, 49, 57, 51, 53, 22, 0};
        std::size_t length = 0;
        std::uint8_t lastStatus = 0;
        const auto put = [&](std::uint8_t status, std::uint8_t a, std::uint8_t b) {
            if (status != lastStatus || pick(4) == 0)
                packet[length++] = status;
            packet[length++] = a;
            packet[length++] = b;
            lastStatus = status;
        };
        const std::size_t count = 1 + pick(4);
        for (std::size_t i = 0; i < count; ++i, ++events) {
            const std::uint8_t channel = pick(8) == 0 ? static_cast<std::uint8_t>(pick(16)) : 9;
            const std::size_t kind = pick(20);
            if (kind < 11) {
                const std::uint8_t note = pick(5) == 0 ? static_cast<std::uint8_t>(pick(128))
                                                       : kitNotes[pick(sizeof kitNotes)];
                put(0x90 | channel, note, static_cast<std::uint8_t>(pick(128)));
            } else if (kind < 15) {
                put(0xB0 | channel, 4, static_cast<std::uint8_t>(pick(128)));
            } else if (kind < 17) {
                put(0x80 | channel, static_cast<std::uint8_t>(pick(128)), 64);
            } else {
                lastStatus = 0;
                for (std::size_t n = 1 + pick(6); n > 0; --n)
                    packet[length++] = static_cast<std::uint8_t>(pick(256));
            }
        }
        return length;
    }

private:
    std::size_t pick(std::size_t below) {
        return std::uniform_int_distribution<std::size_t>(0, below - 1)(random_);
    }
    std::mt19937 random_;
};

class Soak : public test::ControllerTest {
protected:
    // Every kit edit saves with fsync; on a disk that makes edits so slow that the storm
    // would see only a handful. The application folder goes to memory where there is one.
    void SetUp() override {
        std::string folder = "/dev/shm/tamborel-soak-XXXXXX";
        if (std::filesystem::is_directory("/dev/shm") && mkdtemp(folder.data()) != nullptr) {
            memoryFolder_ = folder;
            setenv("XDG_DATA_HOME", folder.c_str(), 1);
        }
        ControllerTest::SetUp();
    }
    void TearDown() override {
        state.reset();
        std::error_code ignored;
        if (!memoryFolder_.empty())
            std::filesystem::remove_all(memoryFolder_, ignored);
    }

    // One random edit of the kit, the samples, the mix or the modes, as a user might make.
    void edit(std::mt19937& random, const std::filesystem::path& savedKit) {
        auto& s = *state;
        const auto pick = [&](int below) {
            return std::uniform_int_distribution<int>(0, below - 1)(random);
        };
        const auto amount = [&](float low, float high) {
            return std::uniform_real_distribution<float>(low, high)(random);
        };
        const PadRole role = allPadRoles[static_cast<std::size_t>(pick(padRoleCount))];
        const std::function<void()> edits[] = {
            [&] { s.newKit(); },
            [&] { s.loadKit(savedKit); },
            [&] { s.importKit(savedKit); },
            [&] { s.assignSample(sampleFile(role), role); },
            [&] { s.assignSample(sampleFile(role), role); },
            [&] { s.clearSample(role); },
            [&] { s.setVolume(amount(0.0f, 1.5f), role); },
            [&] { s.setPan(amount(-1.0f, 1.0f), role); },
            [&] { s.toggleMute(role); },
            [&] { s.toggleSolo(role); },
            [&] { s.setMaster(amount(0.0f, 1.0f)); },
            [&] { s.startLearn(role); },
            [&] { s.armCaptureForAssign(); },
            [&] { s.cancelCapture(); },
            [&] { s.importFolder(sampleFile(role).parent_path()); },
            [&] { s.strikePad(role); },
            [&] { s.undo(); },
            [&] { s.redo(); },
        };
        edits[pick(static_cast<int>(std::size(edits)))]();
    }

private:
    std::filesystem::path memoryFolder_;
};

TEST_F(Soak, RandomMidiStormWhileTheKitIsEditedLeavesKitDiskAndSoundInAgreement) {
    auto& state = bootedState();
    for (PadRole role : allPadRoles)
        state.assignSample(sampleFile(role), role);
    const auto savedKit = storage::folder() / "stage.json";
    ASSERT_TRUE(storage::writeKit(state.published().kit, savedKit));
    int hitsShown = 0;
    state.setObserver([&](controller::Field field) {
        if (field == controller::Field::heroRole)
            ++hitsShown;
    });

    // The two threads keep step: an edit per stretch of MIDI events, and the MIDI thread
    // never a stretch ahead, so the edits are spread over the whole storm however the threads
    // are scheduled.
    const std::size_t total = stormEvents;
    constexpr int stretches = 500;
    const std::size_t stretch = std::max<std::size_t>(1, total / stretches);
    std::atomic<bool> midiDone{false}, stopRendering{false};
    std::atomic<int> edits{0};
    std::atomic<std::size_t> progress{0};
    // Neither the MIDI thread nor the audio thread may touch the heap, whatever the main
    // thread does to the kit under them.
    std::thread renderer([&] {
        std::vector<float> left(256), right(256);
        const test::HeapWatch watch;
        while (!stopRendering.load())
            audio::renderStereo(state.player(), left.data(), right.data(), 256);
    });
    std::thread midiThread([&] {
        DrumModuleNoise module(20240611);
        std::array<std::uint8_t, 32> packet{};
        std::size_t sent = 0;
        const test::HeapWatch watch;
        while (sent < total) {
            const std::size_t length = module.next(packet, sent);
            engine::decodePacket(std::span<const std::uint8_t>(packet.data(), length),
                                 state.midi());
            progress.store(sent);
            while (static_cast<std::size_t>(edits.load()) < sent / stretch)
                std::this_thread::yield();
        }
        midiDone = true;
    });

    std::mt19937 random(7);
    while (!midiDone.load()) {
        if (static_cast<std::size_t>(edits.load()) <= progress.load() / stretch) {
            edit(random, savedKit);
            ++edits;
        } else {
            std::this_thread::sleep_for(100us);
        }
        state.drainRealtimeEvents();
        queue.advance(3ms);
    }
    midiThread.join();
    stopRendering = true;
    renderer.join();
    settle();
    queue.advance(1s);

    EXPECT_GE(edits.load(), std::min<int>(stretches, static_cast<int>(total)));
    EXPECT_EQ(test::heapCallsOnWatchedThreads(), 0);
    EXPECT_GT(hitsShown, 0) << "no strike reached the pages";
    EXPECT_TRUE(state.published().activeRoles.none()) << "a pad stayed lit";

    // The kit on screen is the kit that reopens, and every pad that shows a sample plays one.
    const auto& kit = state.published().kit;
    EXPECT_EQ(test::lastKitOnceWritten(kit), kit);
    for (const DrumPad& pad : kit.pads)
        EXPECT_EQ(pad.sampleURL.has_value(), state.player().hasSample(pad.role))
            << rawValue(pad.role);

    // The drummer can still play: a known kit sounds at its level and nothing else rings.
    const std::uint8_t kick[] = {0x99, 36, 127};
    state.cancelCapture();
    if (state.published().learningRole) {
        engine::decodePacket(kick, state.midi()); // an armed learn takes the next strike
        settle();
    }
    state.loadKit(savedKit);
    settle();
    silence();
    EXPECT_EQ(levelNow(), 0.0f) << "a voice kept sounding after the storm";
    engine::decodePacket(kick, state.midi());
    EXPECT_NEAR(levelNow(), test::levelOf(PadRole::kick), 1e-5);
}

} // namespace
