#include "drivers/PortAudioDriver.h"

#include "drivers/AlsaDeviceNames.h"
#include "platform/Log.h"
#include "timing/EventTime.h"

#include <alsa/asoundlib.h>
#include <pa_linux_alsa.h>
#include <portaudio.h>

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace tamborel::drivers {

namespace {

constexpr double preferredSampleRate = 48000.0;
constexpr std::uint32_t maxBufferFrames = 8192;

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// PortAudio opens every ALSA device it can think of while it initialises, and alsa-lib
// prints a line for each one that is not there: dozens on a machine without a sound card.
// Those lines say nothing the device list does not.
PaError initialisePortAudio() {
    snd_lib_error_set_handler(&ignoreAlsaError);
    const PaError error = Pa_Initialize();
    snd_lib_error_set_handler(nullptr);
    return error;
}

// PortAudio counts initialisations; each successful one is paired with one termination.
class PortAudioSession {
public:
    PortAudioSession() : ok_(initialisePortAudio() == paNoError) {}
    ~PortAudioSession() {
        if (ok_)
            Pa_Terminate();
    }
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_;
};

std::string describe(PaError error) {
    std::string text = Pa_GetErrorText(error);
    if (error == paUnanticipatedHostError) {
        if (const PaHostErrorInfo* info = Pa_GetLastHostErrorInfo();
            info != nullptr && info->errorText != nullptr && *info->errorText != '\0')
            text += std::string(": ") + info->errorText;
    }
    return text;
}

// The PortAudio index of the ALSA output device with this name, or paNoDevice.
PaDeviceIndex alsaOutputDevice(std::string_view name) {
    const PaHostApiIndex alsa = Pa_HostApiTypeIdToHostApiIndex(paALSA);
    const PaHostApiInfo* api = alsa >= 0 ? Pa_GetHostApiInfo(alsa) : nullptr;
    if (api == nullptr)
        return paNoDevice;
    for (int i = 0; i < api->deviceCount; ++i) {
        const PaDeviceIndex index = Pa_HostApiDeviceIndexToDeviceIndex(alsa, i);
        const PaDeviceInfo* info = index >= 0 ? Pa_GetDeviceInfo(index) : nullptr;
        if (info != nullptr && info->maxOutputChannels > 0 && info->name != nullptr &&
            name == info->name)
            return index;
    }
    return paNoDevice;
}

std::string stableUID(const char* portAudioName) {
    return std::string(PortAudioDriver::uidPrefix) +
           alsaNames::stableName(portAudioName, &alsaNames::systemCardId);
}

// How long start() waits for the first callback to see how its thread is scheduled.
constexpr auto firstCallbackWait = std::chrono::milliseconds(250);

} // namespace

struct PortAudioCallbacks {
    static int stream(const void*, void* output, unsigned long frames,
                      const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* self) {
        static_cast<PortAudioDriver*>(self)->renderBlock(
            static_cast<float**>(output), static_cast<std::uint32_t>(frames),
            time != nullptr ? time->outputBufferDacTime : 0.0);
        return paContinue;
    }
    static void finished(void* self) { static_cast<PortAudioDriver*>(self)->streamFinished(); }
};

PortAudioDriver::~PortAudioDriver() {
    stop();
}

void PortAudioDriver::rescan() {
    // PortAudio only enumerates devices while initialising, which an open stream prevents;
    // the list stays as it was until the stream is closed.
    if (stream_ == nullptr)
        scan();
}

void PortAudioDriver::scan() {
    scanned_ = true;
    devices_.clear();
    defaultUID_.reset();
    PortAudioSession session;
    if (!session.ok())
        return;
    const PaHostApiIndex alsa = Pa_HostApiTypeIdToHostApiIndex(paALSA);
    const PaHostApiInfo* api = alsa >= 0 ? Pa_GetHostApiInfo(alsa) : nullptr;
    if (api == nullptr)
        return;
    for (int i = 0; i < api->deviceCount; ++i) {
        const PaDeviceIndex index = Pa_HostApiDeviceIndexToDeviceIndex(alsa, i);
        const PaDeviceInfo* info = index >= 0 ? Pa_GetDeviceInfo(index) : nullptr;
        if (info == nullptr || info->maxOutputChannels <= 0 || info->name == nullptr)
            continue;
        Device device{stableUID(info->name), info->name, info->defaultSampleRate};
        if (index == api->defaultOutputDevice)
            defaultUID_ = device.uid;
        devices_.push_back(std::move(device));
    }
}

const PortAudioDriver::Device* PortAudioDriver::findDevice(std::string_view uid) const {
    auto find = [&](std::string_view wanted) {
        auto it = std::find_if(devices_.begin(), devices_.end(),
                               [&](const Device& d) { return d.uid == wanted; });
        return it == devices_.end() ? nullptr : &*it;
    };
    if (const Device* device = find(uid))
        return device;
    const std::string canonical = const_cast<PortAudioDriver*>(this)->canonicalUID(uid);
    return canonical != uid ? find(canonical) : nullptr;
}

std::string PortAudioDriver::canonicalUID(std::string_view uid) {
    if (!uid.starts_with(uidPrefix))
        return std::string(uid);
    return std::string(uidPrefix) +
           alsaNames::stableName(uid.substr(uidPrefix.size()), &alsaNames::systemCardId);
}

std::vector<AudioDriverDevice> PortAudioDriver::outputDevices() {
    if (!scanned_)
        scan();
    std::vector<AudioDriverDevice> list;
    list.reserve(devices_.size());
    for (const Device& d : devices_)
        list.push_back({d.uid, d.name});
    return list;
}

std::optional<std::string> PortAudioDriver::defaultOutputDeviceUID() {
    if (!scanned_)
        scan();
    return defaultUID_;
}

double PortAudioDriver::nominalSampleRate(std::string_view uid) {
    if (stream_ != nullptr && uid == streamUID_)
        return streamRate_.load();
    if (!scanned_)
        scan();
    const Device* device = findDevice(uid);
    return device != nullptr ? device->defaultSampleRate : 0.0;
}

bool PortAudioDriver::setBufferFrameSize(std::uint32_t frames, std::string_view uid) {
    if (frames == 0 || frames > maxBufferFrames)
        return false;
    if (!scanned_)
        scan();
    if (findDevice(uid) == nullptr)
        return false;
    // A stream's block size is fixed when it opens; the next start uses this one.
    bufferFrames_ = frames;
    return true;
}

std::optional<std::uint32_t> PortAudioDriver::outputLatencyFrames(std::string_view uid) {
    if (stream_ == nullptr || uid != streamUID_)
        return std::nullopt;
    const PaStreamInfo* info = Pa_GetStreamInfo(static_cast<PaStream*>(stream_));
    if (info == nullptr || !(info->outputLatency >= 0.0) || !(info->sampleRate > 0.0))
        return std::nullopt;
    return static_cast<std::uint32_t>(std::lround(info->outputLatency * info->sampleRate));
}

bool PortAudioDriver::start(std::string_view uid, audio::AudioRenderer& renderer,
                            std::string& failure) {
    if (running_.load() && uid == streamUID_)
        return true;
    stop();
    if (!uid.starts_with(uidPrefix)) {
        failure = "no ALSA device with uid " + std::string(uid);
        return false;
    }
    if (initialisePortAudio() != paNoError) {
        failure = "PortAudio could not be initialised";
        return false;
    }
    renderer_.store(&renderer);
    if (!openStream(uid, failure)) {
        Pa_Terminate();
        return false;
    }
    renderer.renderingStarted();
    running_.store(true);
    callbackThreadKnown_.store(false);
    if (const PaError error = Pa_StartStream(static_cast<PaStream*>(stream_)); error != paNoError) {
        failure = "cannot start " + streamUID_.substr(uidPrefix.size()) + ": " + describe(error);
        if (running_.exchange(false))
            renderer.renderingStopped();
        closeStream();
        return false;
    }
    reportScheduling();
    return true;
}

void PortAudioDriver::reportScheduling() {
    const auto deadline = std::chrono::steady_clock::now() + firstCallbackWait;
    while (!callbackThreadKnown_.load(std::memory_order_acquire)) {
        if (!running_.load() || std::chrono::steady_clock::now() > deadline)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // The thread is joined only when this thread stops the stream, so its handle is good.
    int policy = SCHED_OTHER;
    sched_param parameters{};
    if (pthread_getschedparam(callbackThread_, &policy, &parameters) == 0 &&
        (policy == SCHED_FIFO || policy == SCHED_RR))
        return;
    platform::logLine("ALSA output runs without real-time scheduling (the system refused it; "
                      "allow this user real-time priority, e.g. through the audio group's "
                      "rtprio limit): small buffers may drop out under load");
}

bool PortAudioDriver::openStream(std::string_view uid, std::string& failure) {
    // The card's present number for a stable name; an old numbered name means the card now
    // at that number.
    const std::string stable = canonicalUID(uid).substr(uidPrefix.size());
    const std::string name =
        alsaNames::portAudioName(stable, &alsaNames::systemCardIndex).value_or(stable);
    const PaDeviceIndex index = alsaOutputDevice(name);
    if (index == paNoDevice) {
        failure = "ALSA output device \"" + name + "\" not found";
        return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    channels_ = std::min(info->maxOutputChannels, 2);

    PaStreamParameters out{};
    out.device = index;
    out.channelCount = channels_;
    out.sampleFormat = paFloat32 | paNonInterleaved;
    out.suggestedLatency = info->defaultLowOutputLatency;

    // Prefer the rate our samples are kept at; a device that will not run at it plays at
    // its own rate and the renderer converts.
    PaStream* stream = nullptr;
    double rate = preferredSampleRate;
    PaError error = Pa_OpenStream(&stream, nullptr, &out, rate, bufferFrames_, paNoFlag,
                                  &PortAudioCallbacks::stream, this);
    if (error == paInvalidSampleRate && info->defaultSampleRate > 0.0 &&
        info->defaultSampleRate != preferredSampleRate) {
        rate = info->defaultSampleRate;
        error = Pa_OpenStream(&stream, nullptr, &out, rate, bufferFrames_, paNoFlag,
                              &PortAudioCallbacks::stream, this);
    }
    if (error != paNoError) {
        failure = "cannot open " + name + ": " + describe(error);
        return false;
    }
    outputLatencyNanos_ = 0;
    if (const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream); streamInfo != nullptr) {
        if (streamInfo->sampleRate > 0.0)
            rate = streamInfo->sampleRate;
        if (streamInfo->outputLatency > 0.0)
            outputLatencyNanos_ = std::llround(streamInfo->outputLatency * 1e9);
    }
    Pa_SetStreamFinishedCallback(stream, &PortAudioCallbacks::finished);
    // Small buffers drop out under load without it. PortAudio carries on with normal
    // scheduling when the system refuses; start() reports that.
    PaAlsa_EnableRealtimeScheduling(stream, 1);

    monoScratch_.assign(channels_ == 1 ? bufferFrames_ : 0, 0.0f);
    if (audio::AudioRenderer* renderer = renderer_.load())
        renderer->prepareToRender(rate, bufferFrames_);
    preparedFrames_.store(bufferFrames_);
    streamRate_.store(rate);
    stream_ = stream;
    streamUID_ = std::string(uid);
    return true;
}

void PortAudioDriver::stop() {
    if (stream_ == nullptr)
        return;
    const bool wasRunning = running_.exchange(false);
    Pa_StopStream(static_cast<PaStream*>(stream_));
    closeStream();
    if (audio::AudioRenderer* renderer = renderer_.load(); wasRunning && renderer != nullptr)
        renderer->renderingStopped();
}

void PortAudioDriver::closeStream() {
    Pa_CloseStream(static_cast<PaStream*>(stream_));
    stream_ = nullptr;
    streamUID_.clear();
    Pa_Terminate();
}

void PortAudioDriver::renderBlock(float** out, std::uint32_t frames, double dacTime) noexcept {
    if (!callbackThreadKnown_.load(std::memory_order_relaxed)) {
        callbackThread_ = pthread_self();
        callbackThreadKnown_.store(true, std::memory_order_release);
    }
    audio::AudioRenderer* renderer = renderer_.load(std::memory_order_acquire);
    const std::uint32_t block = preparedFrames_.load(std::memory_order_relaxed);
    if (!running_.load(std::memory_order_acquire) || renderer == nullptr || block == 0) {
        for (int c = 0; c < channels_; ++c)
            std::memset(out[c], 0, frames * sizeof(float));
        return;
    }
    // When this callback's first frame is heard, on the stream's clock, less the latency
    // behind it: when the period starts, free of the jitter of this thread's wake-up.
    const double rate = streamRate_.load(std::memory_order_relaxed);
    const std::int64_t dac = timing::streamTimeToMonotonicNow(dacTime);
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t n = std::min(block, frames - done);
        const std::int64_t start = dac != 0 && rate > 0.0
                                       ? dac - outputLatencyNanos_ + std::llround(done * 1e9 / rate)
                                       : 0;
        if (channels_ == 2) {
            audio::renderStereo(*renderer, out[0] + done, out[1] + done, n, start);
        } else {
            float* mono = out[0] + done;
            audio::renderStereo(*renderer, mono, monoScratch_.data(), n, start);
            for (std::uint32_t i = 0; i < n; ++i)
                mono[i] = 0.5f * (mono[i] + monoScratch_[i]);
        }
        done += n;
    }
}

void PortAudioDriver::streamFinished() noexcept {
    // The stream ended by itself (the device went away) or was stopped; whoever clears the
    // flag first tells the renderer.
    if (running_.exchange(false)) {
        if (audio::AudioRenderer* renderer = renderer_.load())
            renderer->renderingStopped();
    }
}

} // namespace tamborel::drivers
