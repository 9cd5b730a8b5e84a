#include "ui/AppSection.h"

namespace tamborel::ui {

std::string_view rawValue(AppSection section) {
    switch (section) {
    case AppSection::pads:
        return "Pads";
    case AppSection::mixer:
        return "Mixer";
    case AppSection::mapping:
        return "Mapping";
    case AppSection::settings:
        return "Settings";
    }
    return "Pads";
}

std::string_view icon(AppSection section) {
    switch (section) {
    case AppSection::pads:
        return "square.grid.2x2.fill";
    case AppSection::mixer:
        return "slider.vertical.3";
    case AppSection::mapping:
        return "pianokeys";
    case AppSection::settings:
        return "gearshape.fill";
    }
    return "square.grid.2x2.fill";
}

std::optional<AppSection> appSectionFromRawValue(std::string_view text) {
    for (AppSection section : allAppSections)
        if (rawValue(section) == text)
            return section;
    return std::nullopt;
}

} // namespace tamborel::ui
