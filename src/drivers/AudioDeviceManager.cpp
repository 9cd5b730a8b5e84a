#include "drivers/AudioDeviceManager.h"

#include <algorithm>

namespace tamborel::drivers {

AudioDeviceManager::AudioDeviceManager(std::vector<AudioDriver*> drivers)
    : drivers_(std::move(drivers)) {
    std::erase(drivers_, nullptr);
}

std::uint32_t AudioDeviceManager::idFor(const std::string& uid, AudioDriver* driver) {
    if (auto it = ids_.find(uid); it != ids_.end())
        return it->second;
    const std::uint32_t id = nextID_++;
    ids_.emplace(uid, id);
    known_.emplace(id, Known{uid, driver});
    return id;
}

std::vector<AudioOutputDevice> AudioDeviceManager::listDevices() {
    std::vector<AudioOutputDevice> list;
    for (AudioDriver* driver : drivers_) {
        for (AudioDriverDevice& device : driver->outputDevices()) {
            // Two drivers never share a uid, but a careless one could repeat itself.
            if (std::any_of(list.begin(), list.end(),
                            [&](const AudioOutputDevice& d) { return d.uid == device.uid; }))
                continue;
            const std::uint32_t id = idFor(device.uid, driver);
            list.push_back({id, std::move(device.uid), std::move(device.name)});
        }
    }
    return list;
}

std::vector<AudioOutputDevice> AudioDeviceManager::outputDevices() {
    for (AudioDriver* driver : drivers_)
        driver->rescan();
    return listDevices();
}

std::optional<std::uint32_t> AudioDeviceManager::defaultOutputDeviceID() {
    for (AudioDriver* driver : drivers_) {
        if (std::optional<std::string> uid = driver->defaultOutputDeviceUID())
            return idFor(*uid, driver);
    }
    return std::nullopt;
}

std::optional<std::uint32_t> AudioDeviceManager::deviceID(std::string_view uid) {
    const std::vector<AudioOutputDevice> devices = listDevices();
    auto find = [&](std::string_view wanted) -> std::optional<std::uint32_t> {
        for (const AudioOutputDevice& device : devices) {
            if (device.uid == wanted)
                return device.id;
        }
        return std::nullopt;
    };
    if (auto id = find(uid))
        return id;
    // A uid saved in an older form.
    for (AudioDriver* driver : drivers_) {
        if (const std::string canonical = driver->canonicalUID(uid); canonical != uid) {
            if (auto id = find(canonical))
                return id;
        }
    }
    return std::nullopt;
}

double AudioDeviceManager::nominalSampleRate(std::uint32_t id) {
    auto it = known_.find(id);
    if (it == known_.end())
        return 0.0;
    const double rate = it->second.driver->nominalSampleRate(it->second.uid);
    return rate > 0.0 ? rate : 0.0;
}

bool AudioDeviceManager::setBufferFrameSize(std::uint32_t frames, std::uint32_t id) {
    auto it = known_.find(id);
    return it != known_.end() && it->second.driver->setBufferFrameSize(frames, it->second.uid);
}

std::uint32_t AudioDeviceManager::outputLatencyFrames(std::uint32_t id) {
    auto it = known_.find(id);
    if (it == known_.end())
        return 0;
    return it->second.driver->outputLatencyFrames(it->second.uid).value_or(0);
}

std::optional<std::uint32_t> AudioDeviceManager::bufferFramesInForce(std::uint32_t id) {
    auto it = known_.find(id);
    if (it == known_.end())
        return std::nullopt;
    return it->second.driver->bufferFramesInForce(it->second.uid);
}

AudioDriver* AudioDeviceManager::driverFor(std::uint32_t id) const {
    auto it = known_.find(id);
    return it == known_.end() ? nullptr : it->second.driver;
}

std::optional<std::string> AudioDeviceManager::uidFor(std::uint32_t id) const {
    auto it = known_.find(id);
    if (it == known_.end())
        return std::nullopt;
    return it->second.uid;
}

} // namespace tamborel::drivers
