#include "audio/Resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numeric>

#if defined(__x86_64__) || defined(__i386__)
#define TAMBOREL_X86 1
#endif

namespace tamborel::audio {

// The filter laid out for computing output frames a block at a time. Output frames are
// grouped in blocks of `blockFrames`, counted from the stream's first; each block reads one
// run of `width` input frames, and each of those input frames is multiplied by a column of
// coefficients, one for every frame of the block (zero where that frame's window does not
// reach). Columns are added in the same order for every block, so a frame's value never
// depends on where the input was cut into pieces. The blocks repeat their pattern every
// `period` output frames (see `RatePair`).
struct RateConverter::Filter {
    std::uint64_t up = 1; // output frames per `down` input frames
    std::uint64_t down = 1;
    std::uint32_t width = 0;       // the columns a block reads, a multiple of 4
    std::uint64_t periodInput = 0; // input frames a period advances by
    // For each block of a period, where its input starts, relative to the period's.
    std::vector<std::int64_t> starts;
    // Block after block, `width` columns of `blockFrames`; each column starts a cache line,
    // so that loading one never spans two.
    std::vector<float> storage;
    float* columns = nullptr;

    // The first input frame block `block` reads.
    std::int64_t blockInput(std::uint64_t block) const noexcept {
        const std::uint64_t kinds = starts.size();
        return static_cast<std::int64_t>(block / kinds * periodInput) + starts[block % kinds];
    }
};

namespace {

constexpr std::uint32_t blockFrames = RateConverter::blockFrames;

// Stopband attenuation at least, and so a passband ripple of at most 1e-5; the filter is
// then made a whole number of vector lengths long, and what that adds goes to attenuation.
constexpr double leastAttenuationDb = 100.0;
// The passband's edge as a fraction of the lower rate's Nyquist frequency: libsoxr's at its
// very high quality, so that both keep exactly the same band.
constexpr double passbandEdge = 0.9113;
constexpr std::uint64_t maxPhases = 1024;
constexpr std::uint32_t maxTaps = 1024;
// A pair whose blocks would take more coefficients than this goes to libsoxr.
constexpr std::uint64_t maxColumnsBytes = 8u << 20;
// Input frames taken in at most at once.
constexpr std::size_t historyFrames = 8192;

double besselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 100; ++k) {
        const double half = x / (2.0 * k);
        term *= half * half;
        sum += term;
        if (term < sum * 1e-17)
            break;
    }
    return sum;
}

struct RatePair {
    std::uint64_t up = 0;
    std::uint64_t down = 0;
    std::uint32_t taps = 0;
    double attenuation = 0.0; // dB
    std::uint64_t period = 0; // output frames after which the blocks repeat their pattern
    std::uint32_t width = 0;
};

// The ratio and length our filter needs for a pair, or none (up == 0) when it does not take it.
RatePair pairFor(double from, double to) {
    constexpr double lowest = 44100.0;
    constexpr double highest = 768000.0;
    if (!(from >= lowest && to >= lowest && from <= highest && to <= highest) || from == to ||
        from != std::floor(from) || to != std::floor(to))
        return {};
    const auto in = static_cast<std::uint64_t>(from);
    const auto out = static_cast<std::uint64_t>(to);
    const std::uint64_t common = std::gcd(in, out);
    RatePair pair{out / common, in / common};
    if (pair.up > maxPhases)
        return {};
    const double nyquist = std::min(from, to) / 2.0;
    // The transition band's width, in cycles per input frame.
    const double width = 2.0 * nyquist * (1.0 - passbandEdge) / from;
    const double length = std::ceil((leastAttenuationDb - 7.95) / (14.36 * width)) + 1.0;
    const auto taps = static_cast<std::uint32_t>(std::ceil(length / 16.0) * 16.0);
    if (taps > maxTaps)
        return {};
    pair.taps = taps;
    pair.attenuation = 14.36 * width * (taps - 1) + 7.95;
    pair.period = std::lcm(pair.up, std::uint64_t{blockFrames});
    // The widest block: its frames' windows spread over this many input frames.
    std::uint64_t widest = 0;
    for (std::uint64_t first = 0; first < pair.period; first += blockFrames)
        widest = std::max(widest, (first + blockFrames - 1) * pair.down / pair.up -
                                      first * pair.down / pair.up + taps);
    pair.width = static_cast<std::uint32_t>((widest + 3) / 4 * 4);
    if (pair.period / blockFrames * pair.width * blockFrames * sizeof(float) > maxColumnsBytes)
        return {};
    return pair;
}

