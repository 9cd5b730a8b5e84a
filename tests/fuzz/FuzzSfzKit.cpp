// SFZ text from untrusted kits, read as if it were /kit.sfz (so #include reaches real files,
// and the missing kit.sfz includes itself only by name).
#include "FuzzKitImport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkImport(tamborel::kitImport::readSfzText(text, "/kit.sfz"));
    return 0;
}
