#pragma once
// What the status bar says about the MIDI input, the kit, the latency and the
// engine. Lights are named by the theme colour they use: "good", "warn" or
// "hot".

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tamborel::ui::statusText {

// The MIDI pill: "TD-17 connected", or any other drum module known by name as "Alesis Nitro
// connected" (several as "TD-17, Alesis Nitro connected"), in the good colour; an unknown source by
// its port name in the warning colour; "No MIDI input" in the hot one.
std::string_view midiLight(bool td17Detected, const std::vector<std::string>& sources);
std::string midiText(bool td17Detected, const std::vector<std::string>& sources);

// The kit menu's face: the name, with a bullet when there are unsaved changes.
std::string kitTitle(std::string_view name, bool dirty);
// A saved kit's menu title: its file name without the extension.
std::string savedKitTitle(const std::filesystem::path& file);

std::string latencyText(double latencyMs);

std::string_view engineLight(bool running, bool starting = false);
// The status bar's short word, "Audio" or "Stopped".
std::string_view engineText(bool running, bool starting = false);
// The Settings page's word, "Running" or "Stopped".
std::string_view engineState(bool running, bool starting = false);

} // namespace tamborel::ui::statusText