std::shared_ptr<const RateConverter::Filter> design(double from, double to, const RatePair& pair) {
    // Cut off at the lower Nyquist frequency, midway through the transition band. Converting
    // up, that is the input's own Nyquist frequency, so an output frame that lands on an
    // input frame is that frame unchanged.
    const double cutoff = std::min(from, to) / 2.0 / from; // cycles per input frame
    const double beta = 0.1102 * (pair.attenuation - 8.7);
    const double window = besselI0(beta);
    const std::int64_t half = pair.taps / 2;
    std::vector<float> phases(pair.up * pair.taps);
    std::vector<double> phase(pair.taps);
    for (std::uint64_t p = 0; p < pair.up; ++p) {
        const double offset = static_cast<double>(p) / static_cast<double>(pair.up);
        double sum = 0.0;
        for (std::uint32_t j = 0; j < pair.taps; ++j) {
            // Distance from the output instant to input frame j of the window.
            const double x = offset + static_cast<double>(half - 1) - static_cast<double>(j);
            const double arg = 2.0 * cutoff * x;
            const double sinc = arg == 0.0 ? 1.0 : std::sin(M_PI * arg) / (M_PI * arg);
            const double r = x / static_cast<double>(half);
            const double taper = r * r >= 1.0 ? 0.0 : besselI0(beta * std::sqrt(1.0 - r * r));
            phase[j] = 2.0 * cutoff * sinc * taper / window;
            sum += phase[j];
        }
        // Every phase passes a constant level exactly.
        for (std::uint32_t j = 0; j < pair.taps; ++j)
            phases[p * pair.taps + j] = static_cast<float>(phase[j] / sum);
    }

    auto filter = std::make_shared<RateConverter::Filter>();
    filter->up = pair.up;
    filter->down = pair.down;
    filter->width = pair.width;
    filter->periodInput = pair.period * pair.down / pair.up;
    const std::uint64_t kinds = pair.period / blockFrames;
    filter->starts.resize(kinds);
    constexpr std::size_t line = 64 / sizeof(float);
    filter->storage.assign(kinds * pair.width * blockFrames + line, 0.0f);
    const auto address = reinterpret_cast<std::uintptr_t>(filter->storage.data());
    filter->columns = filter->storage.data() + (line - address / sizeof(float) % line) % line;
    for (std::uint64_t b = 0; b < kinds; ++b) {
        const std::uint64_t first = b * blockFrames;
        const std::int64_t start =
            static_cast<std::int64_t>(first * pair.down / pair.up) - half + 1;
        filter->starts[b] = start;
        float* block = filter->columns + b * pair.width * blockFrames;
        for (std::uint32_t lane = 0; lane < blockFrames; ++lane) {
            const std::uint64_t position = (first + lane) * pair.down;
            // Where this frame's window starts among the block's columns, and its phase.
            const std::int64_t column =
                static_cast<std::int64_t>(position / pair.up) - half + 1 - start;
            const float* taps = phases.data() + position % pair.up * pair.taps;
            for (std::uint32_t j = 0; j < pair.taps; ++j)
                block[static_cast<std::size_t>(column + j) * blockFrames + lane] = taps[j];
        }
    }
    return filter;
}

