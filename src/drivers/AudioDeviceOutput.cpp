#include "drivers/AudioDeviceOutput.h"

#include "drivers/JackDriver.h"
#include "drivers/PortAudioDriver.h"
#include "platform/Log.h"

#include <algorithm>

namespace tamborel::drivers {

namespace {

std::vector<AudioDriver*> pointers(const std::vector<std::unique_ptr<AudioDriver>>& drivers) {
    std::vector<AudioDriver*> list;
    for (const auto& driver : drivers)
        list.push_back(driver.get());
    return list;
}

constexpr double fallbackSampleRate = 48000.0;

} // namespace

AudioDeviceOutput::AudioDeviceOutput(audio::AudioRenderer& renderer,
                                     std::vector<std::unique_ptr<AudioDriver>> drivers)
    : renderer_(renderer), drivers_(std::move(drivers)), devices_(pointers(drivers_)) {
    std::erase(drivers_, nullptr);
}

AudioDeviceOutput::~AudioDeviceOutput() {
    stopDrivers();
}

std::vector<std::unique_ptr<AudioDriver>>
AudioDeviceOutput::systemDrivers(JackClientHook* jackHook) {
    auto jack = std::make_unique<JackDriver>();
    if (jackHook != nullptr)
        jack->setClientHook(jackHook);
    std::vector<std::unique_ptr<AudioDriver>> drivers;
    drivers.push_back(std::move(jack));
    drivers.push_back(std::make_unique<PortAudioDriver>());
    return drivers;
}

AudioDriver* AudioDeviceOutput::runningDriver() const noexcept {
    for (const auto& driver : drivers_) {
        if (driver->isRunning())
            return driver.get();
    }
    return nullptr;
}

bool AudioDeviceOutput::isRunning() const noexcept {
    return runningDriver() != nullptr;
}

void AudioDeviceOutput::stopDrivers() {
    // A driver whose device vanished is no longer running but may still hold its stream or
    // client; stopping it lets go of them.
    for (const auto& driver : drivers_)
        driver->stop();
}

bool AudioDeviceOutput::start() {
    wanted_ = true;
    if (!current_)
        current_ = devices_.defaultOutputDeviceID();
    AudioDriver* driver = current_ ? devices_.driverFor(*current_) : nullptr;
    const std::optional<std::string> uid = current_ ? devices_.uidFor(*current_) : std::nullopt;
    if (driver == nullptr || !uid) {
        platform::logLine("AudioEngine start failed: no audio output device");
        return false;
    }
    if (driver->isRunning())
        return true;
    // Only one driver feeds the renderer at a time.
    stopDrivers();
    std::string failure;
    if (!driver->start(*uid, renderer_, failure)) {
        platform::logLine("AudioEngine start failed: " +
                          (failure.empty() ? std::string("unknown error") : failure));
        return false;
    }
    lastStarted_ = driver;
    return true;
}

void AudioDeviceOutput::setGroupOutputs(bool on) {
    withGroupOutputs_.clear();
    for (const auto& driver : drivers_)
        if (driver->setGroupOutputs(on))
            withGroupOutputs_.push_back(driver.get());
}

void AudioDeviceOutput::setMicrophoneOutputs(const std::vector<audio::MicrophoneOutput>& outputs) {
    for (const auto& driver : drivers_)
        driver->setMicrophoneOutputs(outputs);
}

void AudioDeviceOutput::setClickOutputs(bool on) {
    for (const auto& driver : drivers_)
        driver->setClickOutputs(on);
}

bool AudioDeviceOutput::groupOutputsAvailable() const {
    const AudioDriver* driver = runningDriver() != nullptr ? runningDriver() : lastStarted_;
    return driver != nullptr && std::find(withGroupOutputs_.begin(), withGroupOutputs_.end(),
                                          driver) != withGroupOutputs_.end();
}

void AudioDeviceOutput::stop() {
    wanted_ = false;
    stopDrivers();
}

std::optional<std::uint32_t>
AudioDeviceOutput::chooseDevice(const std::optional<std::string>& uid) {
    if (uid) {
        if (std::optional<std::uint32_t> id = devices_.deviceID(*uid))
            return id;
    }
    return devices_.defaultOutputDeviceID();
}

void AudioDeviceOutput::applySettings(const AudioSettings& settings) {
    // An output that was started and then lost its device still counts as meant to run, so
    // that applying settings brings the sound back.
    const bool wasRunning = wanted_;
    stopDrivers();

    const std::optional<std::uint32_t> target = chooseDevice(settings.outputDeviceUID);
    if (target) {
        // The buffer size goes to the device before the renderer is pointed at it.
        devices_.setBufferFrameSize(settings.bufferFrames, *target);
        current_ = target;
    }
    if (wasRunning)
        start();
}

double AudioDeviceOutput::estimatedLatencyMs(std::uint32_t bufferFrames,
                                             const std::optional<std::string>& deviceUID) {
    const std::optional<std::uint32_t> device = chooseDevice(deviceUID);
    double rate = device ? devices_.nominalSampleRate(*device) : 0.0;
    if (!(rate > 0.0)) {
        AudioDriver* driver = runningDriver() != nullptr ? runningDriver() : lastStarted_;
        rate = driver != nullptr ? driver->streamSampleRate() : 0.0;
    }
    if (!(rate > 0.0))
        rate = fallbackSampleRate;
    const double latencyFrames = device ? devices_.outputLatencyFrames(*device) : 0.0;
    if (const auto inForce = device ? devices_.bufferFramesInForce(*device) : std::nullopt)
        bufferFrames = *inForce;
    return (static_cast<double>(bufferFrames) + latencyFrames) / rate * 1000.0;
}

std::optional<std::uint32_t> AudioDeviceOutput::bufferFramesInForce() {
    return current_ ? devices_.bufferFramesInForce(*current_) : std::nullopt;
}

bool AudioDeviceOutput::bufferSharedWithDesktop() const {
    return current_ && devices_.uidFor(*current_) == JackDriver::deviceUID &&
           JackDriver::pipeWireLibrary();
}

} // namespace tamborel::drivers
