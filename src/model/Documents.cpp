#include "model/Documents.h"

#include "model/SampleSelection.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>

namespace tamborel::documents {

using nlohmann::json;

namespace {

// nlohmann stores floats as doubles; handing it the double nearest to the float's shortest
// decimal text makes it print "1.1" rather than "1.100000023841858", and reading that text
// back as a float gives the same float.
double shortestDecimal(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    double widened = value;
    std::from_chars(text, result.ptr, widened);
    return widened;
}

// Objects are std::map-backed, so dump() sorts keys in byte order. The one rule nlohmann
// does not follow is escaping the solidus; '/' can only occur inside strings in JSON text,
// so it is safe to escape every one.
std::optional<std::string> render(const json& document, std::string* whyNot) {
    std::string plain;
    try {
        plain = document.dump(2);
    } catch (const json::exception&) {
        if (whyNot != nullptr)
            *whyNot = "the document holds text that is not valid UTF-8";
        return std::nullopt;
    }
    std::string escaped;
    escaped.reserve(plain.size() + plain.size() / 16);
    for (char c : plain) {
        if (c == '/')
            escaped += '\\';
        escaped += c;
    }
    escaped += '\n';
    return escaped;
}

json padToJson(const DrumPad& pad) {
    json object = {
        {"muted", pad.muted},
        {"notes", pad.notes},
        {"pan", shortestDecimal(pad.pan)},
        {"role", std::string(rawValue(pad.role))},
        {"soloed", pad.soloed},
        {"volume", shortestDecimal(pad.volume)},
    };
    if (pad.sampleURL)
        object["sampleURL"] = pad.sampleURL->text;
    // Written only for pads of several samples, so a kit of one sample per pad reads and
    // writes exactly as it did before they existed.
    if (!pad.samples.empty()) {
        json samples = json::array();
        for (const PadSample& sample : pad.samples) {
            json item = {{"gain", shortestDecimal(sample.gain)},
                         {"high", sample.high},
                         {"low", sample.low},
                         {"url", sample.url.text}};
            // Only where used, so a kit without them is written as before they existed.
            if (sample.pan != 0.0f)
                item["pan"] = shortestDecimal(sample.pan);
            if (sample.together != 0)
                item["together"] = sample.together;
            if (!sample.microphones.empty())
                item["microphones"] = sample.microphones;
            if (sample.power != 0.0f)
                item["power"] = shortestDecimal(sample.power);
            if (sample.normalized)
                item["normalized"] = true;
            samples.push_back(std::move(item));
        }
        object["samples"] = std::move(samples);
    }
    if (pad.takeOrder != TakeOrder::cycle)
        object["takeOrder"] = pad.takeOrder == TakeOrder::random ? "random" : "power";
    if (!pad.ownMicrophones.empty())
        object["ownMicrophones"] = pad.ownMicrophones;
    if (!pad.chokes.empty()) {
        json chokes = json::array();
        for (const PadChoke& choke : pad.chokes)
            chokes.push_back(
                {{"role", rawValue(choke.role)}, {"seconds", shortestDecimal(choke.seconds)}});
        object["chokes"] = std::move(chokes);
    }
    if (pad.release)
        object["release"] = shortestDecimal(*pad.release);
    return object;
}

json microphoneToJson(const Microphone& microphone) {
    return {
        {"inverted", microphone.inverted},
        {"muted", microphone.muted},
        {"name", microphone.name},
        {"output", microphone.output},
        {"pan", shortestDecimal(microphone.pan)},
        {"soloed", microphone.soloed},
        {"volume", shortestDecimal(microphone.volume)},
    };
}

// Depth of nesting of arrays and objects, counted without parsing; strings are skipped so
// brackets inside them do not count.
std::size_t nestingDepth(std::string_view text) {
    std::size_t depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"')
            inString = true;
        else if (c == '[' || c == '{')
            deepest = std::max(deepest, ++depth);
        else if ((c == ']' || c == '}') && depth > 0)
            --depth;
    }
    return deepest;
}

// Reads members of one object, recording the first rule it breaks. Every accessor
// returns a value even after a failure so callers can run straight through and check
// `failed()` once.
class ObjectReader {
public:
    ObjectReader(const json& object, std::string path, std::string& error)
        : object_(object), path_(std::move(path)), error_(error) {}

    const json* member(const char* key, bool required) {
        auto it = object_.find(key);
        if (it == object_.end() || (!required && it->is_null())) {
            if (required)
                fail(key, "missing");
            return nullptr;
        }
        return &*it;
    }

