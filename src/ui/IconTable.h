#pragma once
// The program names its icons by the system icon names of its original platform. This is
// the one place that says what each of those names shows here: an icon of the installed
// freedesktop icon theme, or one of our own small drawings where the theme has nothing
// that fits.

#include <optional>
#include <span>
#include <string_view>

namespace tamborel::ui {

struct IconEntry {
    std::string_view symbol;    // the name the pages use, e.g. "speaker.wave.2.fill"
    std::string_view themeName; // freedesktop icon name; empty when drawn by us
    std::string_view drawing;   // name of our own drawing (IconDrawing.qml); empty otherwise
};

std::span<const IconEntry> iconTable();
std::optional<IconEntry> iconFor(std::string_view symbol);

// The icon theme the table was chosen from; the application asks for it at start-up.
inline constexpr std::string_view preferredIconTheme = "breeze-dark";

} // namespace tamborel::ui
