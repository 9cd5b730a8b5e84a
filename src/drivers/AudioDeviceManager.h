#pragma once
// The output devices of every driver, in one list: JACK first (when a server is running),
// then the ALSA devices. Each device gets an id the first time it is seen; the id stays
// with its uid for the life of the process, so a device that goes and comes back keeps it.
// Main thread only.

#include "drivers/AudioDriver.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::drivers {

struct AudioOutputDevice {
    std::uint32_t id = 0;
    std::string uid;
    std::string name;
    friend bool operator==(const AudioOutputDevice&, const AudioOutputDevice&) = default;
};

class AudioDeviceManager {
public:
    // Drivers in order of preference; they must outlive the manager.
    explicit AudioDeviceManager(std::vector<AudioDriver*> drivers);

    // Looks for devices again and lists them.
    std::vector<AudioOutputDevice> outputDevices();
    // The first driver's default device: JACK's server when one runs, else ALSA's default.
    std::optional<std::uint32_t> defaultOutputDeviceID();
    // The present output device with this uid (or that a uid saved in an older form means).
    std::optional<std::uint32_t> deviceID(std::string_view uid);
    // 0 when the device is unknown or its rate cannot be had.
    double nominalSampleRate(std::uint32_t id);
    bool setBufferFrameSize(std::uint32_t frames, std::uint32_t id);
    // 0 when it cannot be read.
    std::uint32_t outputLatencyFrames(std::uint32_t id);
    // The block size the device really runs at, when its driver knows it; never rescans.
    std::optional<std::uint32_t> bufferFramesInForce(std::uint32_t id);

    // The driver that plays a device and the device's uid, for a device seen before.
    AudioDriver* driverFor(std::uint32_t id) const;
    std::optional<std::string> uidFor(std::uint32_t id) const;

private:
    struct Known {
        std::string uid;
        AudioDriver* driver;
    };
    std::uint32_t idFor(const std::string& uid, AudioDriver* driver);
    std::vector<AudioOutputDevice> listDevices();

    std::vector<AudioDriver*> drivers_;
    std::map<std::string, std::uint32_t, std::less<>> ids_;
    std::map<std::uint32_t, Known> known_;
    std::uint32_t nextID_ = 1;
};

} // namespace tamborel::drivers

template <> struct std::hash<tamborel::drivers::AudioOutputDevice> {
    std::size_t operator()(const tamborel::drivers::AudioOutputDevice& d) const noexcept {
        std::size_t h = std::hash<std::uint32_t>{}(d.id);
        h = h * 31 + std::hash<std::string>{}(d.uid);
        return h * 31 + std::hash<std::string>{}(d.name);
    }
};
