// The plugin in a real host: jalv runs it as a client of a private JACK server, with a kit
// from a saved state, and the test drum module strikes it through JACK MIDI.

#include "JackClients.h"
#include "JackRecorder.h"
#include "JackServerFixture.h"
#include "SoundFiles.h"
#include "model/DrumKit.h"
#include "model/FileUrl.h"
#include "model/Storage.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tamborel;
using namespace tamborel::testing;
using namespace std::chrono_literals;

namespace {

constexpr float sampleLevel = 0.25f;

class JalvOnJack : public JackServerTest {
protected:
    void SetUp() override {
        JackServerTest::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        folder_ = fs::temp_directory_path() / ("tamborel-jalv-" + std::to_string(getpid()));
        fs::create_directories(folder_);
        // A kick of a flat level, so its first frame shows exactly where it sounds; and a
        // saved state naming the kit, as a session would.
        DrumKit kit("Flat");
        const fs::path sample = folder_ / "kick.wav";
        ASSERT_TRUE(audio::testing::writeWithSndfile(sample, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000,
                                                     1, std::vector<float>(4800, sampleLevel)));
        kit.findPad(PadRole::kick)->sampleURL = FileUrl::fromPath(sample);
        ASSERT_TRUE(storage::writeKit(kit, folder_ / "Flat.json"));
        std::ofstream(folder_ / "state.ttl")
            << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
               "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
               "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
               "<> a pset:Preset ; lv2:appliesTo <urn:tamborel:drums> ;\n"
               "  state:state [ <urn:tamborel:kit> <Flat.json> ] .\n";

        int input[2];
        ASSERT_EQ(pipe(input), 0);
        jalv_ = fork();
        if (jalv_ == 0) {
            // jalv reads commands from its standard input; an open, silent pipe keeps it
            // running until the test ends it.
            dup2(input[0], STDIN_FILENO);
            close(input[1]);
            setenv("LV2_PATH", TAMBOREL_LV2_DIR, 1);
            setenv("JACK_DEFAULT_SERVER", server->name().c_str(), 1);
            execlp("jalv", "jalv", "-x", "-n", "tamborel-lv2", "-l", folder_.c_str(),
                   "urn:tamborel:drums", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(input[0]);
        stdin_ = input[1];
        module_ = std::make_unique<DrumModule>(*server, "module");
        ASSERT_TRUE(module_->valid());
        module_->addPort("pads");
        recorder_ = std::make_unique<JackRecorder>(*server, 96000);
        jack_client_t* client = recorder_->client();
        ASSERT_TRUE(eventually(
            [&] { return jack_port_by_name(client, "tamborel-lv2:out_R") != nullptr; }, 10s))
            << "jalv did not bring the plugin up";
        ASSERT_EQ(jack_connect(client, "module:pads", "tamborel-lv2:control"), 0);
        ASSERT_TRUE(recorder_->connect("tamborel-lv2:out_L", "tamborel-lv2:out_R"));
    }
    void TearDown() override {
        module_.reset();
        recorder_.reset();
        if (jalv_ > 0) {
            kill(jalv_, SIGTERM);
            waitpid(jalv_, nullptr, 0);
        }
        if (stdin_ >= 0)
            close(stdin_);
        fs::remove_all(folder_);
        JackServerTest::TearDown();
    }
    fs::path folder_;
    pid_t jalv_ = -1;
    int stdin_ = -1;
    std::unique_ptr<DrumModule> module_;
    std::unique_ptr<JackRecorder> recorder_;
};

} // namespace

TEST_F(JalvOnJack, StrikesFromTheDrumModuleSoundAtTheirOwnFrame) {
    JackRecorder& recorder = *recorder_;
    for (jack_nframes_t frame : {0u, 10u, 100u}) {
        std::vector<float> left;
        for (int attempt = 0; attempt < 3; ++attempt) {
            const int xruns = module_->xruns();
            recorder.rewind();
            ASSERT_TRUE(module_->send({{frame, {0x99, 36, 127}}}));
            const std::size_t skip = module_->cycleStart() - recorder.startFrame();
            ASSERT_TRUE(recorder.waitForFrames(skip + 4800));
            left = recorder.left();
            left.erase(left.begin(), left.begin() + static_cast<long>(std::min(skip, left.size())));
            if (module_->xruns() == xruns)
                break;
            std::this_thread::sleep_for(1s);
        }
        EXPECT_EQ(firstAbove(left, 0.0f), static_cast<long>(frame));
        EXPECT_FLOAT_EQ(left[frame + 100], sampleLevel) << "the saved kit plays, at full velocity";
        std::this_thread::sleep_for(200ms); // the kick dies away
    }
}
