#include "drivers/JackDriver.h"

#include "timing/EventTime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace tamborel::drivers {

namespace {

// libjack prints a paragraph to stderr every time it looks for a server that is not there,
// which happens on every device query while JACK is not running. The program's log stays
// reserved for its own few lines.
void quietJackLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
    });
}

// The gates of clients lost with their servers: a late callback of such a client may still
// come through one, so they are kept for the life of the process, a few bytes per loss.
void abandonGate(void* gate) {
    static std::mutex mutex;
    static auto* abandoned = new std::vector<void*>;
    const std::lock_guard lock(mutex);
    abandoned->push_back(gate);
}

// JACK refuses periods above this size.
constexpr std::uint32_t maxJackBufferFrames = 8192;

void silence(float* buffer, std::uint32_t frames) noexcept {
    std::memset(buffer, 0, frames * sizeof(float));
}

// A microphone's name as a port's: no colon (it parts client from port in a full name) and
// no control characters, at most 64 bytes, never empty.
std::string portNameOf(std::string_view microphone, std::uint32_t index) {
    constexpr std::size_t longest = 64;
    std::string name;
    for (const char c : microphone)
        name += c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '_' : c;
    if (name.size() > longest) {
        std::size_t cut = longest;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut; // not inside a character
        name.resize(cut);
    }
    if (name.find_first_not_of(' ') == std::string::npos)
        name = "mic_" + std::to_string(index + 1);
    return name;
}

} // namespace

// Holds a callback inside the gate for as long as it runs. Two atomic operations each way,
// nothing that can block.
class JackDriver::GateEntry {
public:
    explicit GateEntry(void* gate) noexcept : gate_(*static_cast<CallbackGate*>(gate)) {
        gate_.inside.fetch_add(1);
        driver_ = gate_.driver.load();
    }
    ~GateEntry() { gate_.inside.fetch_sub(1); }
    GateEntry(const GateEntry&) = delete;
    GateEntry& operator=(const GateEntry&) = delete;
    JackDriver* driver() const noexcept { return driver_; }

private:
    CallbackGate& gate_;
    JackDriver* driver_ = nullptr;
};

JackDriver::JackDriver() : JackDriver(Options{}) {}

JackDriver::JackDriver(Options options)
    : options_(std::move(options)), spare_(maxJackBufferFrames) {
    quietJackLibrary();
}

JackDriver::~JackDriver() {
    closeClient();
}

bool JackDriver::pipeWireLibrary() {
    // PipeWire's libjack says so in its version ("3.0.0.0 (using PipeWire 0.3.65)").
    static const bool pipeWire = [] {
        const char* version = jack_get_version_string();
        return version != nullptr && std::strstr(version, "PipeWire") != nullptr;
    }();
    return pipeWire;
}

std::string JackDriver::serverName() const {
    if (pipeWireLibrary())
        return "PipeWire";
    if (options_.serverName)
        return *options_.serverName;
    if (const char* env = std::getenv("JACK_DEFAULT_SERVER"); env != nullptr && *env != '\0')
        return env;
    return "default";
}

void JackDriver::setClientHook(JackClientHook* hook) {
    if (hook == hook_.load())
        return;
    audio::AudioRenderer* renderer = renderer_.load();
    const bool wasRunning = running_.load() && !lost_.load();
    // JACK accepts callbacks only on an inactive client, so the hook gets the client the
    // way it would at a fresh start.
    if (active_)
        stop();
    if (JackClientHook* old = hook_.load(); old != nullptr && client_ != nullptr)
        old->clientClosed();
    hook_.store(hook);
    if (hook != nullptr && client_ != nullptr && !lost_.load())
        hook->clientOpened(client_);
    if (wasRunning && renderer != nullptr) {
        std::string ignored;
        start(deviceUID, *renderer, ignored);
    }
}

bool JackDriver::serverReachable() {
    return ensureClient();
}