    bool boolean(const char* key) {
        const json* value = member(key, true);
        if (value != nullptr && !value->is_boolean())
            fail(key, "not true or false");
        return value != nullptr && value->is_boolean() && value->get<bool>();
    }

    float float32(const char* key) {
        const json* value = member(key, true);
        if (value == nullptr)
            return 0.0f;
        if (!value->is_number()) {
            fail(key, "not a number");
            return 0.0f;
        }
        const double wide = value->get<double>();
        // The range ends where the nearest float would be infinite, half a step past the
        // largest float: the writer prints that float as 3.4028235e+38, which lies above it.
        if (!std::isfinite(wide) || std::fabs(wide) >= 0x1.ffffffp+127) {
            fail(key, "outside the 32-bit float range");
            return 0.0f;
        }
        // Through a double the text is rounded twice, which can land one step off the float
        // it was written from (7.038531e-26 is one): take the neighbour that the writer would
        // have printed as this very number, if there is one.
        const float nearest = static_cast<float>(wide);
        for (const float candidate :
             {nearest, std::nextafter(nearest, -INFINITY), std::nextafter(nearest, INFINITY)})
            if (shortestDecimal(candidate) == wide)
                return candidate;
        return nearest;
    }

    double float64(const char* key) {
        const json* value = member(key, true);
        if (value != nullptr && !value->is_number())
            fail(key, "not a number");
        return value != nullptr && value->is_number() ? value->get<double>() : 0.0;
    }

    std::string string(const char* key) {
        const json* value = member(key, true);
        if (value != nullptr && !value->is_string())
            fail(key, "not a string");
        return value != nullptr && value->is_string() ? value->get<std::string>() : std::string{};
    }

    std::optional<std::string> optionalString(const char* key) {
        const json* value = member(key, false);
        if (value == nullptr)
            return std::nullopt;
        if (!value->is_string()) {
            fail(key, "not a string");
            return std::nullopt;
        }
        return value->get<std::string>();
    }

    void fail(std::string_view key, std::string_view why) {
        if (!error_.empty())
            return;
        error_ = path_;
        if (!key.empty())
            error_ += (path_.empty() ? "" : ".") + std::string(key);
        error_ += ": ";
        error_ += why;
    }

    bool failed() const { return !error_.empty(); }
    std::string& errorSink() { return error_; }
    const std::string& path() const { return path_; }

private:
    const json& object_;
    std::string path_;
    std::string& error_;
};

// An integer of the given range: integral JSON numbers only (1 and 1.0, never 1.5).
template <typename Int> std::optional<Int> integer(const json& value) {
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<Int>::max()))
            return std::nullopt;
        return static_cast<Int>(v);
    }
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        if (std::cmp_less(v, std::numeric_limits<Int>::min()) ||
            std::cmp_greater(v, std::numeric_limits<Int>::max()))
            return std::nullopt;
        return static_cast<Int>(v);
    }
    if (value.is_number_float()) {
        const double v = value.get<double>();
        // The bounds are powers of two, so the comparisons are exact.
        const double low = static_cast<double>(std::numeric_limits<Int>::min());
        const double high = std::ldexp(1.0, std::numeric_limits<Int>::digits);
        if (!std::isfinite(v) || v != std::trunc(v) || v < low || v >= high)
            return std::nullopt;
        return static_cast<Int>(v);
    }
    return std::nullopt;
}

// A list of microphones of a kit that has `count` of them: 1 to maxMicrophones indices, each
// from `lowest` (-1 where a channel may be heard on none) to count - 1.
std::vector<int> microphoneIndices(ObjectReader& reader, const char* key, int lowest,
                                   std::size_t count) {
    std::vector<int> indices;
    const json* value = reader.member(key, false);
    if (value == nullptr || reader.failed())
        return indices;
    if (count == 0) {
        reader.fail(key, "the kit has no microphones");
        return indices;
    }
    if (!value->is_array() || value->empty() || value->size() > maxMicrophones) {
        reader.fail(key, "not an array of 1 to " + std::to_string(maxMicrophones) + " numbers");
        return indices;
    }
    for (std::size_t i = 0; i < value->size(); ++i) {
        const auto index = integer<int>((*value)[i]);
        if (!index || *index < lowest || *index >= int(count)) {
            reader.fail(std::string(key) + "[" + std::to_string(i) + "]",
                        "not an integer from " + std::to_string(lowest) + " to " +
                            std::to_string(count - 1));
            return {};
        }
        indices.push_back(*index);
    }
    return indices;
}

