// Every icon the program names is drawn by us or found in the icon theme: a name missing from
// the table, or a theme without the icon, leaves an empty space on its button.

#include "ui/IconTable.h"

#include "AppFolder.h"
#include "QtTestApp.h"
#include "ui/AppSection.h"
#include "ui/DrumArt.h"
#include "ui/ImageProviders.h"

#include <QIcon>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

using namespace tamborel;
using namespace tamborel::ui;

TEST(IconTable, EveryIconTheProgramNamesIsDrawnOrInTheTheme) {
    std::set<std::string> wanted;
    for (AppSection section : allAppSections)
        wanted.insert(std::string(icon(section)));
    for (PadRole role : allPadRoles)
        wanted.insert(std::string(drumArt::fallbackSymbol(role)));
    // The names the QML writes out, both sides of a choice included.
    const std::regex key(R"(\b(?:iconName|icon\.name|icon|name)\s*:([^\n]*))");
    const std::regex literal(R"re("([a-z0-9.]+)")re");
    for (const auto& file : std::filesystem::recursive_directory_iterator(TAMBOREL_QML_DIR)) {
        if (file.path().extension() != ".qml")
            continue;
        const std::string text = test::readText(file.path());
        for (std::sregex_iterator k(text.begin(), text.end(), key), end; k != end; ++k) {
            const std::string rest = (*k)[1];
            for (std::sregex_iterator l(rest.begin(), rest.end(), literal); l != end; ++l)
                wanted.insert((*l)[1]);
        }
    }
    // The hero's 3-D view names its two model nodes; they are not icons.
    wanted.erase("drum");
    wanted.erase("cymbal");
    EXPECT_TRUE(wanted.contains("ear.fill") && wanted.contains("folder"));
    for (const std::string& name : wanted)
        EXPECT_TRUE(iconFor(name).has_value()) << name;

    test::qtApp();
    useIconTheme();
    for (const IconEntry& entry : iconTable()) {
        EXPECT_NE(entry.themeName.empty(), entry.drawing.empty()) << entry.symbol;
        const QString name = QString::fromUtf8(entry.themeName.data(), std::ssize(entry.themeName));
        EXPECT_TRUE(name.isEmpty() || QIcon::hasThemeIcon(name))
            << entry.themeName << " is missing from the icon theme " << preferredIconTheme;
    }
}
