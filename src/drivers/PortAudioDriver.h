#pragma once
// Plays through ALSA by way of PortAudio's ALSA host API: the desktop's default output
// (ALSA's "default", usually PipeWire or PulseAudio) and every ALSA output device.
//
// PortAudio is initialised only while scanning for devices and while a stream is open, so
// that its other host APIs (its own JACK client among them) do not linger. The stream
// callback calls only the renderer; it allocates nothing, takes no lock and never blocks.
// It asks for real-time scheduling, and logs once per start when the system refuses it.
//
// A device's uid is "alsa:" and its PortAudio name with the card's id string in place of
// its number (see AlsaDeviceNames.h), so a saved choice outlives reboots and re-plugs; a uid
// saved with the card number still finds the card now at that number.
//
// Each block tells the renderer when it starts (timing/EventTime.h), from the stream's own clock:
// the time its first frame reaches the converter, less the stream's output latency.

#include "drivers/AudioDriver.h"

#include <pthread.h>

#include <atomic>
#include <vector>

namespace tamborel::drivers {

class PortAudioDriver final : public AudioDriver {
public:
    static constexpr std::string_view uidPrefix = "alsa:";

    PortAudioDriver() = default;
    ~PortAudioDriver() override;
    PortAudioDriver(const PortAudioDriver&) = delete;
    PortAudioDriver& operator=(const PortAudioDriver&) = delete;

    void rescan() override;
    std::vector<AudioDriverDevice> outputDevices() override;
    std::optional<std::string> defaultOutputDeviceUID() override;
    double nominalSampleRate(std::string_view uid) override;
    bool setBufferFrameSize(std::uint32_t frames, std::string_view uid) override;
    std::optional<std::uint32_t> outputLatencyFrames(std::string_view uid) override;
    std::string canonicalUID(std::string_view uid) override;

    bool start(std::string_view uid, audio::AudioRenderer& renderer, std::string& failure) override;
    void stop() override;
    bool isRunning() const noexcept override { return running_.load(); }
    double streamSampleRate() const noexcept override { return streamRate_.load(); }

private:
    struct Device {
        std::string uid;
        std::string name; // PortAudio's, shown to the user
        double defaultSampleRate = 0.0;
    };

    void scan();
    const Device* findDevice(std::string_view uid) const;
    bool openStream(std::string_view uid, std::string& failure);
    void closeStream();
    void renderBlock(float** out, std::uint32_t frames, double dacTime) noexcept;
    void streamFinished() noexcept;
    void reportScheduling();
    friend struct PortAudioCallbacks;

    bool scanned_ = false;
    std::vector<Device> devices_;
    std::optional<std::string> defaultUID_;
    std::uint32_t bufferFrames_ = 256;

    void* stream_ = nullptr; // PaStream*, kept opaque so callers need not see PortAudio
    std::string streamUID_;
    int channels_ = 2;
    std::vector<float> monoScratch_;

    std::atomic<audio::AudioRenderer*> renderer_{nullptr};
    std::atomic<bool> running_{false};
    std::atomic<double> streamRate_{0.0};
    std::atomic<std::uint32_t> preparedFrames_{0};
    std::int64_t outputLatencyNanos_ = 0;
    // The callback's thread, recorded on its first run, so that the main thread can see
    // whether it got real-time scheduling.
    std::atomic<bool> callbackThreadKnown_{false};
    pthread_t callbackThread_{};
};

} // namespace tamborel::drivers
