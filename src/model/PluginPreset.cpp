#include "model/PluginPreset.h"

#include "model/FileUrl.h"
#include "platform/Paths.h"

#include <array>
#include <fstream>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace tamborel::pluginPreset {

namespace {

// The plugin's instruments; a preset is offered to each.
constexpr std::array<std::string_view, 3> instruments = {"drums", "drums-multi", "drums-mics"};
constexpr std::string_view presetFile = "preset.ttl";

constexpr std::string_view prefixes = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                      "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                                      "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                                      "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n";

// A Turtle string literal's body: kit names are the user's own text.
std::string turtleString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out + '"';
}

// Each instrument's preset, as the manifest lists it or as the preset file describes it.
std::string presets(std::string_view details) {
    std::string out(prefixes);
    for (std::string_view instrument : instruments) {
        out += "\n<" + std::string(presetFile) + "#" + std::string(instrument) + ">\n";
        out += "\ta pset:Preset ;\n";
        out += "\tlv2:appliesTo <urn:tamborel:" + std::string(instrument) + "> ;\n";
        out += std::string(details);
    }
    return out;
}

bool writeFile(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

} // namespace

std::optional<fs::path> userFolder() {
    if (auto home = platform::homeDirectory())
        return *home / ".lv2";
    return std::nullopt;
}

std::optional<fs::path> write(const std::string& label, const fs::path& kitFile,
                              const fs::path& folder) {
    const FileUrl kit = FileUrl::fromPath(kitFile);
    if (kit.text.empty())
        return std::nullopt;
    const fs::path bundle = folder / (kitFile.stem().string() + ".preset.lv2");
    std::error_code ec;
    fs::create_directories(bundle, ec);
    if (ec)
        return std::nullopt;
    // Labelled in the manifest too, for hosts that list presets before reading them.
    const std::string labelled = "\trdfs:label " + turtleString(label) + " ;\n";
    const std::string manifest =
        presets(labelled + "\trdfs:seeAlso <" + std::string(presetFile) + "> .\n");
    const std::string preset =
        presets(labelled + "\tstate:state [\n\t\t<urn:tamborel:kit> <" + kit.text + ">\n\t] .\n");
    if (!writeFile(bundle / presetFile, preset) || !writeFile(bundle / "manifest.ttl", manifest))
        return std::nullopt;
    return bundle;
}

} // namespace tamborel::pluginPreset
