// SoundFont banks from untrusted files, imported and then each pad's main sound read from
// inside the bank as the loader reads it.
#include "FuzzKitImport.h"

#include "audio/SampleLoader.h"

#include <fstream>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tamborel;
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("tamborel-fuzz-" + std::to_string(::getpid()) + ".sf2");
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const auto result = kitImport::readSoundFont(file);
    checkImport(result);
    if (result)
        for (const DrumPad& pad : result.kit->pads)
            if (const auto sound =
                    pad.sampleURL ? audio::SoundFile::of(*pad.sampleURL) : std::nullopt)
                audio::sampleLoader::decodeFile(*sound);
    return 0;
}
