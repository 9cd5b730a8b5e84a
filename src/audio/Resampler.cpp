#include "audio/Resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numeric>

#if defined(__x86_64__) || defined(__i386__)
// GCC 12's AVX-512 headers trip its own uninitialised-value warning (their "undefined"
// vectors); the values are never read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#define TAMBOREL_X86 1
#endif

namespace tamborel::audio {

struct RateConverter::Filter {
    std::uint64_t up = 1; // output frames per `down` input frames; also the phase count
    std::uint64_t down = 1;
    std::uint32_t taps = 0;          // a multiple of 16
    std::vector<float> coefficients; // phase after phase, `taps` each
};

namespace {

// Stopband attenuation at least, and so a passband ripple of at most 1e-5; the filter is
// then made a whole number of vector lengths long, and what that adds goes to attenuation.
constexpr double leastAttenuationDb = 100.0;
// The passband's edge as a fraction of the lower rate's Nyquist frequency: libsoxr's at its
// very high quality, so that both keep exactly the same band.
constexpr double passbandEdge = 0.9113;
constexpr std::uint64_t maxPhases = 1024;
constexpr std::uint32_t maxTaps = 1024;
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
    RatePair pair{out / common, in / common, 0};
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
    return pair;
}

std::shared_ptr<const RateConverter::Filter> design(double from, double to, const RatePair& pair) {
    auto filter = std::make_shared<RateConverter::Filter>();
    filter->up = pair.up;
    filter->down = pair.down;
    filter->taps = pair.taps;
    filter->coefficients.resize(pair.up * pair.taps);
    // Cut off at the lower Nyquist frequency, midway through the transition band. Converting
    // up, that is the input's own Nyquist frequency, so an output frame that lands on an
    // input frame is that frame unchanged.
    const double cutoff = std::min(from, to) / 2.0 / from; // cycles per input frame
    const double beta = 0.1102 * (pair.attenuation - 8.7);
    const double window = besselI0(beta);
    const int half = static_cast<int>(pair.taps / 2);
    std::vector<double> phase(pair.taps);
    for (std::uint64_t p = 0; p < pair.up; ++p) {
        const double offset = static_cast<double>(p) / static_cast<double>(pair.up);
        double sum = 0.0;
        for (std::uint32_t j = 0; j < pair.taps; ++j) {
            // Distance from the output instant to input frame j of the window.
            const double x = offset + half - 1 - static_cast<double>(j);
            const double arg = 2.0 * cutoff * x;
            const double sinc = arg == 0.0 ? 1.0 : std::sin(M_PI * arg) / (M_PI * arg);
            const double r = x / half;
            const double taper = r * r >= 1.0 ? 0.0 : besselI0(beta * std::sqrt(1.0 - r * r));
            phase[j] = 2.0 * cutoff * sinc * taper / window;
            sum += phase[j];
        }
        // Every phase passes a constant level exactly.
        for (std::uint32_t j = 0; j < pair.taps; ++j)
            filter->coefficients[p * pair.taps + j] = static_cast<float>(phase[j] / sum);
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

// One run of output frames: from frame `next`, up to `room` of them, while the window of
// the next one lies within the history [base, end) and the frame comes before `last`.
struct Run {
    const RateConverter::Filter* filter;
    const float* history[2];
    std::int64_t base;
    std::int64_t end;
    std::uint64_t next;
    std::uint64_t last;
    float* out;
    std::size_t room;
    std::uint32_t channels;
};

// Each way of computing a run adds every frame's products in the same order, so a frame's
// value never depends on where the input was cut into pieces.
template <class Dot>
__attribute__((always_inline)) inline std::size_t runWith(const Run& run, Dot dot) {
    const RateConverter::Filter& f = *run.filter;
    const std::int64_t half = f.taps / 2;
    const std::uint64_t position = run.next * f.down;
    auto frame = static_cast<std::int64_t>(position / f.up);
    std::uint64_t phase = position % f.up;
    const auto stride = static_cast<std::int64_t>(f.down / f.up);
    const std::uint64_t step = f.down % f.up;
    std::size_t count = 0;
    const std::uint64_t stop = std::min<std::uint64_t>(run.last - run.next, run.room);
    while (count < stop) {
        const std::int64_t first = frame - half + 1;
        if (first + static_cast<std::int64_t>(f.taps) > run.end)
            break;
        const float* c = f.coefficients.data() + phase * f.taps;
        const std::size_t at = static_cast<std::size_t>(first - run.base);
        float* out = run.out + count * run.channels;
        if (run.channels == 2)
            dot.pair(c, run.history[0] + at, run.history[1] + at, f.taps, out);
        else
            out[0] = dot.one(c, run.history[0] + at, f.taps);
        ++count;
        frame += stride;
        phase += step;
        if (phase >= f.up) {
            phase -= f.up;
            ++frame;
        }
    }
    return count;
}

struct PortableDot {
    using Lanes = float __attribute__((vector_size(16)));
    static Lanes load(const float* p) {
        Lanes v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static float sum(Lanes a, Lanes b, Lanes c, Lanes d) {
        const Lanes s = (a + b) + (c + d);
        return (s[0] + s[1]) + (s[2] + s[3]);
    }
    float one(const float* c, const float* x, std::uint32_t taps) const {
        Lanes s[4] = {};
        for (std::uint32_t i = 0; i < taps; i += 16)
            for (std::uint32_t k = 0; k < 4; ++k)
                s[k] += load(c + i + 4 * k) * load(x + i + 4 * k);
        return sum(s[0], s[1], s[2], s[3]);
    }
    void pair(const float* c, const float* x, const float* y, std::uint32_t taps,
              float* out) const {
        out[0] = one(c, x, taps);
        out[1] = one(c, y, taps);
    }
};

std::size_t runPortable(const Run& run) {
    return runWith(run, PortableDot{});
}

#ifdef TAMBOREL_X86
struct Avx2Dot {
    __attribute__((target("avx2,fma"))) static float sum(__m256 s) {
        __m128 h = _mm_add_ps(_mm256_castps256_ps128(s), _mm256_extractf128_ps(s, 1));
        h = _mm_add_ps(h, _mm_movehl_ps(h, h));
        h = _mm_add_ss(h, _mm_shuffle_ps(h, h, 1));
        return _mm_cvtss_f32(h);
    }
    // Both channels' sums at once, stored side by side as the output frame.
    __attribute__((target("avx2,fma"))) static void sumPair(__m256 x, __m256 y, float* out) {
        const __m256 pairs = _mm256_hadd_ps(x, y); // x01 x23 y01 y23 | x45 x67 y45 y67
        const __m128 halves =
            _mm_add_ps(_mm256_castps256_ps128(pairs), _mm256_extractf128_ps(pairs, 1));
        const __m128 sums = _mm_hadd_ps(halves, halves); // x y x y
        _mm_storel_pi(reinterpret_cast<__m64*>(out), sums);
    }
    __attribute__((target("avx2,fma"))) float one(const float* c, const float* x,
                                                  std::uint32_t taps) const {
        __m256 s0 = _mm256_setzero_ps();
        __m256 s1 = _mm256_setzero_ps();
        for (std::uint32_t i = 0; i < taps; i += 16) {
            s0 = _mm256_fmadd_ps(_mm256_loadu_ps(c + i), _mm256_loadu_ps(x + i), s0);
            s1 = _mm256_fmadd_ps(_mm256_loadu_ps(c + i + 8), _mm256_loadu_ps(x + i + 8), s1);
        }
        return sum(_mm256_add_ps(s0, s1));
    }
    __attribute__((target("avx2,fma"))) void pair(const float* c, const float* x, const float* y,
                                                  std::uint32_t taps, float* out) const {
        __m256 x0 = _mm256_setzero_ps();
        __m256 x1 = _mm256_setzero_ps();
        __m256 y0 = _mm256_setzero_ps();
        __m256 y1 = _mm256_setzero_ps();
        for (std::uint32_t i = 0; i < taps; i += 16) {
            const __m256 c0 = _mm256_loadu_ps(c + i);
            const __m256 c1 = _mm256_loadu_ps(c + i + 8);
            x0 = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x + i), x0);
            x1 = _mm256_fmadd_ps(c1, _mm256_loadu_ps(x + i + 8), x1);
            y0 = _mm256_fmadd_ps(c0, _mm256_loadu_ps(y + i), y0);
            y1 = _mm256_fmadd_ps(c1, _mm256_loadu_ps(y + i + 8), y1);
        }
        sumPair(_mm256_add_ps(x0, x1), _mm256_add_ps(y0, y1), out);
    }
};

__attribute__((target("avx2,fma"))) std::size_t runAvx2(const Run& run) {
    return runWith(run, Avx2Dot{});
}

struct Avx512Dot {
    __attribute__((target("avx512f,avx2,fma"))) static __m256 halve(__m512 s) {
        const __m256 low = _mm512_castps512_ps256(s);
        const __m256 high = _mm512_castps512_ps256(_mm512_shuffle_f32x4(s, s, 0xEE));
        return _mm256_add_ps(low, high);
    }
    __attribute__((target("avx512f,avx2,fma"))) static float sum(__m512 s) {
        return Avx2Dot::sum(halve(s));
    }
    __attribute__((target("avx512f,avx2,fma"))) float one(const float* c, const float* x,
                                                          std::uint32_t taps) const {
        __m512 s = _mm512_setzero_ps();
        for (std::uint32_t i = 0; i < taps; i += 16)
            s = _mm512_fmadd_ps(_mm512_loadu_ps(c + i), _mm512_loadu_ps(x + i), s);
        return sum(s);
    }
    __attribute__((target("avx512f,avx2,fma"))) void
    pair(const float* c, const float* x, const float* y, std::uint32_t taps, float* out) const {
        // Two sums a channel, so that each waits on half as many products.
        __m512 x0 = _mm512_setzero_ps();
        __m512 x1 = _mm512_setzero_ps();
        __m512 y0 = _mm512_setzero_ps();
        __m512 y1 = _mm512_setzero_ps();
        std::uint32_t i = 0;
        for (; i + 32 <= taps; i += 32) {
            const __m512 k0 = _mm512_loadu_ps(c + i);
            const __m512 k1 = _mm512_loadu_ps(c + i + 16);
            x0 = _mm512_fmadd_ps(k0, _mm512_loadu_ps(x + i), x0);
            y0 = _mm512_fmadd_ps(k0, _mm512_loadu_ps(y + i), y0);
            x1 = _mm512_fmadd_ps(k1, _mm512_loadu_ps(x + i + 16), x1);
            y1 = _mm512_fmadd_ps(k1, _mm512_loadu_ps(y + i + 16), y1);
        }
        if (i < taps) {
            const __m512 k0 = _mm512_loadu_ps(c + i);
            x0 = _mm512_fmadd_ps(k0, _mm512_loadu_ps(x + i), x0);
            y0 = _mm512_fmadd_ps(k0, _mm512_loadu_ps(y + i), y0);
        }
        Avx2Dot::sumPair(halve(_mm512_add_ps(x0, x1)), halve(_mm512_add_ps(y0, y1)), out);
    }
};

__attribute__((target("avx512f,avx2,fma"))) std::size_t runAvx512(const Run& run) {
    return runWith(run, Avx512Dot{});
}
#endif

using RunFunction = std::size_t (*)(const Run&);

RunFunction chooseRun() {
#ifdef TAMBOREL_X86
    __builtin_cpu_init(); // this runs among the static constructors
    if (__builtin_cpu_supports("avx512f"))
        return runAvx512;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return runAvx2;
#endif
    return runPortable;
}

const RunFunction runFilter = chooseRun();

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
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
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
    // The window of the first output frame starts here; before the stream is silence.
    const std::uint32_t half = filter_->taps / 2;
    base_ = static_cast<std::int64_t>(fromFrame * filter_->down / filter_->up) -
            static_cast<std::int64_t>(half) + 1;
    inputStart_ = static_cast<std::uint64_t>(std::max<std::int64_t>(base_, 0));
    for (std::uint32_t c = 0; c < channels; ++c)
        history_[c].assign(static_cast<std::size_t>(static_cast<std::int64_t>(inputStart_) - base_),
                           0.0f);
    received_ = inputStart_;
    next_ = fromFrame;
    ended_ = false;
    return true;
}

void RateConverter::close() noexcept {
    if (soxr_ != nullptr)
        putBack(soxr_, from_, to_, channels_);
    soxr_ = nullptr;
    filter_ = nullptr;
}

bool RateConverter::process(const float* in, std::size_t frames, std::size_t& consumed, float* out,
                            std::size_t room, std::size_t& produced, bool last) {
    consumed = 0;
    produced = 0;
    if (soxr_ != nullptr) {
        const soxr_error_t failure =
            last ? soxr_process(soxr_, nullptr, 0, nullptr, out, room, &produced)
                 : soxr_process(soxr_, in, frames, &consumed, out, room, &produced);
        return failure == nullptr;
    }
    if (!filter_)
        return false;
    const std::uint32_t half = filter_->taps / 2;
    if (last && !ended_) {
        // The windows of the last output frames reach past the stream: silence.
        ended_ = true;
        for (std::uint32_t c = 0; c < channels_; ++c)
            history_[c].insert(history_[c].end(), half, 0.0f);
    }
    for (;;) {
        // Let go of the input no output needs any more.
        const auto needed = static_cast<std::int64_t>(next_ * filter_->down / filter_->up) -
                            static_cast<std::int64_t>(half) + 1;
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
                static_cast<std::int64_t>((next_ + room - produced) * filter_->down / filter_->up) +
                static_cast<std::int64_t>(half) + 1;
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
        const std::size_t made = produce(out + produced * channels_, room - produced);
        produced += made;
        if (made == 0 || produced == room)
            break;
    }
    return true;
}

std::size_t RateConverter::produce(float* out, std::size_t room) {
    const Filter& f = *filter_;
    Run run{};
    run.filter = &f;
    run.history[0] = history_[0].data();
    run.history[1] = history_[channels_ - 1].data();
    run.base = base_;
    run.end = base_ + std::ssize(history_[0]);
    run.next = next_;
    // Once the stream is out: its length at the new rate, rounded to the nearest frame, as
    // libsoxr ends it, so that a sample is as long as it was before (a voice's end decides
    // which voice a strike takes over).
    run.last = ended_ ? (2 * received_ * f.up + f.down) / (2 * f.down) : ~std::uint64_t{0};
    run.out = out;
    run.room = room;
    run.channels = channels_;
    const std::size_t count = runFilter(run);
    next_ += count;
    return count;
}

} // namespace tamborel::audio
