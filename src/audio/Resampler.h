#pragma once
// Sample-rate conversion for loading and streaming: turns a file's audio into the engine's
// rate, a piece at a time, so that any way of cutting the input into pieces gives exactly
// the same output. Not real-time: it allocates, and a converter of the other kind may be
// built on first use. Internal to the audio layer.
//
// The common pairs (whole rates of 44.1 kHz and above, such as 44.1 <-> 48 kHz or 96 ->
// 48 kHz) go through a polyphase windowed-sinc filter of our own: linear phase, flat to
// within 1e-5 up to 91% of the lower rate's Nyquist frequency (20.1 kHz at 44.1 kHz), and
// letting no image or alias of that band back into it. The filter is given the room up to
// the mirror of that edge (24 kHz at 44.1 kHz) to fall, so it needs half the taps of one
// that stops at the Nyquist frequency; what passes differently lies above 20 kHz. Every
// other pair goes through libsoxr at its very high quality.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

struct soxr;

namespace tamborel::audio {

class RateConverter {
public:
    RateConverter() = default;
    ~RateConverter();
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;

    // Ready to convert one stream of `channels` (1 or 2) interleaved channels, from output
    // frame `fromFrame` on when it can start there (see `skipped`); false when no converter
    // can be made for these rates.
    bool open(double from, double to, std::uint32_t channels, std::uint64_t fromFrame = 0);
    // Where the input must start, and the output frames passed over: our filter starts at
    // the asked frame with exactly the values it would have had after all those before, and
    // libsoxr starts at the beginning (its caller passes over what it did not ask for).
    std::uint64_t inputStart() const noexcept { return inputStart_; }
    std::uint64_t skipped() const noexcept { return filter_ ? next_ : 0; }
    void close() noexcept;
    bool isOpen() const noexcept { return soxr_ != nullptr || filter_ != nullptr; }
    // Takes interleaved input frames (`consumed` of them) and writes up to `room` output
    // frames (`produced`), each channel's to its own of `out`. Once every input frame is
    // taken, call with `last` to drain what the filter still holds; it produces nothing more
    // when the stream is out. False when the converter fails.
    bool process(const float* in, std::size_t frames, std::size_t& consumed, float* const* out,
                 std::size_t room, std::size_t& produced, bool last);
    // Whether our own filter converts this pair (rather than libsoxr).
    static bool ownFilterTakes(double from, double to);

    struct Filter;
    // Output frames our filter computes together.
    static constexpr std::uint32_t blockFrames = 16;

private:
    std::size_t produce(float* const* out, std::size_t room);
    std::uint64_t lastFrame() const noexcept;

    soxr* soxr_ = nullptr;
    double from_ = 0.0;
    double to_ = 0.0;
    std::uint32_t channels_ = 0;
    // Our filter's state: the input it still needs, from absolute frame `base_` on.
    std::shared_ptr<const Filter> filter_;
    // Grown without first zeroing what is written over at once.
    template <class T> struct Uninitialised : std::allocator<T> {
        template <class U> struct rebind { using other = Uninitialised<U>; };
        using std::allocator<T>::allocator;
        template <class U, class... Args> void construct(U* place, Args&&... args) {
            if constexpr (sizeof...(Args) == 0)
                ::new (static_cast<void*>(place)) U;
            else
                ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
        }
    };
    std::vector<float, Uninitialised<float>> history_[2];
    std::int64_t base_ = 0;
    std::uint64_t received_ = 0;
    std::uint64_t next_ = 0; // the next output frame
    // The block of output frames last computed, each channel's frames.
    std::uint64_t madeBlock_ = ~std::uint64_t{0};
    float made_[2][blockFrames] = {};
    std::uint64_t inputStart_ = 0;
    bool ended_ = false;
};

} // namespace tamborel::audio
