// The stereo instrument in jalv, a real LV2 host, on a private JACK server: the factory
// preset chosen when it starts decides which kit a strike plays.

#include "JackClients.h"
#include "JackRecorder.h"
#include "JackServerFixture.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace tamborel::testing {
namespace {

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

std::size_t soundingLength(const std::vector<float>& s) {
    std::size_t last = s.size();
    while (last > 0 && s[last - 1] == 0.0f)
        --last;
    return last;
}

class JalvHost : public JackServerTest {};

TEST_F(JalvHost, APresetChosenAtStartPlaysItsFactoryKit) {
    if (access(JALV, X_OK) != 0)
        GTEST_SKIP() << "jalv is not installed (" JALV ")";
    SF_INFO info{};
    SNDFILE* file = sf_open(TAMBOREL_RESOURCES_DIR "/Samples-808/808_kick.wav", SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(info.channels, 1);
    std::vector<float> kick808(static_cast<std::size_t>(info.frames));
    sf_readf_float(file, kick808.data(), info.frames);
    sf_close(file);

    // jalv's console takes commands on its input, and jalv quits at the input's end.
    // It reads a preset's state once its list of presets has been asked for.
    const std::string command = "JACK_DEFAULT_SERVER=" + server->name() +
                                " LV2_PATH=" TAMBOREL_LV2_DIR " " JALV
                                " -x -n tamborel urn:tamborel:drums >/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> jalv(popen(command.c_str(), "w"), pclose);
    ASSERT_NE(jalv, nullptr);
    const auto choose = [&](const char* kit) {
        std::fprintf(jalv.get(), "presets\npreset urn:tamborel:drums#kit-%s\n", kit);
        std::fflush(jalv.get());
    };
    choose("techno-808");

    DrumModule drums(*server);
    jack_port_t* out = drums.addPort("out");
    // Long enough for the whole 808 kick, so that every strike starts in silence.
    constexpr std::size_t frames = 76800;
    JackRecorder recorder(*server, frames);
    ASSERT_TRUE(recorder.ok());
    ASSERT_TRUE(eventually(
        [&] {
            return jack_port_by_name(recorder.client(), "tamborel:out_R") != nullptr &&
                   jack_connect(recorder.client(), jack_port_name(out), "tamborel:control") == 0;
        },
        std::chrono::seconds(20)))
        << "jalv did not start the instrument";
    ASSERT_TRUE(recorder.connect("tamborel:out_L", "tamborel:out_R"));

    // The kick (note 36), heard on the left from its first sounding frame.
    std::vector<float> heard;
    const auto kickSounds808 = [&] {
        recorder.rewind();
        EXPECT_TRUE(drums.send({{10, {0x99, 36, 100}}}));
        EXPECT_TRUE(recorder.waitForFrames(frames));
        const std::vector<float> left = recorder.left();
        heard.assign(left.begin() + std::max(0L, firstAbove(left, 1e-6f)), left.end());
        return soundingLength(heard) > 0 && likeness(heard, kick808) > 0.99;
    };
    // jalv takes its console's commands once it runs: the first strikes may come before the
    // preset is in.
    EXPECT_TRUE(eventually(kickSounds808, std::chrono::seconds(20)))
        << "not the Techno 808 kick: likeness " << likeness(heard, kick808);
    EXPECT_NEAR(double(soundingLength(heard)), double(soundingLength(kick808)), 64.0);

    choose("classic-rock");
    EXPECT_TRUE(eventually([&] { return !kickSounds808() && soundingLength(heard) > 0; },
                           std::chrono::seconds(20)))
        << "Classic Rock plays the 808 kick";
}

} // namespace
} // namespace tamborel::testing