std::shared_ptr<const RateConverter::Filter> filterFor(double from, double to) {
    const RatePair pair = pairFor(from, to);
    if (pair.up == 0)
        return nullptr;
    struct Made {
        double from;
        double to;
        std::shared_ptr<const RateConverter::Filter> filter;
    };
    static std::mutex guard;
    static std::vector<Made> made;
    const std::lock_guard lock(guard);
    for (const Made& m : made)
        if (m.from == from && m.to == to)
            return m.filter;
    made.push_back({from, to, design(from, to, pair)});
    return made.back().filter;
}

// One block of output frames, each channel's into its own `blockFrames` floats: `width`
// columns of coefficients, each times one input frame. Four sums a channel, so that each
// waits on a quarter of the products; every frame's are added in the same order, in every
// block and whatever the vector width. Written once with the compiler's vectors and built
// for each instruction set, a vector's width of frames at a time, so that the sums stay in
// registers.
using Lanes4 = float __attribute__((vector_size(4 * sizeof(float))));
using Lanes8 = float __attribute__((vector_size(8 * sizeof(float))));
using Lanes16 = float __attribute__((vector_size(16 * sizeof(float))));

template <class Lanes, bool stereo>
__attribute__((always_inline)) inline void blockWith(const float* columns, std::uint32_t width,
                                                     const float* x, const float* y, float* left,
                                                     float* right) {
    constexpr std::uint32_t lanes = sizeof(Lanes) / sizeof(float);
    for (std::uint32_t lane = 0; lane < blockFrames; lane += lanes) {
        Lanes a0{}, a1{}, a2{}, a3{}, b0{}, b1{}, b2{}, b3{};
        for (std::uint32_t k = 0; k < width; k += 4) {
            const float* column = columns + k * blockFrames + lane;
            Lanes c0, c1, c2, c3;
            std::memcpy(&c0, column, sizeof c0);
            std::memcpy(&c1, column + blockFrames, sizeof c1);
            std::memcpy(&c2, column + 2 * blockFrames, sizeof c2);
            std::memcpy(&c3, column + 3 * blockFrames, sizeof c3);
            a0 += c0 * x[k];
            a1 += c1 * x[k + 1];
            a2 += c2 * x[k + 2];
            a3 += c3 * x[k + 3];
            if constexpr (stereo) {
                b0 += c0 * y[k];
                b1 += c1 * y[k + 1];
                b2 += c2 * y[k + 2];
                b3 += c3 * y[k + 3];
            }
        }
        const Lanes a = (a0 + a1) + (a2 + a3);
        std::memcpy(left + lane, &a, sizeof a);
        if constexpr (stereo) {
            const Lanes b = (b0 + b1) + (b2 + b3);
            std::memcpy(right + lane, &b, sizeof b);
        }
    }
}

using BlockFunction = void (*)(const float*, std::uint32_t, const float*, const float*, float*,
                               float*);

template <bool stereo>
void blockPortable(const float* c, std::uint32_t w, const float* x, const float* y, float* l,
                   float* r) {
    blockWith<Lanes4, stereo>(c, w, x, y, l, r);
}

#ifdef TAMBOREL_X86
template <bool stereo>
__attribute__((target("avx2,fma"))) void blockAvx2(const float* c, std::uint32_t w, const float* x,
                                                   const float* y, float* l, float* r) {
    blockWith<Lanes8, stereo>(c, w, x, y, l, r);
}

template <bool stereo>
__attribute__((target("avx512f,avx2,fma"))) void
blockAvx512(const float* c, std::uint32_t w, const float* x, const float* y, float* l, float* r) {
    blockWith<Lanes16, stereo>(c, w, x, y, l, r);
}
#endif

struct BlockFunctions {
    BlockFunction mono;
    BlockFunction stereo;
};

BlockFunctions chooseBlock() {
#ifdef TAMBOREL_X86
    __builtin_cpu_init(); // this runs among the static constructors
    if (__builtin_cpu_supports("avx512f"))
        return {blockAvx512<false>, blockAvx512<true>};
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return {blockAvx2<false>, blockAvx2<true>};
#endif
    return {blockPortable<false>, blockPortable<true>};
}

const BlockFunctions computeBlock = chooseBlock();

} // namespace

