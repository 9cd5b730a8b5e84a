// The stereo instrument in jalv, a real LV2 host, on a private JACK server: the factory
// preset chosen when it starts decides which kit a strike plays.

#include "JackClients.h"
#include "JackRecorder.h"
#include "JackServerFixture.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tamborel::testing {
namespace {

constexpr const char* pluginUri = "urn:tamborel:drums";

// jalv playing the instrument as the JACK client "tamborel", its console on a pipe.
class Jalv {
public:
    explicit Jalv(const JackServer& server) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        std::vector<std::string> env{"JACK_DEFAULT_SERVER=" + server.name(),
                                     "LV2_PATH=" TAMBOREL_LV2_DIR};
        for (char** e = environ; *e != nullptr; ++e)
            if (std::string_view(*e).rfind("LV2_PATH=", 0) != 0 &&
                std::string_view(*e).rfind("JACK_DEFAULT_SERVER=", 0) != 0)
                env.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const char* argv[] = {JALV, "-x", "-n", "tamborel", pluginUri, nullptr};
        if (posix_spawn(&pid_, JALV, &actions, nullptr, const_cast<char**>(argv), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[0]);
        console_ = fds[1];
    }
    // The console ends at the end of its input, and jalv with it.
    ~Jalv() {
        close(console_);
        if (pid_ <= 0)
            return;
        if (!eventually([this] { return waitpid(pid_, nullptr, WNOHANG) == pid_; })) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Jalv(const Jalv&) = delete;
    Jalv& operator=(const Jalv&) = delete;

    bool command(const std::string& line) {
        const std::string text = line + "\n";
        return write(console_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

private:
    pid_t pid_ = -1;
    int console_ = -1;
};

std::vector<float> monoSound(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return {};
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    std::vector<float> mono;
    for (std::size_t i = 0; i < frames.size(); i += static_cast<std::size_t>(info.channels))
        mono.push_back(frames[i]);
    return mono;
}

// How alike two sounds are in shape whatever their level: 1 for the same waveform.
double likeness(const std::vector<float>& a, const std::vector<float>& b) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

std::size_t lastSounding(const std::vector<float>& s) {
    std::size_t last = s.size();
    while (last > 0 && s[last - 1] == 0.0f)
        --last;
    return last;
}

class JalvHost : public JackServerTest {};

TEST_F(JalvHost, APresetChosenAtStartPlaysItsFactoryKit) {
    if (access(JALV, X_OK) != 0)
        GTEST_SKIP() << "jalv is not installed (" JALV ")";
    const std::vector<float> kick808 =
        monoSound(TAMBOREL_RESOURCES_DIR "/Samples-808/808_kick.wav");
    ASSERT_FALSE(kick808.empty());

    Jalv jalv(*server);
    // jalv reads a preset's state once its list of presets has been asked for.
    ASSERT_TRUE(jalv.command("presets"));
    ASSERT_TRUE(jalv.command(std::string("preset ") + pluginUri + "#kit-techno-808"));
    DrumModule drums(*server);
    ASSERT_TRUE(drums.valid());
    jack_port_t* out = drums.addPort("out");
    // Long enough for the whole 808 kick, so that every strike starts in silence.
    constexpr std::size_t frames = 76800;
    JackRecorder recorder(*server, frames);
    ASSERT_TRUE(recorder.ok());
    // jalv registers the ports one by one as it starts.
    ASSERT_TRUE(eventually(
        [&] {
            return jack_port_by_name(recorder.client(), "tamborel:out_R") != nullptr &&
                   jack_connect(recorder.client(), jack_port_name(out), "tamborel:control") == 0;
        },
        std::chrono::seconds(20)))
        << "jalv did not start the instrument";
    ASSERT_TRUE(recorder.connect("tamborel:out_L", "tamborel:out_R"));

    // Strikes the kick (note 36) and returns the left channel from its first sounding frame.
    auto strikeKick = [&] {
        recorder.rewind();
        EXPECT_TRUE(drums.send({{10, {0x99, 36, 100}}}));
        EXPECT_TRUE(recorder.waitForFrames(frames));
        std::vector<float> left = recorder.left();
        const long start = firstAbove(left, 1e-6f);
        return start < 0 ? std::vector<float>{}
                         : std::vector<float>(left.begin() + start, left.end());
    };
    // jalv takes its console's commands once it runs: the first strikes may come before the
    // preset is in.
    std::vector<float> heard;
    const bool playsThe808 = eventually(
        [&] {
            heard = strikeKick();
            return likeness(heard, kick808) > 0.99;
        },
        std::chrono::seconds(20));
    EXPECT_TRUE(playsThe808) << "the kick is not the Techno 808's: likeness "
                             << likeness(heard, kick808);
    EXPECT_NEAR(double(lastSounding(heard)), double(lastSounding(kick808)), 64.0)
        << "the 808 kick's length";

    // Another preset, another kick.
    ASSERT_TRUE(jalv.command(std::string("preset ") + pluginUri + "#kit-classic-rock"));
    const bool playsAnother = eventually(
        [&] {
            heard = strikeKick();
            return !heard.empty() && likeness(heard, kick808) < 0.5;
        },
        std::chrono::seconds(20));
    EXPECT_TRUE(playsAnother) << "Classic Rock still plays the 808 kick";
}

} // namespace
} // namespace tamborel::testing
