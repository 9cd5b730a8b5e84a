// Kit and settings documents from untrusted files: the reader either rejects a document with
// a reason or yields a record that the writer saves and the reader takes back unchanged. A
// kit that loads but cannot be saved and loaded again is a kit the user loses.
#include "FuzzCheck.h"

#include "model/Documents.h"

#include <string_view>

using namespace tamborel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const auto kit = documents::readKit(text);
    FUZZ_CHECK(kit.value.has_value() == kit.error.empty());
    if (kit) {
        const auto written = documents::writeKit(*kit.value);
        FUZZ_CHECK(written.has_value());
        const auto again = documents::readKit(*written);
        FUZZ_CHECK(again && *again.value == *kit.value &&
                   documents::writeKit(*again.value) == written);
    }

    const auto settings = documents::readSettings(text);
    FUZZ_CHECK(settings.value.has_value() == settings.error.empty());
    if (settings) {
        const auto written = documents::writeSettings(*settings.value);
        FUZZ_CHECK(written.has_value());
        const auto again = documents::readSettings(*written);
        FUZZ_CHECK(again && *again.value == *settings.value);
    }
    return 0;
}