std::optional<Microphone> readMicrophone(const json& value, std::string path, std::string& error) {
    ObjectReader reader(value, std::move(path), error);
    if (!value.is_object()) {
        reader.fail("", "not an object");
        return std::nullopt;
    }
    Microphone microphone;
    microphone.inverted = reader.boolean("inverted");
    microphone.muted = reader.boolean("muted");
    microphone.name = reader.string("name");
    if (const json* output = reader.member("output", true); output && !reader.failed()) {
        const auto number = integer<int>(*output);
        if (!number || *number < 0 || *number > int(maxMicrophones))
            reader.fail("output", "not an integer from 0 to " + std::to_string(maxMicrophones));
        microphone.output = number.value_or(0);
    }
    microphone.pan = reader.float32("pan");
    if (!reader.failed() && !(microphone.pan >= -1.0f && microphone.pan <= 1.0f))
        reader.fail("pan", "not from -1 to 1");
    microphone.soloed = reader.boolean("soloed");
    microphone.volume = reader.float32("volume");
    if (!reader.failed() && !(microphone.volume >= 0.0f))
        reader.fail("volume", "negative");
    if (reader.failed())
        return std::nullopt;
    return microphone;
}

void readSamples(const json& samples, ObjectReader& reader, DrumPad& pad, std::size_t microphones);
void readChokes(const json& chokes, ObjectReader& reader, DrumPad& pad);

// A pad of a kit that has `microphones` of them.
std::optional<DrumPad> readPad(const json& value, std::string path, std::string& error,
                               std::size_t microphones) {
    ObjectReader reader(value, std::move(path), error);
    if (!value.is_object()) {
        reader.fail("", "not an object");
        return std::nullopt;
    }
    DrumPad pad;
    pad.muted = reader.boolean("muted");
    if (const json* notes = reader.member("notes", true)) {
        if (!notes->is_array())
            reader.fail("notes", "not an array");
        else
            for (std::size_t i = 0; i < notes->size() && !reader.failed(); ++i) {
                if (auto note = integer<std::int64_t>((*notes)[i]))
                    pad.notes.push_back(*note);
                else
                    reader.fail("notes[" + std::to_string(i) + "]", "not an integer");
            }
    }
    pad.pan = reader.float32("pan");
    const std::string role = reader.string("role");
    if (!reader.failed()) {
        if (auto parsed = padRoleFromRawValue(role))
            pad.role = *parsed;
        else
            reader.fail("role", "\"" + role + "\" is not a pad role");
    }
    if (auto url = reader.optionalString("sampleURL")) {
        pad.sampleURL = FileUrl::parse(*url);
        if (!pad.sampleURL)
            reader.fail("sampleURL", "not URL text");
    }
    if (const json* samples = reader.member("samples", false); samples && !reader.failed())
        readSamples(*samples, reader, pad, microphones);
    if (auto order = reader.optionalString("takeOrder")) {
        if (*order == "random")
            pad.takeOrder = TakeOrder::random;
        else if (*order == "power")
            pad.takeOrder = TakeOrder::power;
        else if (*order != "cycle")
            reader.fail("takeOrder", "not \"cycle\", \"random\" or \"power\"");
    }
    pad.ownMicrophones = microphoneIndices(reader, "ownMicrophones", 0, microphones);
    if (const json* chokes = reader.member("chokes", false); chokes && !reader.failed())
        readChokes(*chokes, reader, pad);
    if (!reader.failed() && reader.member("release", false)) {
        pad.release = reader.float32("release");
        if (!reader.failed() && !(*pad.release >= 0.0f && *pad.release <= maxChokeSeconds))
            reader.fail("release", "not from 0 to " + std::to_string(int(maxChokeSeconds)));
    }
    pad.soloed = reader.boolean("soloed");
    pad.volume = reader.float32("volume");
    if (reader.failed())
        return std::nullopt;
    return pad;
}

