#include "JackRecorder.h"

#include <algorithm>
#include <cmath>

namespace tamborel::testing {

JackRecorder::JackRecorder(const JackServer& server, std::size_t capacityFrames)
    : left_(capacityFrames), right_(capacityFrames) {
    client_ = server.openClient("recorder");
    if (client_ == nullptr)
        return;
    inputs_[0] = jack_port_register(client_, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    inputs_[1] = jack_port_register(client_, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &JackRecorder::onProcess, this);
    if (inputs_[0] == nullptr || inputs_[1] == nullptr || jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

JackRecorder::~JackRecorder() {
    if (client_ != nullptr)
        jack_client_close(client_);
}

bool JackRecorder::connect(const std::string& left, const std::string& right) {
    if (client_ == nullptr ||
        jack_connect(client_, left.c_str(), jack_port_name(inputs_[0])) != 0 ||
        jack_connect(client_, right.c_str(), jack_port_name(inputs_[1])) != 0)
        return false;
    // The server switches to a new graph at a cycle boundary, so the cycle running now may
    // not carry the connections yet.
    const std::uint64_t now = cycles_.load();
    return eventually([&] { return cycles_.load() >= now + 3; });
}

void JackRecorder::rewind() {
    rewind_.store(true);
    // The process thread clears the count when it takes the request.
    eventually([this] { return !rewind_.load(); });
}

bool JackRecorder::waitForFrames(std::size_t frames) const {
    return eventually([&] { return written_.load() >= frames; });
}

std::vector<float> JackRecorder::left() const {
    return {left_.begin(), left_.begin() + static_cast<long>(written_.load())};
}

std::vector<float> JackRecorder::right() const {
    return {right_.begin(), right_.begin() + static_cast<long>(written_.load())};
}

float loudestOnTheLeft(const JackServer& server, const std::function<void()>& during) {
    constexpr std::size_t quarterSecond = 12000;
    JackRecorder recorder(server, quarterSecond);
    EXPECT_TRUE(recorder.connect("Tamborel:out_1", "Tamborel:out_2"));
    recorder.rewind();
    during();
    EXPECT_TRUE(recorder.waitForFrames(quarterSecond));
    const auto left = recorder.left();
    return left.empty() ? 0.0f : *std::max_element(left.begin(), left.end());
}

int JackRecorder::onProcess(jack_nframes_t frames, void* self) {
    auto* r = static_cast<JackRecorder*>(self);
    r->cycles_.fetch_add(1);
    if (r->rewind_.load()) {
        r->startFrame_.store(jack_last_frame_time(r->client_));
        r->written_.store(0);
        r->rewind_.store(false);
    }
    const std::size_t at = r->written_.load();
    const std::size_t n = std::min<std::size_t>(frames, r->left_.size() - at);
    const auto* l = static_cast<const float*>(jack_port_get_buffer(r->inputs_[0], frames));
    const auto* rt = static_cast<const float*>(jack_port_get_buffer(r->inputs_[1], frames));
    std::copy(l, l + n, r->left_.begin() + static_cast<long>(at));
    std::copy(rt, rt + n, r->right_.begin() + static_cast<long>(at));
    r->written_.store(at + n);
    return 0;
}

long firstAbove(const std::vector<float>& samples, float threshold) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > threshold)
            return static_cast<long>(i);
    }
    return -1;
}

} // namespace tamborel::testing

#if defined(__SANITIZE_THREAD__)
// The recorder and the program under test are two JACK clients in one process: a port
// buffer written by one is read by the other after a hand-over through the JACK server, in
// another process, which ThreadSanitizer cannot see.
extern "C" const char* __tsan_default_suppressions() {
    return "race:tamborel::testing::JackRecorder::onProcess\n";
}
#endif
