#pragma once
// Plays through a JACK server as a native client named "Tamborel" with two output ports,
// connected on start to the server's first two physical playback ports, whatever their
// names. On request it adds a pair per drum group (kick_L, kick_R … ride_R), or for a kit
// recorded on microphones a mono port per microphone output named after its microphone,
// and a pair for the click alone (click_L, click_R), left for the user to connect. The driver never
// starts a server; when the server goes away the client is dropped, the renderer is told that
// rendering stopped, and the next query or start connects again. It works the same with jackd and
// with PipeWire's libjack, whose differences (a shared quantum, buffer sizes that change a cycle
// late, only the plain shutdown callback) it hides.
//
// The process callback calls only the client hook's processCycle and the renderer; it
// allocates nothing, takes no lock and never blocks. It tells the renderer when each block
// starts by the server's cycle clock (timing/EventTime.h).

#include "audio/OutputGroups.h"
#include "drivers/AudioDriver.h"
#include "drivers/JackClientHook.h"

#include <jack/jack.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::drivers {

class JackDriver final : public AudioDriver {
public:
    // The one device a JACK client offers: the server it is connected to.
    static constexpr std::string_view deviceUID = "jack";

    struct Options {
        std::string clientName = "Tamborel";
        // None: whatever JACK picks itself ($JACK_DEFAULT_SERVER, else "default").
        std::optional<std::string> serverName;
    };

    JackDriver();
    explicit JackDriver(Options options);
    ~JackDriver() override;
    JackDriver(const JackDriver&) = delete;
    JackDriver& operator=(const JackDriver&) = delete;

    // Shares this driver's client with another part of the program (MIDI input). The hook
    // must outlive the driver or be replaced first; null removes it. If the client is
    // running it is briefly stopped so that the hook can register its callbacks.
    void setClientHook(JackClientHook* hook);

    // Whether the process runs PipeWire's libjack rather than jackd's.
    static bool pipeWireLibrary();
    // The name of the server this driver connects to ("PipeWire" for PipeWire's libjack,
    // which connects to the desktop's PipeWire whatever name it is given).
    std::string serverName() const;
    // Whether a server answers; keeps the client open when one does.
    bool serverReachable();

    void rescan() override {}
    std::vector<AudioDriverDevice> outputDevices() override;
    std::optional<std::string> defaultOutputDeviceUID() override;
    double nominalSampleRate(std::string_view uid) override;
    bool setBufferFrameSize(std::uint32_t frames, std::string_view uid) override;
    std::optional<std::uint32_t> outputLatencyFrames(std::string_view uid) override;
    std::optional<std::uint32_t> bufferFramesInForce(std::string_view uid) override;

    bool start(std::string_view uid, audio::AudioRenderer& renderer, std::string& failure) override;
    void stop() override;
    bool isRunning() const noexcept override { return running_.load(); }
    double streamSampleRate() const noexcept override { return preparedRate_.load(); }
    // Registered at once on an open client (and again whenever the client opens), removed
    // once the process thread has let go of them; the master plays on throughout, and the
    // connections made to the separate ports last as long as the ports. A port whose name
    // stays when the microphones change is kept, connections and all.
    bool setGroupOutputs(bool on) override;
    bool setMicrophoneOutputs(std::vector<audio::MicrophoneOutput> outputs) override;
    // Registered and removed as the ports above are.
    bool setClickOutputs(bool on) override;

private:
    bool ensureClient();
    void closeClient();
    bool activate(std::string& failure);
    void deactivate();
    void connectToPlayback();
    void renderCycle(jack_nframes_t frames) noexcept;
    void renderInto(float* const* channels, std::uint32_t channelCount, jack_nframes_t frames,
                    audio::OutputLayout layout, float* const* click) noexcept;
    void updateSeparatePorts();
    void updateClickPorts();
    void waitOutCycles();

    static int onProcess(jack_nframes_t frames, void* gate) noexcept;
    static int onBufferSize(jack_nframes_t frames, void* gate) noexcept;
    static void onInfoShutdown(jack_status_t code, const char* reason, void* gate) noexcept;
    static void onShutdown(void* gate) noexcept;

    // What the client's callbacks reach the driver through. A client lost with its server
    // cannot be closed, so its threads may still be in (or about to enter) a callback when
    // the driver lets go of it: closeClient() detaches the driver, waits out a callback in
    // flight, and leaves the gate behind with the client handle.
    struct CallbackGate {
        std::atomic<JackDriver*> driver;
        std::atomic<int> inside{0};
    };
    class GateEntry;

    Options options_;
    jack_client_t* client_ = nullptr;
    CallbackGate* gate_ = nullptr;
    jack_port_t* ports_[2] = {nullptr, nullptr};
    bool active_ = false;
    // The ports beside the master. Two tables take turns: the main thread fills the one no
    // cycle reads, points live_ at it, and clears the other once two cycles have ended since.
    static constexpr std::size_t maxSeparatePorts = std::max<std::size_t>(
        audio::allChannelCount - audio::masterChannelCount, audio::maxMicrophoneOutputs);
    struct PortTable {
        audio::OutputLayout layout = audio::OutputLayout::drums;
        std::uint32_t channels = 0; // after the master
        // Null: a microphone output no microphone is sent to, rendered into spare_.
        std::array<jack_port_t*, maxSeparatePorts> ports{};
        std::array<std::string, maxSeparatePorts> names{}; // read by the main thread only
    };
    bool separateWanted_ = false;
    std::vector<audio::MicrophoneOutput> microphoneOutputs_; // none: the drum groups' pairs
    std::array<PortTable, 2> tables_;
    std::atomic<PortTable*> live_{nullptr}; // null: the master alone
    std::vector<float> spare_;
    // The click's pair, set and cleared together: the cycle reads the right port first.
    bool clickWanted_ = false;
    std::atomic<jack_port_t*> clickLeft_{nullptr};
    std::atomic<jack_port_t*> clickRight_{nullptr};
    std::atomic<std::uint64_t> cycles_{0};

    std::atomic<JackClientHook*> hook_{nullptr};
    std::atomic<audio::AudioRenderer*> renderer_{nullptr};
    std::atomic<bool> running_{false};
    std::atomic<bool> lost_{false};
    std::atomic<std::uint32_t> preparedFrames_{0};
    std::atomic<double> preparedRate_{0.0};
    // The period the server runs at, as its callback and its cycles tell it.
    std::atomic<std::uint32_t> serverFrames_{0};
    // PipeWire: the desktop's quantum before this client first asked for another one.
    std::optional<std::uint32_t> desktopQuantum_;
};

} // namespace tamborel::drivers