// A pad's samples: 1 to maxSamplesPerPad objects, each a URL, a velocity range within 1..127
// and a gain; the pad's sampleURL must name one of them, so a reader that knows only
// sampleURL still plays one of the pad's own sounds.
void readSamples(const json& samples, ObjectReader& reader, DrumPad& pad, std::size_t microphones) {
    const std::string most = std::to_string(selection::maxSamplesPerPad);
    if (!samples.is_array() || samples.empty() || samples.size() > selection::maxSamplesPerPad) {
        reader.fail("samples", "not an array of 1 to " + most + " samples");
        return;
    }
    for (std::size_t i = 0; i < samples.size() && !reader.failed(); ++i) {
        const std::string path = reader.path() + ".samples[" + std::to_string(i) + "]";
        ObjectReader item(samples[i], path, reader.errorSink());
        if (!samples[i].is_object()) {
            item.fail("", "not an object");
            break;
        }
        PadSample sample;
        sample.gain = item.float32("gain");
        if (!item.failed() && !(sample.gain >= 0.0f))
            item.fail("gain", "negative");
        for (auto [key, field] : {std::pair{"high", &sample.high}, std::pair{"low", &sample.low}}) {
            const json* value = item.member(key, true);
            const auto number = value ? integer<int>(*value) : std::nullopt;
            if (value && (!number || *number < 1 || *number > 127))
                item.fail(key, "not an integer from 1 to 127");
            *field = number.value_or(1);
        }
        if (!item.failed() && sample.low > sample.high)
            item.fail("low", "above high");
        if (!item.failed() && item.member("pan", false)) {
            sample.pan = item.float32("pan");
            if (!item.failed() && !(sample.pan >= -1.0f && sample.pan <= 1.0f))
                item.fail("pan", "not from -1 to 1");
        }
        if (const json* together = item.member("together", false); together && !item.failed()) {
            const auto number = integer<int>(*together);
            if (!number || *number < 0 || *number > int(selection::maxSamplesPerPad))
                item.fail("together", "not an integer from 0 to " + most);
            sample.together = number.value_or(0);
        }
        sample.microphones = microphoneIndices(item, "microphones", -1, microphones);
        if (!item.failed() && item.member("power", false)) {
            sample.power = item.float32("power");
            if (!item.failed() && !(sample.power >= 0.0f))
                item.fail("power", "negative");
        }
        if (!item.failed() && item.member("normalized", false))
            sample.normalized = item.boolean("normalized");
        const std::string url = item.string("url");
        if (!item.failed()) {
            if (auto parsed = FileUrl::parse(url))
                sample.url = *parsed;
            else
                item.fail("url", "not URL text");
        }
        pad.samples.push_back(std::move(sample));
    }
    if (reader.failed())
        return;
    const bool named = pad.sampleURL && std::any_of(pad.samples.begin(), pad.samples.end(),
                                                    [&](const PadSample& sample) {
                                                        return sample.url == *pad.sampleURL;
                                                    });
    if (!named)
        reader.fail("sampleURL", "not one of the pad's samples");
}

// The pads a pad chokes: 1 to padRoleCount objects, each a role named once and a fade of
// 0 to maxChokeSeconds.
void readChokes(const json& chokes, ObjectReader& reader, DrumPad& pad) {
    if (!chokes.is_array() || chokes.empty() || chokes.size() > padRoleCount) {
        reader.fail("chokes", "not an array of 1 to " + std::to_string(padRoleCount) + " chokes");
        return;
    }
    for (std::size_t i = 0; i < chokes.size() && !reader.failed(); ++i) {
        ObjectReader item(chokes[i], reader.path() + ".chokes[" + std::to_string(i) + "]",
                          reader.errorSink());
        if (!chokes[i].is_object()) {
            item.fail("", "not an object");
            return;
        }
        PadChoke choke;
        const std::string role = item.string("role");
        const auto parsed = padRoleFromRawValue(role);
        if (!item.failed() && !parsed)
            item.fail("role", "\"" + role + "\" is not a pad role");
        else if (!item.failed() &&
                 std::any_of(pad.chokes.begin(), pad.chokes.end(),
                             [&](const PadChoke& other) { return other.role == *parsed; }))
            item.fail("role", "\"" + role + "\" named twice");
        choke.role = parsed.value_or(PadRole::kick);
        choke.seconds = item.float32("seconds");
        if (!item.failed() && !(choke.seconds >= 0.0f && choke.seconds <= maxChokeSeconds))
            item.fail("seconds", "not from 0 to " + std::to_string(int(maxChokeSeconds)));
        pad.chokes.push_back(choke);
    }
}

// Parses text into a top-level object, or says why not.
std::optional<json> parseObject(std::string_view text, std::string& error) {
    if (text.size() > maxDocumentBytes) {
        error = "document larger than 16 MiB";
        return std::nullopt;
    }
    if (nestingDepth(text) > maxNestingDepth) {
        error = "document nested deeper than 64 levels";
        return std::nullopt;
    }
    json document = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded()) {
        error = "not JSON";
        return std::nullopt;
    }
    if (!document.is_object()) {
        error = "top-level value is not an object";
        return std::nullopt;
    }
    return document;
}

