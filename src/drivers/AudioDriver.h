#pragma once
// One way of getting sound out of the machine (a JACK client, an ALSA stream). The device
// queries and start/stop are called from the main thread; a driver pulls audio from an
// audio::AudioRenderer on its own real-time thread and never calls anything else there.

#include "audio/AudioRenderer.h"
#include "audio/MicrophoneOutputs.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamborel::drivers {

// An output device as a driver knows it: a persistent uid and the name shown to the user.
struct AudioDriverDevice {
    std::string uid;
    std::string name;
    friend bool operator==(const AudioDriverDevice&, const AudioDriverDevice&) = default;
};

class AudioDriver {
public:
    virtual ~AudioDriver() = default;

    // Looks for devices again where that is costly enough to be done only on request.
    virtual void rescan() {}
    // The output devices the driver can play on right now, in the system's order.
    virtual std::vector<AudioDriverDevice> outputDevices() = 0;
    // The device this driver would pick when the user has not chosen one; none when it has
    // no device at all.
    virtual std::optional<std::string> defaultOutputDeviceUID() = 0;
    // The uid a saved uid stands for now: drivers whose uids changed form map the old form
    // to the present one.
    virtual std::string canonicalUID(std::string_view uid) { return std::string(uid); }
    // The rate the device runs at, in Hz; 0 when unknown.
    virtual double nominalSampleRate(std::string_view uid) = 0;
    // Asks the device for blocks of `frames` frames from now on (for a stream, from the next
    // start). False when the device is gone or refuses.
    virtual bool setBufferFrameSize(std::uint32_t frames, std::string_view uid) = 0;
    // The block size the device really runs at, where that can differ from the request (a
    // JACK server shared with other programs); none when the driver cannot tell, and the
    // request is then taken to be in force. Cheap: never connects to anything.
    virtual std::optional<std::uint32_t> bufferFramesInForce(std::string_view) { return {}; }
    // The device's own output latency in frames, beyond the buffer; none when unknown.
    virtual std::optional<std::uint32_t> outputLatencyFrames(std::string_view uid) = 0;

    // Starts pulling audio from `renderer` on the device. On failure returns false, leaves
    // the driver stopped and puts a short reason in `failure`.
    virtual bool start(std::string_view uid, audio::AudioRenderer& renderer,
                       std::string& failure) = 0;
    // Stops pulling audio; the renderer is told before this returns. Harmless when stopped.
    virtual void stop() = 0;
    // Whether render is being called. Turns false on its own when the device or the server
    // goes away. Any thread.
    virtual bool isRunning() const noexcept = 0;
    // The rate the renderer was last prepared at; 0 before the first start.
    virtual double streamSampleRate() const noexcept = 0;

    // Gives each drum group an output pair of its own beside the master (OutputGroups.h), or
    // takes them away, without interrupting the master. False for a driver that cannot.
    virtual bool setGroupOutputs(bool) { return false; }
    // What those outputs carry: given a kit's microphone outputs, one mono output each, named
    // after its microphone (OutputLayout::microphones), in place of the drum groups' pairs;
    // given none, the pairs again. False for a driver that cannot.
    virtual bool setMicrophoneOutputs(std::vector<audio::MicrophoneOutput>) { return false; }
    // Gives the click a pair of its own beside the master (AudioBlock's click pair), or takes
    // it away, without interrupting the master. False for a driver that cannot.
    virtual bool setClickOutputs(bool) { return false; }
};

} // namespace tamborel::drivers
