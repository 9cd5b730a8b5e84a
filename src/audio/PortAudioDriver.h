#pragma once
// Plays through ALSA by way of PortAudio's ALSA host API: the desktop's default output
// (ALSA's "default", usually PipeWire or PulseAudio) and every ALSA output device.
//
// PortAudio is initialised only while scanning for devices and while a stream is open, so
// that its other host APIs (its own JACK client among them) do not linger. The stream
// callback calls only the renderer; it allocates nothing, takes no lock and never blocks.

#include "audio/AudioDriver.h"

#include <atomic>
#include <vector>

namespace tamborel::audio {

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

    bool start(std::string_view uid, AudioRenderer& renderer, std::string& failure) override;
    void stop() override;
    bool isRunning() const noexcept override { return running_.load(); }
    double streamSampleRate() const noexcept override { return streamRate_.load(); }

private:
    struct Device {
        std::string uid;
        std::string name;
        double defaultSampleRate = 0.0;
    };

    void scan();
    const Device* findDevice(std::string_view uid) const;
    bool openStream(std::string_view uid, std::string& failure);
    void closeStream();
    void renderBlock(float** out, std::uint32_t frames) noexcept;
    void streamFinished() noexcept;
    friend struct PortAudioCallbacks;

    bool scanned_ = false;
    std::vector<Device> devices_;
    std::optional<std::string> defaultUID_;
    std::uint32_t bufferFrames_ = 256;

    void* stream_ = nullptr; // PaStream*, kept opaque so callers need not see PortAudio
    std::string streamUID_;
    int channels_ = 2;
    std::vector<float> monoScratch_;

    std::atomic<AudioRenderer*> renderer_{nullptr};
    std::atomic<bool> running_{false};
    std::atomic<double> streamRate_{0.0};
    std::atomic<std::uint32_t> preparedFrames_{0};
};

} // namespace tamborel::audio