// A list of microphones as the reader takes it back from a kit with `count` of them; an empty
// one is not written.
bool readableIndices(const std::vector<int>& indices, int lowest, std::size_t count) {
    return indices.empty() || (count > 0 && indices.size() <= maxMicrophones &&
                               std::all_of(indices.begin(), indices.end(),
                                           [&](int i) { return i >= lowest && i < int(count); }));
}

// A pad's samples and microphones as the reader takes them back.
bool readablePad(const DrumPad& pad, std::size_t microphones) {
    if (!readableIndices(pad.ownMicrophones, 0, microphones) || pad.chokes.size() > padRoleCount)
        return false;
    for (std::size_t i = 0; i < pad.chokes.size(); ++i)
        if (!(pad.chokes[i].seconds >= 0.0f && pad.chokes[i].seconds <= maxChokeSeconds) ||
            std::any_of(pad.chokes.begin(), pad.chokes.begin() + std::ptrdiff_t(i),
                        [&](const PadChoke& other) { return other.role == pad.chokes[i].role; }))
            return false;
    if (pad.samples.empty())
        return true;
    if (pad.samples.size() > selection::maxSamplesPerPad || !pad.sampleURL)
        return false;
    bool named = false;
    for (const PadSample& s : pad.samples) {
        if (s.low < 1 || s.high > 127 || s.low > s.high || !(s.gain >= 0.0f) ||
            !(s.pan >= -1.0f && s.pan <= 1.0f) || s.together < 0 ||
            s.together > int(selection::maxSamplesPerPad) || !FileUrl::parse(s.url.text) ||
            !(s.power >= 0.0f) || !readableIndices(s.microphones, -1, microphones))
            return false;
        named = named || s.url == *pad.sampleURL;
    }
    return named;
}

bool readableMicrophones(const DrumKit& kit) {
    return kit.microphones.size() <= maxMicrophones &&
           (kit.microphones.empty() || (kit.bleed >= 0.0f && kit.bleed <= 1.0f)) &&
           std::all_of(kit.microphones.begin(), kit.microphones.end(), [](const Microphone& m) {
               return m.volume >= 0.0f && m.pan >= -1.0f && m.pan <= 1.0f && m.output >= 0 &&
                      m.output <= int(maxMicrophones);
           });
}

// JSON has no infinity or NaN: nlohmann writes them as null, which no reader takes back, so
// such a record is refused rather than saved as a file that can never be opened again.
bool allFinite(const DrumKit& kit) {
    return std::isfinite(kit.masterVolume) &&
           std::all_of(kit.microphones.begin(), kit.microphones.end(),
                       [](const Microphone& m) { return std::isfinite(m.volume); }) &&
           std::all_of(kit.pads.begin(), kit.pads.end(), [](const DrumPad& pad) {
               return std::isfinite(pad.volume) && std::isfinite(pad.pan) &&
                      std::all_of(pad.samples.begin(), pad.samples.end(), [](const PadSample& s) {
                          return std::isfinite(s.gain) && std::isfinite(s.power);
                      });
           });
}

} // namespace

std::optional<std::string> writeKit(const DrumKit& kit, std::string* whyNot) {
    if (!allFinite(kit)) {
        if (whyNot != nullptr)
            *whyNot = "the kit holds a volume or pan that is not a finite number";
        return std::nullopt;
    }
    if (!readableMicrophones(kit)) {
        if (whyNot != nullptr)
            *whyNot = "the kit's microphones are out of range";
        return std::nullopt;
    }
    if (!std::all_of(kit.pads.begin(), kit.pads.end(), [&](const DrumPad& pad) {
            return readablePad(pad, kit.microphones.size());
        })) {
        if (whyNot != nullptr)
            *whyNot = "a pad's samples, microphones or chokes are out of range, or its samples "
                      "do not include its main sample";
        return std::nullopt;
    }
    json pads = json::array();
    for (const DrumPad& pad : kit.pads)
        pads.push_back(padToJson(pad));
    json document = {
        {"id", kit.id.toString()},
        {"masterVolume", shortestDecimal(kit.masterVolume)},
        {"name", kit.name},
        {"pads", std::move(pads)},
    };
    // Only for a kit recorded on several microphones, and then only what differs from a new
    // one, so every other kit is written as before microphones existed.
    if (!kit.microphones.empty()) {
        json microphones = json::array();
        for (const Microphone& microphone : kit.microphones)
            microphones.push_back(microphoneToJson(microphone));
        document["microphones"] = std::move(microphones);
        if (kit.bleed != 1.0f)
            document["bleed"] = shortestDecimal(kit.bleed);
        if (kit.audienceView)
            document["audienceView"] = true;
    }
    if (kit.squaredVelocity)
        document["squaredVelocity"] = true;
    if (kit.hiHatController)
        document["hiHatController"] = *kit.hiHatController;
    return render(document, whyNot);
}