bool RateConverter::ownFilterTakes(double from, double to) {
    return pairFor(from, to).up != 0;
}

RateConverter::~RateConverter() {
    close();
}

namespace {

// Making a libsoxr converter at its very high quality builds its filters, which costs more
// than converting a quarter second: each thread keeps the ones it made and clears them for
// the next stream.
struct SoxrShelf {
    struct Kept {
        double from;
        double to;
        std::uint32_t channels;
        soxr_t converter;
    };
    std::vector<Kept> kept;
    ~SoxrShelf() {
        for (const Kept& k : kept)
            soxr_delete(k.converter);
    }
};
thread_local SoxrShelf shelf;
constexpr std::size_t shelfSize = 8;

soxr_t takeSoxr(double from, double to, std::uint32_t channels) {
    for (auto it = shelf.kept.begin(); it != shelf.kept.end(); ++it)
        if (it->from == from && it->to == to && it->channels == channels) {
            const soxr_t converter = it->converter;
            shelf.kept.erase(it);
            return converter;
        }
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_S);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_error_t failure = nullptr;
    const soxr_t converter = soxr_create(from, to, channels, &failure, &io, &quality, nullptr);
    if (converter != nullptr && failure != nullptr) {
        soxr_delete(converter);
        return nullptr;
    }
    return converter;
}

void putBack(soxr_t converter, double from, double to, std::uint32_t channels) noexcept {
    if (soxr_clear(converter) != nullptr || shelf.kept.size() >= shelfSize) {
        soxr_delete(converter);
        return;
    }
    try {
        shelf.kept.push_back({from, to, channels, converter});
    } catch (...) {
        soxr_delete(converter);
    }
}

} // namespace

bool RateConverter::open(double from, double to, std::uint32_t channels, std::uint64_t fromFrame) {
    close();
    if (channels < 1 || channels > 2)
        return false;
    from_ = from;
    to_ = to;
    channels_ = channels;
    filter_ = filterFor(from, to);
    inputStart_ = 0;
    if (!filter_) {
        soxr_ = takeSoxr(from, to, channels);
        return soxr_ != nullptr;
    }
    // The input of the block holding the first output frame starts here; before the stream
    // is silence.
    base_ = filter_->blockInput(fromFrame / blockFrames);
    inputStart_ = static_cast<std::uint64_t>(std::max<std::int64_t>(base_, 0));
    for (std::uint32_t c = 0; c < channels; ++c)
        history_[c].assign(static_cast<std::size_t>(static_cast<std::int64_t>(inputStart_) - base_),
                           0.0f);
    received_ = inputStart_;
    next_ = fromFrame;
    madeBlock_ = ~std::uint64_t{0};
    ended_ = false;
    return true;
}

void RateConverter::close() noexcept {
    if (soxr_ != nullptr)
        putBack(soxr_, from_, to_, channels_);
    soxr_ = nullptr;
    filter_ = nullptr;
}

std::uint64_t RateConverter::lastFrame() const noexcept {
    // Once the stream is out: its length at the new rate, rounded to the nearest frame, as
    // libsoxr ends it, so that a sample is as long as it was before (a voice's end decides
    // which voice a strike takes over).
    return ended_ ? (2 * received_ * filter_->up + filter_->down) / (2 * filter_->down)
                  : ~std::uint64_t{0};
}

