// MIDI packets as any device might send them, through the decoder and on into the hit router
// and a running voice engine, the way the receive path drives them. Whatever the bytes, every
// value is a 7-bit MIDI value, and the engine keeps producing finite sound. libFuzzer hands
// over exactly `size` bytes on the heap, so AddressSanitizer stops any read past the end.
#include "FuzzCheck.h"

#include "audio/AudioEngine.h"
#include "engine/HitRouter.h"
#include "engine/MidiDecoder.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

using namespace tamborel;

namespace {

constexpr std::uint32_t blockFrames = 64;

class RouterSink final : public engine::MidiEventSink {
public:
    explicit RouterSink(engine::HitRouter& router) : router_(router) {}

    void noteOn(int note, int velocity, int channel, timing::EventTime) noexcept override {
        FUZZ_CHECK(seven(note) && seven(velocity) && velocity >= 1 && channelOk(channel));
        router_.strike(note, velocity);
    }
    void noteOff(int note, int channel, timing::EventTime) noexcept override {
        FUZZ_CHECK(seven(note) && channelOk(channel));
    }
    void controlChange(int controller, int value, int channel,
                       timing::EventTime) noexcept override {
        FUZZ_CHECK(seven(controller) && seven(value) && channelOk(channel));
        router_.controlChange(controller, value);
    }
    void polyPressure(int note, int pressure, int channel, timing::EventTime) noexcept override {
        FUZZ_CHECK(seven(note) && seven(pressure) && channelOk(channel));
        router_.polyPressure(note, pressure);
    }

private:
    static bool seven(int value) { return value >= 0 && value <= 127; }
    static bool channelOk(int channel) { return channel >= 0 && channel <= 15; }
    engine::HitRouter& router_;
};

struct Rig {
    audio::AudioEngine engine;
    engine::HitRouter router{engine};
    RouterSink sink{router};
    std::vector<float> left = std::vector<float>(blockFrames);
    std::vector<float> right = std::vector<float>(blockFrames);

    Rig() {
        engine.prepareToRender(48000.0, blockFrames);
        engine.renderingStarted();
        for (PadRole role : allPadRoles) {
            auto buffer = audio::SampleBuffer::allocate({48000.0, 2}, 512);
            for (std::uint32_t c = 0; c < 2; ++c)
                std::fill_n(buffer->channel(c), 512, 0.25f);
            buffer->setFrameLength(512);
            engine.setSample(role, std::move(buffer));
        }
        router.setKit(DrumKit("Fuzz"));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    engine::decodePacket(std::span<const std::uint8_t>(data, size), rig.sink);
    audio::renderStereo(rig.engine, rig.left.data(), rig.right.data(), blockFrames);
    for (std::uint32_t i = 0; i < blockFrames; ++i)
        FUZZ_CHECK(std::isfinite(rig.left[i]) && std::isfinite(rig.right[i]));
    return 0;
}