namespace {

constexpr std::array<std::string_view, 4> subdivisionNames{"none", "eighths", "triplets",
                                                           "sixteenths"};
constexpr std::array<std::string_view, 2> clickOutputNames{"master", "own"};

json metronomeToJson(const Metronome& metronome) {
    json object = {
        {"beatsPerBar", metronome.beatsPerBar},
        {"bpm", metronome.bpm},
        {"level", shortestDecimal(metronome.level)},
        {"noteValue", metronome.noteValue},
        {"on", metronome.on},
        {"output", clickOutputNames[static_cast<std::size_t>(metronome.output)]},
        {"subdivision", subdivisionNames[static_cast<std::size_t>(metronome.subdivision)]},
    };
    // Written only when it is not the default, so settings without it read and write as before.
    if (metronome.countInBars != Metronome{}.countInBars)
        object["countInBars"] = metronome.countInBars;
    return object;
}

} // namespace

std::optional<std::string> writeSettings(const AudioSettings& settings, std::string* whyNot) {
    if (!std::isfinite(settings.sampleRate)) {
        if (whyNot != nullptr)
            *whyNot = "the sample rate is not a finite number";
        return std::nullopt;
    }
    json document = {
        {"bufferFrames", settings.bufferFrames},
        {"sampleRate", settings.sampleRate},
    };
    if (settings.outputDeviceUID)
        document["outputDeviceUID"] = *settings.outputDeviceUID;
    // What the player never changed is left out, so older settings files stay as they were.
    const AudioSettings defaults;
    if (settings.velocity.curve != defaults.velocity.curve)
        document["velocityCurve"] = std::string(rawValue(settings.velocity.curve));
    if (settings.velocity.lowest != defaults.velocity.lowest)
        document["lowestVelocity"] = settings.velocity.lowest;
    if (settings.velocity.fixed != defaults.velocity.fixed)
        document["fixedVelocity"] = settings.velocity.fixed;
    if (settings.pedalController != defaults.pedalController)
        document["pedalController"] = settings.pedalController;
    if (settings.pedalRange) {
        document["pedalClosed"] = settings.pedalRange->closed;
        document["pedalOpen"] = settings.pedalRange->open;
    }
    if (settings.separateOutputs)
        document["separateOutputs"] = true;
    if (settings.outputsBy == OutputsBy::mic)
        document["outputsBy"] = "mic";
    if (settings.wholeKitMiB != defaults.wholeKitMiB)
        document["wholeKitMiB"] = settings.wholeKitMiB;
    if (!settings.programKits.empty()) {
        json programs = json::array();
        for (const ProgramKit& entry : settings.programKits)
            programs.push_back({{"program", entry.program}, {"url", entry.kit.text}});
        document["programKits"] = std::move(programs);
    }
    if (settings.metronome != defaults.metronome)
        document["metronome"] = metronomeToJson(settings.metronome);
    if (settings.songLevel != defaults.songLevel)
        document["songLevel"] = shortestDecimal(settings.songLevel);
    return render(document, whyNot);
}