bool JackDriver::ensureClient() {
    if (lost_.load())
        closeClient();
    if (client_ != nullptr)
        return true;

    jack_status_t status{};
    if (options_.serverName) {
        const auto opts = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
        client_ = jack_client_open(options_.clientName.c_str(), opts, &status,
                                   options_.serverName->c_str());
    } else {
        client_ = jack_client_open(options_.clientName.c_str(), JackNoStartServer, &status);
    }
    if (client_ == nullptr)
        return false;

    gate_ = new CallbackGate{this};
    jack_set_process_callback(client_, &JackDriver::onProcess, gate_);
    jack_set_buffer_size_callback(client_, &JackDriver::onBufferSize, gate_);
    // jackd calls the info variant, PipeWire only the plain one.
    jack_on_info_shutdown(client_, &JackDriver::onInfoShutdown, gate_);
    jack_on_shutdown(client_, &JackDriver::onShutdown, gate_);
    serverFrames_.store(jack_get_buffer_size(client_));
    ports_[0] = jack_port_register(client_, "out_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    ports_[1] = jack_port_register(client_, "out_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (ports_[0] == nullptr || ports_[1] == nullptr) {
        jack_client_close(client_);
        client_ = nullptr;
        delete gate_;
        gate_ = nullptr;
        ports_[0] = ports_[1] = nullptr;
        return false;
    }
    updateSeparatePorts();
    updateClickPorts();
    if (JackClientHook* hook = hook_.load())
        hook->clientOpened(client_);
    return true;
}

bool JackDriver::setGroupOutputs(bool on) {
    separateWanted_ = on;
    updateSeparatePorts();
    return true;
}

bool JackDriver::setMicrophoneOutputs(std::vector<audio::MicrophoneOutput> outputs) {
    microphoneOutputs_ = std::move(outputs);
    updateSeparatePorts();
    return true;
}

bool JackDriver::setClickOutputs(bool on) {
    clickWanted_ = on;
    updateClickPorts();
    return true;
}

void JackDriver::updateClickPorts() {
    if (client_ == nullptr || lost_.load() || clickWanted_ == (clickLeft_.load() != nullptr))
        return;
    if (clickWanted_) {
        jack_port_t* right =
            jack_port_register(client_, "click_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        jack_port_t* left =
            jack_port_register(client_, "click_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        if (left == nullptr || right == nullptr) { // the click stays in the master
            for (jack_port_t* port : {left, right})
                if (port != nullptr)
                    jack_port_unregister(client_, port);
            return;
        }
        clickRight_.store(right, std::memory_order_release);
        clickLeft_.store(left, std::memory_order_release);
        return;
    }
    jack_port_t* left = clickLeft_.exchange(nullptr);
    waitOutCycles();
    jack_port_t* right = clickRight_.exchange(nullptr);
    jack_port_unregister(client_, left);
    jack_port_unregister(client_, right);
}

// Gives the client the ports now wanted beside the master, by their names: the drums'
// pairs, the microphone outputs' ports, or none.
void JackDriver::updateSeparatePorts() {
    if (client_ == nullptr || lost_.load())
        return;
    PortTable* const current = live_.load();
    PortTable& next = current == &tables_[0] ? tables_[1] : tables_[0];
    next = PortTable{};
    if (separateWanted_ && microphoneOutputs_.empty()) {
        for (audio::OutputGroup group : audio::allOutputGroups)
            for (const char* side : {"_L", "_R"})
                next.names[next.channels++] = std::string(audio::outputGroupName(group)) + side;
    } else if (separateWanted_) {
        next.layout = audio::OutputLayout::microphones;
        std::set<std::string> taken{"out_1", "out_2"};
        for (const audio::MicrophoneOutput& output : microphoneOutputs_) {
            if (output.index >= audio::maxMicrophoneOutputs)
                continue;
            const std::string name = portNameOf(output.name, output.index);
            std::string unique = name;
            for (int n = 2; !taken.insert(unique).second; ++n)
                unique = name + " " + std::to_string(n);
            next.names[output.index] = unique;
            next.channels = std::max(next.channels, output.index + 1);
        }
    }
    if (current != nullptr ? current->layout == next.layout && current->names == next.names
                           : next.channels == 0)
        return;

    // Ports of the same name go on as they are; the others are registered. Should JACK refuse
    // one, the master plays alone.
    bool registered = true;
    for (std::uint32_t i = 0; i < next.channels && registered; ++i) {
        const std::string& name = next.names[i];
        if (name.empty())
            continue;
        if (current != nullptr) {
            const auto same = std::find(current->names.begin(), current->names.end(), name);
            if (same != current->names.end())
                next.ports[i] =
                    current->ports[static_cast<std::size_t>(same - current->names.begin())];
        }
        if (next.ports[i] == nullptr)
            next.ports[i] = jack_port_register(client_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                               JackPortIsOutput, 0);
        registered = next.ports[i] != nullptr;
    }
    const auto ownedBy = [](const PortTable* table, jack_port_t* port) {
        return table != nullptr &&
               std::find(table->ports.begin(), table->ports.end(), port) != table->ports.end();
    };
    if (!registered) {
        for (jack_port_t* port : next.ports)
            if (port != nullptr && !ownedBy(current, port))
                jack_port_unregister(client_, port);
        next = PortTable{};
    }
    live_.store(next.channels > 0 ? &next : nullptr, std::memory_order_release);
    if (current == nullptr)
        return;
    waitOutCycles();
    for (jack_port_t* port : current->ports)
        if (port != nullptr && !ownedBy(&next, port) && !lost_.load()) // a lost server took them
            jack_port_unregister(client_, port);
    *current = PortTable{};
}

void JackDriver::waitOutCycles() {
    // A cycle that began before the switch may still write to the old ports: let two more
    // begin and end. Cycles never block, so this waits a period or two.
    if (!active_ || lost_.load())
        return;
    const std::uint64_t seen = cycles_.load(std::memory_order_acquire);
    for (int waited = 0; cycles_.load(std::memory_order_acquire) < seen + 2 && waited < 500;
         ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void JackDriver::closeClient() {
    if (client_ == nullptr)
        return;
    // A client whose server died must not be deactivated, only closed.
    if (active_ && !lost_.load())
        deactivate();
    active_ = false;
    if (JackClientHook* hook = hook_.load())
        hook->clientClosed();
    const bool wasRunning = running_.exchange(false);
    // Closing a client whose server died crashes inside libjack once PortAudio has opened
    // and closed its own JACK client in this process (it does on every device scan). Its
    // handle is left behind instead, and since nothing then joins its threads, the driver is
    // detached from their callbacks first.
    if (lost_.load()) {
        gate_->driver.store(nullptr);
        // Our callbacks never block, so this lasts at most one render cycle; the bound only
        // makes sure a stop can never hang on a library thread.
        for (int waited = 0; gate_->inside.load() != 0 && waited < 1000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        abandonGate(gate_);
    } else {
        jack_client_close(client_);
        delete gate_;
    }
    gate_ = nullptr;
    client_ = nullptr;
    ports_[0] = ports_[1] = nullptr;
    live_.store(nullptr);
    tables_.fill(PortTable{}); // the ports went with the client
    clickLeft_.store(nullptr);
    clickRight_.store(nullptr);
    serverFrames_.store(0);
    desktopQuantum_.reset();
    lost_.store(false);
    if (audio::AudioRenderer* renderer = renderer_.load(); wasRunning && renderer != nullptr)
        renderer->renderingStopped();
}

std::vector<AudioDriverDevice> JackDriver::outputDevices() {
    if (!ensureClient())
        return {};
    return {AudioDriverDevice{std::string(deviceUID), "JACK (" + serverName() + ")"}};
}

std::optional<std::string> JackDriver::defaultOutputDeviceUID() {
    if (!ensureClient())
        return std::nullopt;
    return std::string(deviceUID);
}

double JackDriver::nominalSampleRate(std::string_view uid) {
    if (uid != deviceUID || !ensureClient())
        return 0.0;
    return static_cast<double>(jack_get_sample_rate(client_));
}

bool JackDriver::setBufferFrameSize(std::uint32_t frames, std::string_view uid) {
    if (uid != deviceUID || frames == 0 || frames > maxJackBufferFrames || !ensureClient())
        return false;
    if (pipeWireLibrary()) {
        // PipeWire makes the request the quantum of the whole desktop's graph, every other
        // program's included, and applies it a cycle or so later. A lower latency is the
        // drummer's to choose; raising a quantum that the desktop runs at is not.
        const std::uint32_t inForce = serverFrames_.load();
        if (!desktopQuantum_)
            desktopQuantum_ = inForce;
        frames = std::min(frames, *desktopQuantum_);
        return frames == inForce || jack_set_buffer_size(client_, frames) == 0;
    }
    if (jack_get_buffer_size(client_) == frames)
        return true;
    if (jack_set_buffer_size(client_, frames) != 0)
        return false;
    serverFrames_.store(jack_get_buffer_size(client_));
    return true;
}

std::optional<std::uint32_t> JackDriver::bufferFramesInForce(std::string_view uid) {
    const std::uint32_t frames = serverFrames_.load();
    if (uid != deviceUID || client_ == nullptr || frames == 0)
        return std::nullopt;
    return frames;
}

std::optional<std::uint32_t> JackDriver::outputLatencyFrames(std::string_view uid) {
    if (uid != deviceUID || !ensureClient())
        return std::nullopt;
    // Our own port only knows its latency once it is connected; the playback port it is
    // (or will be) connected to knows it all along.
    jack_latency_range_t range{};
    jack_port_get_latency_range(ports_[0], JackPlaybackLatency, &range);
    std::uint32_t latency = range.max;
    if (const char** physical = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                               JackPortIsPhysical | JackPortIsInput)) {
        if (jack_port_t* port = jack_port_by_name(client_, physical[0])) {
            jack_port_get_latency_range(port, JackPlaybackLatency, &range);
            latency = std::max(latency, range.max);
        }
        jack_free(physical);
    }
    return latency;
}

bool JackDriver::start(std::string_view uid, audio::AudioRenderer& renderer, std::string& failure) {
    if (uid != deviceUID) {
        failure = "no JACK device with uid " + std::string(uid);
        return false;
    }
    if (lost_.load())
        closeClient();
    if (running_.load())
        return true;
    if (!ensureClient()) {
        failure = "JACK server \"" + serverName() + "\" is not running";
        return false;
    }

    // The period read now may change a moment after activation (PipeWire applies a pending
    // request then); each cycle prepares the renderer again for its own size if it must.
    const double rate = jack_get_sample_rate(client_);
    const std::uint32_t frames = jack_get_buffer_size(client_);
    renderer_.store(&renderer);
    renderer.prepareToRender(rate, frames);
    preparedRate_.store(rate);
    preparedFrames_.store(frames);

    if (!activate(failure))
        return false;

    renderer.renderingStarted();
    running_.store(true);
    // The server may have vanished while we were starting; whoever clears the flag first
    // tells the renderer.
    if (lost_.load()) {
        if (running_.exchange(false))
            renderer.renderingStopped();
        failure = "JACK server \"" + serverName() + "\" went away";
        return false;
    }
    return true;
}

bool JackDriver::activate(std::string& failure) {
    if (jack_activate(client_) != 0) {
        failure = "JACK refused to activate the client";
        return false;
    }
    active_ = true;
    if (JackClientHook* hook = hook_.load())
        hook->clientActivated(client_);
    connectToPlayback();
    return true;
}

void JackDriver::connectToPlayback() {
    const char** physical = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    if (physical == nullptr)
        return;
    // A mono playback device gets both channels.
    const char* left = physical[0];
    const char* right = physical[1] != nullptr ? physical[1] : physical[0];
    jack_connect(client_, jack_port_name(ports_[0]), left);
    jack_connect(client_, jack_port_name(ports_[1]), right);
    jack_free(physical);
}

void JackDriver::deactivate() {
    if (!active_)
        return;
    jack_deactivate(client_);
    active_ = false;
    if (JackClientHook* hook = hook_.load())
        hook->clientDeactivated();
}

void JackDriver::stop() {
    if (lost_.load()) {
        closeClient();
        return;
    }
    if (client_ == nullptr || !active_)
        return;
    // Silence first, so the last cycles before deactivation no longer reach the renderer.
    const bool wasRunning = running_.exchange(false);
    deactivate();
    if (audio::AudioRenderer* renderer = renderer_.load(); wasRunning && renderer != nullptr)
        renderer->renderingStopped();
}

int JackDriver::onProcess(jack_nframes_t frames, void* gate) noexcept {
    const GateEntry entry(gate);
    if (JackDriver* driver = entry.driver())
        driver->renderCycle(frames);
    return 0;
}

void JackDriver::renderCycle(jack_nframes_t frames) noexcept {
    if (JackClientHook* hook = hook_.load(std::memory_order_acquire))
        hook->processCycle(frames);

    std::array<float*, audio::masterChannelCount + maxSeparatePorts> channels{};
    channels[0] = static_cast<float*>(jack_port_get_buffer(ports_[0], frames));
    channels[1] = static_cast<float*>(jack_port_get_buffer(ports_[1], frames));
    std::uint32_t channelCount = audio::masterChannelCount;
    audio::OutputLayout layout = audio::OutputLayout::drums;
    if (const PortTable* table = live_.load(std::memory_order_acquire)) {
        // An output no microphone is sent to is rendered into the spare channel, which holds
        // any period JACK allows.
        const bool fits = frames <= spare_.size();
        for (std::uint32_t i = 0; i < table->channels; ++i) {
            jack_port_t* port = table->ports[i];
            auto* buffer = port != nullptr ? static_cast<float*>(jack_port_get_buffer(port, frames))
                                           : spare_.data();
            channels[audio::masterChannelCount + i] = buffer;
            if (!fits && port != nullptr)
                silence(buffer, frames);
        }
        if (fits) {
            channelCount += table->channels;
            layout = table->layout;
        }
    }
    // The left port is published last and taken away first: with it, the right is there.
    float* click[2] = {nullptr, nullptr};
    if (jack_port_t* left = clickLeft_.load(std::memory_order_acquire)) {
        click[0] = static_cast<float*>(jack_port_get_buffer(left, frames));
        click[1] = static_cast<float*>(
            jack_port_get_buffer(clickRight_.load(std::memory_order_acquire), frames));
    }
    renderInto(channels.data(), channelCount, frames, layout, click);
    cycles_.fetch_add(1, std::memory_order_release);
}

void JackDriver::renderInto(float* const* channels, std::uint32_t channelCount,
                            jack_nframes_t frames, audio::OutputLayout layout,
                            float* const* click) noexcept {
    if (serverFrames_.load(std::memory_order_relaxed) != frames)
        serverFrames_.store(frames, std::memory_order_relaxed);
    audio::AudioRenderer* renderer = renderer_.load(std::memory_order_acquire);
    if (!running_.load(std::memory_order_acquire) || renderer == nullptr) {
        for (std::uint32_t c = 0; c < channelCount; ++c)
            silence(channels[c], frames);
        for (int side = 0; side < 2; ++side)
            if (click[side] != nullptr)
                silence(click[side], frames);
        return;
    }
    // When the cycle began by the server's smoothed clock, free of this thread's wake-up
    // jitter: the time line for hits the ALSA sequencer stamped.
    std::int64_t cycleStart = 0;
    jack_nframes_t cycleFrames = 0;
    jack_time_t cycleMicros = 0;
    jack_time_t nextMicros = 0;
    float periodMicros = 0.0f;
    if (jack_get_cycle_times(client_, &cycleFrames, &cycleMicros, &nextMicros, &periodMicros) == 0)
        cycleStart = timing::streamTimeToMonotonicNow(static_cast<double>(cycleMicros) * 1e-6);
    // The whole cycle goes to the renderer in one block, so that an event keeps its frame in
    // the cycle. A period that changed without the buffer-size callback reaching a running
    // driver (PipeWire's can land between activation and start) is caught up with here; at
    // an unchanged rate, preparing only records the size.
    if (preparedFrames_.load(std::memory_order_relaxed) != frames) {
        renderer->prepareToRender(preparedRate_.load(std::memory_order_relaxed), frames);
        preparedFrames_.store(frames, std::memory_order_relaxed);
    }
    renderer->render({channels, channelCount, frames, cycleStart, layout, click[0], click[1]});
}

int JackDriver::onBufferSize(jack_nframes_t frames, void* gate) noexcept {
    // Only noted here: the renderer is prepared by the first cycle of the new size, which
    // also covers a change that arrives while the driver is still starting.
    const GateEntry entry(gate);
    if (JackDriver* driver = entry.driver())
        driver->serverFrames_.store(frames);
    return 0;
}

void JackDriver::onInfoShutdown(jack_status_t, const char*, void* gate) noexcept {
    onShutdown(gate);
}

void JackDriver::onShutdown(void* gate) noexcept {
    const GateEntry entry(gate);
    JackDriver* driver = entry.driver();
    if (driver == nullptr)
        return;
    driver->lost_.store(true);
    if (driver->running_.exchange(false)) {
        if (audio::AudioRenderer* renderer = driver->renderer_.load())
            renderer->renderingStopped();
    }
}

} // namespace tamborel::drivers
