#include "ui/StatusText.h"

#include "model/ModuleMaps.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tamborel::ui::statusText {

namespace {
// A drum module known by name among the sources, other than the TD-17; none for a source
// nothing matched (read with the General MIDI map).
const ModuleMap* otherModule(const std::vector<std::string>& sources) {
    const ModuleMap* module = moduleMaps::recognise(sources);
    return module == &moduleMaps::generalMidi() || module == &moduleMaps::td17() ? nullptr : module;
}
} // namespace

std::string_view midiLight(bool td17Detected, const std::vector<std::string>& sources) {
    if (td17Detected || otherModule(sources) != nullptr)
        return "good";
    return sources.empty() ? "hot" : "warn";
}

std::string midiText(bool td17Detected, const std::vector<std::string>& sources) {
    // Every recognised module by its name, each once: "TD-17, Alesis Nitro connected".
    std::vector<std::string> names;
    if (td17Detected)
        names.emplace_back("TD-17");
    for (const std::string& source : sources)
        if (const ModuleMap* module = otherModule({source})) {
            std::string name(module->name);
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
    if (!names.empty()) {
        std::string text;
        for (const std::string& name : names)
            text += (text.empty() ? "" : ", ") + name;
        return text + " connected";
    }
    return sources.empty() ? std::string("No MIDI input") : sources.front();
}

std::string kitTitle(std::string_view name, bool dirty) {
    std::string title(name);
    if (dirty)
        title += " \u2022";
    return title;
}

std::string savedKitTitle(const std::filesystem::path& file) {
    return file.stem().string();
}

std::string latencyText(double latencyMs) {
    // A device that reports nonsense must not print "nan ms" into the bar.
    if (!std::isfinite(latencyMs))
        latencyMs = 0;
    // to_chars, unlike printf, ignores the user's locale: always "5.8 ms", never
    // "5,8 ms".
    char text[64];
    const auto end =
        std::to_chars(text, text + sizeof text, latencyMs, std::chars_format::fixed, 1);
    if (end.ec != std::errc{})
        return "0.0 ms";
    return std::string(text, end.ptr) + " ms";
}

std::string_view engineLight(bool running, bool starting) {
    return running ? "good" : starting ? "warn" : "hot";
}

std::string_view engineText(bool running, bool starting) {
    return running ? "Audio" : engineState(false, starting);
}

std::string_view engineState(bool running, bool starting) {
    return running ? "Running" : starting ? "Starting" : "Stopped";
}

} // namespace tamborel::ui::statusText
