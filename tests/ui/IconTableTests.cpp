#include "ui/IconTable.h"

#include "QtTestApp.h"
#include "ui/AppSection.h"
#include "ui/DrumArt.h"
#include "ui/ImageProviders.h"

#include <QIcon>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

using namespace tamborel;
using namespace tamborel::ui;

namespace {

// The quoted text after `key:`, when it looks like a system icon name ("speaker.wave.2.fill").
void collectIconNames(const std::string& source, std::string_view key,
                      std::set<std::string>& names) {
    const auto isNameChar = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.';
    };
    for (std::size_t at = source.find(key); at != std::string::npos;
         at = source.find(key, at + 1)) {
        if (at > 0 && isNameChar(source[at - 1]))
            continue; // part of a longer word, such as "fallbackIcon:"
        std::size_t i = at + key.size();
        while (i < source.size() && source[i] == ' ')
            ++i;
        if (i >= source.size() || source[i] != '"')
            continue;
        const std::size_t close = source.find('"', i + 1);
        if (close == std::string::npos)
            continue;
        const std::string text = source.substr(i + 1, close - i - 1);
        if (!text.empty() && text.find('.') != std::string::npos &&
            std::all_of(text.begin(), text.end(), isNameChar))
            names.insert(text);
    }
}

// Icon names written in the QML, as `name: "…"` or `icon: "…"`.
std::set<std::string> iconNamesUsedByTheQml() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TAMBOREL_QML_DIR)) {
        if (entry.path().extension() != ".qml")
            continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        collectIconNames(text.str(), "name:", names);
        collectIconNames(text.str(), "icon:", names);
    }
    return names;
}

} // namespace

TEST(IconTable, EveryIconTheProgramNamesHasAnEntry) {
    std::set<std::string> wanted = iconNamesUsedByTheQml();
    EXPECT_FALSE(wanted.empty());
    for (AppSection section : allAppSections)
        wanted.insert(std::string(icon(section)));
    for (PadRole role : allPadRoles)
        wanted.insert(std::string(drumArt::fallbackSymbol(role)));
    for (const std::string& name : wanted)
        EXPECT_TRUE(iconFor(name).has_value()) << name;
}

TEST(IconTable, EachEntryIsEitherThemedOrDrawnAndThemedOnesExist) {
    test::qtApp();
    useIconTheme();
    std::set<std::string_view> symbols;
    for (const IconEntry& entry : iconTable()) {
        EXPECT_TRUE(symbols.insert(entry.symbol).second) << "twice: " << entry.symbol;
        EXPECT_NE(entry.themeName.empty(), entry.drawing.empty()) << entry.symbol;
        if (!entry.themeName.empty()) {
            const QString name =
                QString::fromUtf8(entry.themeName.data(), std::ssize(entry.themeName));
            EXPECT_TRUE(QIcon::hasThemeIcon(name))
                << entry.themeName << " is missing from the icon theme " << preferredIconTheme;
        }
    }
}
