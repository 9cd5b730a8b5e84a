#pragma once
// The engine's way out to a device: owns the drivers, chooses the device from the user's
// settings, sets its buffer size and points the renderer (the voice engine) at it. Start,
// stop and the settings run on the main thread; isRunning may be read from any thread.
//
// Once started, the output keeps wanting to run: when the device or JACK server goes away
// it reports not running, and the next applySettings or start tries again.

#include "audio/AudioRenderer.h"
#include "drivers/AudioDeviceManager.h"
#include "drivers/AudioDriver.h"
#include "model/AudioSettings.h"
#include "model/DrumKit.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::drivers {

class JackClientHook;

class AudioDeviceOutput {
public:
    // Drivers in order of preference. The renderer must outlive the output.
    AudioDeviceOutput(audio::AudioRenderer& renderer,
                      std::vector<std::unique_ptr<AudioDriver>> drivers);
    ~AudioDeviceOutput();
    AudioDeviceOutput(const AudioDeviceOutput&) = delete;
    AudioDeviceOutput& operator=(const AudioDeviceOutput&) = delete;

    // JACK (sharing its client with `jackHook` when given), then ALSA through PortAudio.
    static std::vector<std::unique_ptr<AudioDriver>> systemDrivers(JackClientHook* jackHook);

    AudioDeviceManager& devices() { return devices_; }

    // Starts on the device chosen by the last applySettings, else the default device. A
    // failure is logged ("AudioEngine start failed: " and the reason) and leaves the output
    // stopped. Returns whether it runs.
    bool start();
    void stop();
    bool isRunning() const noexcept;

    // Stops if running, chooses the device (the stored uid if present, else the default),
    // sets its buffer size, makes it current and starts again if it was meant to run.
    void applySettings(const AudioSettings& settings);

    // (the buffer + the device's own latency) / the device's rate, in milliseconds; the
    // device chosen as applySettings would choose it. The buffer is the size the device
    // really runs at where it tells, else `bufferFrames`.
    double estimatedLatencyMs(std::uint32_t bufferFrames,
                              const std::optional<std::string>& deviceUID);

    // The block size the current device really runs at, where its driver knows it. Cheap
    // enough to poll: never rescans or connects.
    std::optional<std::uint32_t> bufferFramesInForce();
    // Whether the current device's buffer size is the quantum of the whole desktop's audio
    // graph (JACK through PipeWire), so that a request changes other programs' latency too.
    bool bufferSharedWithDesktop() const;

    // Each drum group's own output pair beside the master, where the driver has ports to give
    // (JACK); the master plays on. Kept for later starts, on whichever driver plays.
    void setGroupOutputs(bool on);
    // Whether the driver playing (else the last one started) gives the groups their outputs.
    bool groupOutputsAvailable() const;
    // Those outputs go to the kit's microphone outputs instead, one mono output each, named
    // after its microphone; none, back to the drum groups. Kept for later starts likewise.
    void setMicrophoneOutputs(const std::vector<audio::MicrophoneOutput>& outputs);
    // The click on a pair of its own where the driver has ports to give (JACK), else in the
    // master. Kept for later starts likewise.
    void setClickOutputs(bool on);

    // The device the output plays on (or would, once started).
    std::optional<std::uint32_t> currentDeviceID() const { return current_; }

private:
    std::optional<std::uint32_t> chooseDevice(const std::optional<std::string>& uid);
    AudioDriver* runningDriver() const noexcept;
    void stopDrivers();

    audio::AudioRenderer& renderer_;
    std::vector<std::unique_ptr<AudioDriver>> drivers_;
    AudioDeviceManager devices_;
    std::optional<std::uint32_t> current_;
    AudioDriver* lastStarted_ = nullptr;
    std::vector<AudioDriver*> withGroupOutputs_; // the drivers that took the last request
    bool wanted_ = false;
};

} // namespace tamborel::drivers
