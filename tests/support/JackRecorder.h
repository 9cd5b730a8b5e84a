#pragma once
// A second JACK client that records two output ports into memory, the way a listener would
// hear them. Recording starts when asked and stops when the buffer is full.

#include "JackServerFixture.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace tamborel::testing {

class JackRecorder {
public:
    JackRecorder(const JackServer& server, std::size_t capacityFrames);
    ~JackRecorder();
    JackRecorder(const JackRecorder&) = delete;
    JackRecorder& operator=(const JackRecorder&) = delete;

    bool ok() const { return client_ != nullptr; }
    // Connects the two sources (full port names) to the recorder's inputs, and returns once
    // the connections carry sound.
    bool connect(const std::string& left, const std::string& right);
    // Forgets what was recorded and records from the next cycle on.
    void rewind();
    std::size_t framesRecorded() const { return written_.load(); }
    // The server's frame time of the first frame recorded since the last rewind.
    jack_nframes_t startFrame() const { return startFrame_.load(); }
    // Waits until at least `frames` frames have been recorded since the last rewind.
    bool waitForFrames(std::size_t frames) const;

    // Copies of what was recorded so far.
    std::vector<float> left() const;
    std::vector<float> right() const;
    jack_client_t* client() const { return client_; }

private:
    static int onProcess(jack_nframes_t frames, void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* inputs_[2] = {nullptr, nullptr};
    std::vector<float> left_;
    std::vector<float> right_;
    std::atomic<std::size_t> written_{0};
    std::atomic<bool> rewind_{false};
    std::atomic<std::uint64_t> cycles_{0};
    std::atomic<jack_nframes_t> startFrame_{0};
};

// The loudest sample of the program's left output ("Tamborel:out_1") over the next quarter
// second at 48 kHz, recorded while `during` runs.
float loudestOnTheLeft(const JackServer& server, const std::function<void()>& during);

// Index of the first sample whose magnitude exceeds `threshold`, or -1.
long firstAbove(const std::vector<float>& samples, float threshold);

} // namespace tamborel::testing
