#include "model/SamplePiece.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace tamborel {

namespace {

template <typename Number> bool parseNumber(std::string_view text, Number& out) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, out);
    return error == std::errc{} && stop == end;
}

bool unreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (unreserved(c)) {
            out += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out;
}

bool parseHex(std::string_view text, unsigned& out) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, out, 16);
    return text.size() == 2 && error == std::errc{} && stop == end;
}

std::optional<std::string> unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size() || !parseHex(text.substr(i + 1, 2), value))
            return std::nullopt;
        out += static_cast<char>(value);
        i += 2;
    }
    return out;
}

} // namespace

double SamplePiece::playedRate(double recorded) const {
    return cents == 0.0 ? recorded : recorded * std::exp2(cents / 1200.0);
}

std::optional<SamplePiece> SamplePiece::of(const FileUrl& url) {
    SamplePiece piece;
    const std::size_t hash = url.text.find('#');
    if (hash == std::string::npos)
        return piece;
    std::string_view rest = std::string_view(url.text).substr(hash + 1);
    bool ok = true;
    while (!rest.empty() && ok) {
        const std::size_t amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view{} : rest.substr(amp + 1);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = pair.substr(0, equals);
        const std::string_view value = pair.substr(equals + 1);
        if (key == "at")
            ok = parseNumber(value, piece.at);
        else if (key == "bytes")
            ok = parseNumber(value, piece.bytes);
        else if (key == "frames")
            ok = parseNumber(value, piece.frames) && piece.frames > 0;
        else if (key == "rate")
            ok = parseNumber(value, piece.rate) && piece.rate > 0 && piece.rate <= 1'536'000;
        else if (key == "bits") {
            int bits = 0;
            ok = parseNumber(value, bits) && (bits == 16 || bits == 24);
            piece.encoding = Encoding::pcm16;
        } else if (key == "low24")
            ok = parseNumber(value, piece.low24At) && piece.low24At > 0;
        else if (key == "start")
            ok = parseNumber(value, piece.start);
        else if (key == "end")
            ok = parseNumber(value, piece.end);
        else if (key == "cents")
            ok = parseNumber(value, piece.cents) && std::isfinite(piece.cents) &&
                 std::abs(piece.cents) <= maxPieceCents;
        else if (key == "lowpass")
            ok = parseNumber(value, piece.lowpass) && piece.lowpass >= 0.0 &&
                 piece.lowpass <= 100000.0;
        else if (key == "resonance")
            ok = parseNumber(value, piece.resonance) && piece.resonance >= 0.0 &&
                 piece.resonance <= 96.0;
        else if (key == "name") {
            const auto name = unescaped(value);
            ok = name.has_value();
            piece.name = name.value_or(std::string{});
        }
    }
    if (!ok || (piece.end != 0 && piece.end <= piece.start) ||
        (piece.encoding == Encoding::pcm16 && (piece.frames == 0 || piece.rate == 0)))
        return std::nullopt;
    return piece;
}

FileUrl SamplePiece::in(const FileUrl& url) const {
    std::string text = url.text.substr(0, url.text.find('#'));
    std::string fragment;
    const auto add = [&](std::string_view key, const std::string& value) {
        fragment += fragment.empty() ? '#' : '&';
        fragment.append(key).append("=").append(value);
    };
    if (at != 0)
        add("at", std::to_string(at));
    if (encoding == Encoding::pcm16) {
        add("frames", std::to_string(frames));
        add("rate", std::to_string(rate));
        add("bits", low24At != 0 ? "24" : "16");
        if (low24At != 0)
            add("low24", std::to_string(low24At));
    } else if (bytes != 0) {
        add("bytes", std::to_string(bytes));
    }
    if (start != 0)
        add("start", std::to_string(start));
    if (end != 0)
        add("end", std::to_string(end));
    if (cents != 0.0) {
        char number[32];
        std::snprintf(number, sizeof number, "%.4g", cents);
        add("cents", number);
    }
    const auto decimal = [](double value) {
        char number[32];
        std::snprintf(number, sizeof number, "%.6g", value);
        return std::string(number);
    };
    if (lowpass != 0.0)
        add("lowpass", decimal(lowpass));
    if (resonance != 0.0)
        add("resonance", decimal(resonance));
    if (!name.empty())
        add("name", escaped(name));
    return FileUrl{text + fragment};
}

} // namespace tamborel
