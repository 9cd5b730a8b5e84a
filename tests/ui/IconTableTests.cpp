#include "ui/IconTable.h"

#include "QtTestApp.h"
#include "ui/AppSection.h"
#include "ui/DrumArt.h"
#include "ui/ImageProviders.h"

#include <QIcon>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

using namespace tamborel;
using namespace tamborel::ui;

namespace {

// Icon names written in the QML, as `name: "…"` or `icon: "…"`.
std::set<std::string> iconNamesUsedByTheQml() {
    std::set<std::string> names;
    const std::regex pattern(R"((?:\bname|\bicon)\s*:\s*"([a-z0-9]+(?:\.[a-z0-9]+)+)\")");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TAMBOREL_QML_DIR)) {
        if (entry.path().extension() != ".qml")
            continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string source = text.str();
        for (std::sregex_iterator it(source.begin(), source.end(), pattern), end; it != end; ++it)
            names.insert((*it)[1]);
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
