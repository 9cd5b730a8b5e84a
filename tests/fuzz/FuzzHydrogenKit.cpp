// Hydrogen drumkit.xml text from untrusted kits. Samples are looked up under "/", so names of
// files that exist there reach the role and layer code too.
#include "FuzzKitImport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkImport(tamborel::kitImport::readHydrogen(text, "/"));
    return 0;
}
