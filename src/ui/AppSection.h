#pragma once
// The four pages of the main window, in the order of the tab bar and the page strip.

#include <array>
#include <optional>
#include <string_view>

namespace tamborel::ui {

enum class AppSection { pads, mixer, mapping, settings };

inline constexpr std::array<AppSection, 4> allAppSections{
    AppSection::pads, AppSection::mixer, AppSection::mapping, AppSection::settings};

// The page's title, which is also its stored text.
std::string_view rawValue(AppSection section);
// A system icon name from the program's icon vocabulary (see IconTable).
std::string_view icon(AppSection section);
std::optional<AppSection> appSectionFromRawValue(std::string_view text);

} // namespace tamborel::ui
