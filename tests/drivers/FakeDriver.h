#pragma once
// A driver whose devices, rates, latencies and failures a test sets by hand, and which
// writes down every call that changes something, in order.

#include "drivers/AudioDriver.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace tamborel::testing {

class FakeDriver final : public drivers::AudioDriver {
public:
    struct Device {
        std::string uid;
        std::string name;
        double rate = 48000.0;
        std::optional<std::uint32_t> latency; // none: cannot be read
    };

    std::vector<Device> devices;
    std::optional<std::string> defaultUID;
    std::map<std::string, std::string, std::less<>> oldUIDs; // old form -> present uid
    std::string startFailure; // non-empty: start fails with this reason
    std::vector<std::string>* journal = nullptr;
    bool running = false;
    double preparedRate = 0.0;

    void rescan() override {}
    std::vector<drivers::AudioDriverDevice> outputDevices() override {
        std::vector<drivers::AudioDriverDevice> list;
        for (const Device& d : devices)
            list.push_back({d.uid, d.name});
        return list;
    }
    std::optional<std::string> defaultOutputDeviceUID() override { return defaultUID; }
    std::string canonicalUID(std::string_view uid) override {
        const auto it = oldUIDs.find(uid);
        return it != oldUIDs.end() ? it->second : std::string(uid);
    }
    double nominalSampleRate(std::string_view uid) override {
        const Device* d = find(uid);
        return d != nullptr ? d->rate : 0.0;
    }
    bool setBufferFrameSize(std::uint32_t frames, std::string_view uid) override {
        note("buffer " + std::to_string(frames) + " " + std::string(uid));
        return find(uid) != nullptr;
    }
    std::optional<std::uint32_t> outputLatencyFrames(std::string_view uid) override {
        const Device* d = find(uid);
        return d != nullptr ? d->latency : std::nullopt;
    }
    bool start(std::string_view uid, audio::AudioRenderer& renderer,
               std::string& failure) override {
        note("start " + std::string(uid));
        if (!startFailure.empty() || find(uid) == nullptr) {
            failure = startFailure.empty() ? "gone" : startFailure;
            return false;
        }
        preparedRate = find(uid)->rate;
        renderer.prepareToRender(preparedRate, 256);
        running = true;
        return true;
    }
    void stop() override {
        if (running)
            note("stop");
        running = false;
    }
    bool isRunning() const noexcept override { return running; }
    double streamSampleRate() const noexcept override { return preparedRate; }

    // The device vanishes under a running stream, as an unplugged card or a dead server would.
    void loseDevice(std::string_view uid) {
        std::erase_if(devices, [&](const Device& d) { return d.uid == uid; });
        if (defaultUID == uid)
            defaultUID.reset();
        running = false;
    }

private:
    const Device* find(std::string_view uid) const {
        const auto it = std::find_if(devices.begin(), devices.end(),
                                     [&](const Device& d) { return d.uid == uid; });
        return it != devices.end() ? &*it : nullptr;
    }
    void note(std::string entry) {
        if (journal != nullptr)
            journal->push_back(std::move(entry));
    }
};

} // namespace tamborel::testing