bool RateConverter::process(const float* in, std::size_t frames, std::size_t& consumed,
                            float* const* out, std::size_t room, std::size_t& produced, bool last) {
    consumed = 0;
    produced = 0;
    if (soxr_ != nullptr) {
        // Split channels: libsoxr takes the array of channel pointers.
        const auto split = static_cast<soxr_out_t>(const_cast<float**>(out));
        const soxr_error_t failure =
            last ? soxr_process(soxr_, nullptr, 0, nullptr, split, room, &produced)
                 : soxr_process(soxr_, in, frames, &consumed, split, room, &produced);
        return failure == nullptr;
    }
    if (!filter_)
        return false;
    const Filter& f = *filter_;
    if (last && !ended_) {
        // The last blocks read past the stream: silence.
        ended_ = true;
        const std::uint64_t end = lastFrame();
        if (end > 0) {
            const std::int64_t reach = f.blockInput((end - 1) / blockFrames) + f.width;
            const std::int64_t held = base_ + std::ssize(history_[0]);
            for (std::uint32_t c = 0; c < channels_; ++c)
                history_[c].insert(
                    history_[c].end(),
                    static_cast<std::size_t>(std::max<std::int64_t>(reach - held, 0)), 0.0f);
        }
    }
    for (;;) {
        // Let go of the input no block needs any more.
        const std::int64_t needed = f.blockInput(next_ / blockFrames);
        // Moved down only once most of what is held is spent, so that moving costs little.
        if (needed > base_ && 2 * (needed - base_) >= std::ssize(history_[0])) {
            const auto drop = static_cast<std::size_t>(
                std::min<std::int64_t>(needed - base_, std::ssize(history_[0])));
            for (std::uint32_t c = 0; c < channels_; ++c)
                history_[c].erase(history_[c].begin(),
                                  history_[c].begin() + static_cast<std::ptrdiff_t>(drop));
            base_ += static_cast<std::int64_t>(drop);
        }
        if (!ended_ && consumed < frames) {
            // No more than the output there is room for needs, so that little is moved.
            const std::int64_t held = base_ + std::ssize(history_[0]);
            const std::int64_t wanted =
                f.blockInput((next_ + room - produced) / blockFrames) + f.width;
            const std::size_t take =
                std::min(frames - consumed,
                         static_cast<std::size_t>(std::clamp<std::int64_t>(
                             wanted - held, 0, static_cast<std::int64_t>(historyFrames))));
            const std::size_t start = history_[0].size();
            const float* source = in + consumed * channels_;
            history_[0].resize(start + take);
            if (channels_ == 2) {
                history_[1].resize(start + take);
                float* left = history_[0].data() + start;
                float* right = history_[1].data() + start;
                for (std::size_t i = 0; i < take; ++i) {
                    left[i] = source[2 * i];
                    right[i] = source[2 * i + 1];
                }
            } else {
                std::copy_n(source, take, history_[0].data() + start);
            }
            consumed += take;
            received_ += take;
        }
        float* const at[2] = {out[0] + produced, out[channels_ - 1] + produced};
        const std::size_t made = produce(at, room - produced);
        produced += made;
        if (made == 0 || produced == room)
            break;
    }
    return true;
}

std::size_t RateConverter::produce(float* const* out, std::size_t room) {
    const Filter& f = *filter_;
    const std::uint64_t last = lastFrame();
    const std::int64_t held = base_ + std::ssize(history_[0]);
    std::size_t count = 0;
    while (count < room && next_ < last) {
        const std::uint64_t block = next_ / blockFrames;
        if (block != madeBlock_) {
            // Every block is computed whole, from the same columns in the same order,
            // however the output is asked for.
            const std::int64_t start = f.blockInput(block);
            if (start + static_cast<std::int64_t>(f.width) > held)
                break;
            const float* columns = f.columns + block % f.starts.size() * f.width * blockFrames;
            const auto at = static_cast<std::size_t>(start - base_);
            if (channels_ == 2)
                computeBlock.stereo(columns, f.width, history_[0].data() + at,
                                    history_[1].data() + at, made_[0], made_[1]);
            else
                computeBlock.mono(columns, f.width, history_[0].data() + at, nullptr, made_[0],
                                  nullptr);
            madeBlock_ = block;
        }
        const auto within = static_cast<std::uint32_t>(next_ % blockFrames);
        const auto n = static_cast<std::uint32_t>(
            std::min<std::uint64_t>({blockFrames - within, room - count, last - next_}));
        for (std::uint32_t c = 0; c < channels_; ++c)
            std::copy_n(made_[c] + within, n, out[c] + count);
        count += n;
        next_ += n;
    }
    return count;
}

} // namespace tamborel::audio