ReadResult<DrumKit> readKit(std::string_view text) {
    ReadResult<DrumKit> result;
    const auto document = parseObject(text, result.error);
    if (!document)
        return result;
    ObjectReader reader(*document, "", result.error);
    DrumKit kit;
    kit.pads.clear();
    const std::string id = reader.string("id");
    if (!reader.failed()) {
        if (auto uuid = Uuid::parse(id))
            kit.id = *uuid;
        else
            reader.fail("id", "not UUID text");
    }
    kit.masterVolume = reader.float32("masterVolume");
    kit.name = reader.string("name");
    // The microphones first: the pads' samples and own microphones name them by index.
    if (const json* microphones = reader.member("microphones", false);
        microphones != nullptr && !reader.failed()) {
        if (!microphones->is_array() || microphones->empty() ||
            microphones->size() > maxMicrophones)
            reader.fail("microphones",
                        "not an array of 1 to " + std::to_string(maxMicrophones) + " microphones");
        else
            for (std::size_t i = 0; i < microphones->size() && !reader.failed(); ++i)
                if (auto microphone = readMicrophone(
                        (*microphones)[i], "microphones[" + std::to_string(i) + "]", result.error))
                    kit.microphones.push_back(std::move(*microphone));
    }
    // Written only beside microphones; alone they would not be written back.
    for (const char* key : {"audienceView", "bleed"})
        if (reader.member(key, false) && kit.microphones.empty())
            reader.fail(key, "only in a kit with microphones");
    if (!reader.failed() && reader.member("audienceView", false))
        kit.audienceView = reader.boolean("audienceView");
    if (!reader.failed() && reader.member("squaredVelocity", false))
        kit.squaredVelocity = reader.boolean("squaredVelocity");
    if (!reader.failed() && reader.member("hiHatController", false)) {
        const double controller = reader.float64("hiHatController");
        if (!reader.failed() &&
            !(controller >= 0 && controller <= 127 && controller == std::floor(controller)))
            reader.fail("hiHatController", "not a controller from 0 to 127");
        kit.hiHatController = reader.failed() ? 0 : static_cast<int>(controller);
    }
    if (!reader.failed() && reader.member("bleed", false)) {
        kit.bleed = reader.float32("bleed");
        if (!reader.failed() && !(kit.bleed >= 0.0f && kit.bleed <= 1.0f))
            reader.fail("bleed", "not from 0 to 1");
    }
    if (const json* pads = reader.member("pads", true); pads != nullptr && !reader.failed()) {
        if (!pads->is_array())
            reader.fail("pads", "not an array");
        else
            for (std::size_t i = 0; i < pads->size() && !reader.failed(); ++i) {
                if (auto pad = readPad((*pads)[i], "pads[" + std::to_string(i) + "]", result.error,
                                       kit.microphones.size()))
                    kit.pads.push_back(std::move(*pad));
            }
    }
    if (!reader.failed())
        result.value = std::move(kit);
    return result;
}

namespace {

// 1 to 128 kits, each program from 1 to 128 at most once; taken in program order.
std::vector<ProgramKit> readProgramKits(const json& programs, ObjectReader& reader) {
    std::vector<ProgramKit> kits;
    if (!programs.is_array() || programs.empty() || programs.size() > programCount) {
        reader.fail("programKits", "not an array of 1 to 128 programs");
        return kits;
    }
    for (std::size_t i = 0; i < programs.size() && !reader.failed(); ++i) {
        ObjectReader item(programs[i], "programKits[" + std::to_string(i) + "]",
                          reader.errorSink());
        if (!programs[i].is_object()) {
            item.fail("", "not an object");
            break;
        }
        ProgramKit entry;
        const json* program = item.member("program", true);
        const auto number = program ? integer<int>(*program) : std::nullopt;
        if (program && (!number || *number < 1 || *number > programCount))
            item.fail("program", "not an integer from 1 to 128");
        entry.program = number.value_or(1);
        for (const ProgramKit& earlier : kits)
            if (!item.failed() && earlier.program == entry.program)
                item.fail("program", "given twice");
        const std::string url = item.string("url");
        if (auto parsed = FileUrl::parse(url); parsed && !item.failed())
            entry.kit = *parsed;
        else
            item.fail("url", "not URL text");
        kits.push_back(std::move(entry));
    }
    std::sort(kits.begin(), kits.end(),
              [](const ProgramKit& a, const ProgramKit& b) { return a.program < b.program; });
    return kits;
}

// Every member, each in its range (countInBars may be missing).
Metronome readMetronome(const json& object, ObjectReader& parent) {
    Metronome metronome;
    ObjectReader reader(object, "metronome", parent.errorSink());
    if (!object.is_object()) {
        reader.fail("", "not an object");
        return metronome;
    }
    metronome.on = reader.boolean("on");
    metronome.bpm = reader.float64("bpm");
    if (!reader.failed() &&
        !(metronome.bpm >= Metronome::lowestBpm && metronome.bpm <= Metronome::highestBpm))
        reader.fail("bpm", "not from 30 to 300");
    const auto whole = [&](const char* key, int lowest, int highest) {
        const json* value = reader.member(key, true);
        const auto number = value ? integer<int>(*value) : std::nullopt;
        if (value && (!number || *number < lowest || *number > highest))
            reader.fail(key, "not an integer from " + std::to_string(lowest) + " to " +
                                 std::to_string(highest));
        return number.value_or(lowest);
    };
    metronome.beatsPerBar = whole("beatsPerBar", 1, Metronome::mostBeatsPerBar);
    metronome.noteValue = whole("noteValue", 1, 16);
    if (!reader.failed() && (metronome.noteValue & (metronome.noteValue - 1)) != 0)
        reader.fail("noteValue", "not 1, 2, 4, 8 or 16");
    metronome.level = reader.float32("level");
    if (!reader.failed() && !(metronome.level >= 0.0f && metronome.level <= 1.0f))
        reader.fail("level", "not from 0 to 1");
    const auto named = [&](const char* key, auto names, auto& field) {
        const std::string text = reader.string(key);
        const auto found = std::find(names.begin(), names.end(), text);
        if (found == names.end())
            reader.fail(key, "\"" + text + "\" is not one of its values");
        else
            field = static_cast<std::remove_reference_t<decltype(field)>>(found - names.begin());
    };
    named("subdivision", subdivisionNames, metronome.subdivision);
    named("output", clickOutputNames, metronome.output);
    if (reader.member("countInBars", false))
        metronome.countInBars = whole("countInBars", 0, Metronome::mostCountInBars);
    return metronome;
}

} // namespace

