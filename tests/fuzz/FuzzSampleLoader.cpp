// Sample files of any content (WAV, AIFF, FLAC, CAF and whatever FFmpeg recognises): the
// loader refuses them or hands back a buffer whose shape it can vouch for, and converting
// that buffer to the engine's format gives the engine's format or the buffer unchanged.
#include "FuzzCheck.h"

#include "audio/SampleLoader.h"

#include <string>
#include <sys/mman.h>
#include <unistd.h>

using namespace tamborel;

namespace {

// The loader takes a path, so each input goes into one in-memory file, named through /proc.
class MemoryFile {
public:
    MemoryFile() : fd_(::memfd_create("tamborel-fuzz-sample", MFD_CLOEXEC)) {
        FUZZ_CHECK(fd_ >= 0);
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    const std::string& write(const std::uint8_t* data, std::size_t size) {
        FUZZ_CHECK(::ftruncate(fd_, 0) == 0);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            FUZZ_CHECK(n > 0);
            done += static_cast<std::size_t>(n);
        }
        return path_;
    }

private:
    int fd_;
    std::string path_;
};

// Conversion is the slow part, and under ASan resampling a long result crawls (libsoxr
// grows its buffers by realloc); long results add time but no new paths.
constexpr std::uint64_t longestConverted = 1u << 17;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryFile file;
    const auto decoded = audio::sampleLoader::decodeFile(file.write(data, size));
    if (!decoded)
        return 0;
    const audio::AudioFormat& format = decoded->format();
    FUZZ_CHECK(decoded->frameLength() > 0 && decoded->frameLength() <= decoded->frameCapacity());
    FUZZ_CHECK(format.channelCount >= 1 && format.channelCount <= 64);
    FUZZ_CHECK(format.sampleRate > 0 && format.sampleRate <= 1'536'000);
    const audio::AudioFormat target{48000.0, 2};
    if (audio::sampleLoader::convertedCapacity(decoded->frameLength(), format.sampleRate,
                                               target.sampleRate) > longestConverted)
        return 0;
    const auto converted = audio::sampleLoader::convert(decoded, target);
    FUZZ_CHECK(converted != nullptr);
    FUZZ_CHECK(converted == decoded || converted->format() == target);
    FUZZ_CHECK(converted->frameLength() <= converted->frameCapacity());
    return 0;
}
