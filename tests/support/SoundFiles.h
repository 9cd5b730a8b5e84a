#pragma once
// Sound and MIDI files written for tests and fuzz seeds.

#include <sndfile.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tamborel::audio::testing {

// Writes interleaved float samples with libsndfile in the given SF_FORMAT_* major/sub type.
inline bool writeWithSndfile(const std::filesystem::path& file, int format, int rate, int channels,
                             const std::vector<float>& interleaved) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    if (out == nullptr)
        return false;
    const auto frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    const bool written = sf_writef_float(out, interleaved.data(), frames) == frames;
    return sf_close(out) == 0 && written;
}

} // namespace tamborel::audio::testing

// Standard MIDI File bytes.
namespace tamborel::test::smf {

// `v` big-endian in `n` bytes.
inline std::string be(std::uint32_t v, int n) {
    std::string s;
    for (int i = n - 1; i >= 0; --i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}
// A variable-length quantity, as delta times are written.
inline std::string vlq(std::uint32_t v) {
    std::string s(1, static_cast<char>(v & 0x7F));
    while (v >>= 7)
        s.insert(s.begin(), static_cast<char>(0x80 | (v & 0x7F)));
    return s;
}
// A track chunk: the events, then the end-of-track meta event.
inline std::string track(const std::string& events) {
    const std::string body = events + vlq(0) + std::string("\xFF\x2F\x00", 3);
    return "MTrk" + be(static_cast<std::uint32_t>(body.size()), 4) + body;
}
inline std::string file(int format, const std::vector<std::string>& tracks, int division) {
    std::string s = "MThd" + be(6, 4) + be(static_cast<std::uint32_t>(format), 2) +
                    be(static_cast<std::uint32_t>(tracks.size()), 2) +
                    be(static_cast<std::uint32_t>(division), 2);
    for (const auto& t : tracks)
        s += track(t);
    return s;
}
inline std::string tempo(std::uint32_t microsPerQuarter) {
    return std::string("\xFF\x51\x03", 3) + be(microsPerQuarter, 3);
}

} // namespace tamborel::test::smf
