// The status bar's text where tests/ui/qml/tst_pages.qml cannot reach: locales, odd
// numbers and file names.

#include "ui/StatusText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

using namespace tamborel::ui::statusText;

TEST(StatusText, LatencyHasOneDecimalWhateverTheLocaleAndNumber) {
    EXPECT_EQ(latencyText(10.96), "11.0 ms");
    // A locale with a decimal comma, where one is installed.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
        EXPECT_EQ(latencyText(5.804), "5.8 ms");
        std::setlocale(LC_NUMERIC, "C");
    }
    EXPECT_EQ(latencyText(std::numeric_limits<double>::quiet_NaN()), "0.0 ms");
    EXPECT_EQ(latencyText(1e300), "0.0 ms") << "no unbounded text in the bar";
}

TEST(StatusText, SavedKitsAreTitledByTheirFileName) {
    EXPECT_EQ(savedKitTitle("/k/Classic Rock.json"), "Classic Rock");
    EXPECT_EQ(savedKitTitle("/k/v1.2 Kit.json"), "v1.2 Kit");
}