ReadResult<AudioSettings> readSettings(std::string_view text) {
    ReadResult<AudioSettings> result;
    const auto document = parseObject(text, result.error);
    if (!document)
        return result;
    ObjectReader reader(*document, "", result.error);
    AudioSettings settings;
    if (const json* frames = reader.member("bufferFrames", true)) {
        if (auto value = integer<std::uint32_t>(*frames))
            settings.bufferFrames = *value;
        else
            reader.fail("bufferFrames", "not an integer from 0 to 4294967295");
    }
    settings.outputDeviceUID = reader.optionalString("outputDeviceUID");
    settings.sampleRate = reader.float64("sampleRate");
    if (auto curve = reader.optionalString("velocityCurve")) {
        if (auto parsed = velocityCurveFromRawValue(*curve))
            settings.velocity.curve = *parsed;
        else
            reader.fail("velocityCurve", "\"" + *curve + "\" is not a velocity curve");
    }
    const auto midiValue = [&](const char* key, int lowest, int& field) {
        if (const json* value = reader.member(key, false)) {
            if (auto v = integer<int>(*value); v && *v >= lowest && *v <= 127)
                field = *v;
            else
                reader.fail(key, "not an integer from " + std::to_string(lowest) + " to 127");
        }
    };
    midiValue("lowestVelocity", 1, settings.velocity.lowest);
    midiValue("fixedVelocity", 1, settings.velocity.fixed);
    midiValue("pedalController", 0, settings.pedalController);
    // The two ends of a calibration come together or not at all.
    if (reader.member("pedalClosed", false) || reader.member("pedalOpen", false)) {
        PedalRange range;
        if (reader.member("pedalClosed", true) && reader.member("pedalOpen", true)) {
            midiValue("pedalClosed", 0, range.closed);
            midiValue("pedalOpen", 0, range.open);
            if (!reader.failed() && !range.usable())
                reader.fail("pedalOpen", "closer than 10 to pedalClosed");
        }
        settings.pedalRange = range;
    }
    if (const json* separate = reader.member("separateOutputs", false)) {
        if (separate->is_boolean())
            settings.separateOutputs = separate->get<bool>();
        else
            reader.fail("separateOutputs", "not a boolean");
    }
    if (auto by = reader.optionalString("outputsBy")) {
        if (*by == "drum" || *by == "mic")
            settings.outputsBy = *by == "mic" ? OutputsBy::mic : OutputsBy::drum;
        else
            reader.fail("outputsBy", "\"" + *by + "\" is neither \"drum\" nor \"mic\"");
    }
    if (const json* whole = reader.member("wholeKitMiB", false)) {
        // Up to a tebibyte: past that every kit stays whole anyway.
        if (auto value = integer<std::uint32_t>(*whole); value && *value <= (1u << 20))
            settings.wholeKitMiB = *value;
        else
            reader.fail("wholeKitMiB", "not an integer from 0 to 1048576");
    }
    if (const json* programs = reader.member("programKits", false); programs && !reader.failed())
        settings.programKits = readProgramKits(*programs, reader);
    if (const json* metronome = reader.member("metronome", false); metronome && !reader.failed())
        settings.metronome = readMetronome(*metronome, reader);
    if (reader.member("songLevel", false) && !reader.failed()) {
        settings.songLevel = reader.float32("songLevel");
        if (!reader.failed() && !(settings.songLevel >= 0.0f && settings.songLevel <= 1.0f))
            reader.fail("songLevel", "not from 0 to 1");
    }
    if (!reader.failed())
        result.value = std::move(settings);
    return result;
}

} // namespace tamborel::documents
