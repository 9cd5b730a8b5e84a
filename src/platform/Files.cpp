#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tamborel::platform {

namespace {

// mkstemp fills in the six X's, each with a letter or a digit.
constexpr std::string_view temporaryPrefix = ".tamborel-";
constexpr std::string_view temporaryPattern = ".tamborel-XXXXXX";

// Only a name mkstemp could have made from the pattern: a kit the user named ".tamborel-X"
// is saved as ".tamborel-X.json", just as long, and must never be taken for one.
bool isTemporaryName(std::string_view name) {
    if (name.size() != temporaryPattern.size() || !name.starts_with(temporaryPrefix))
        return false;
    name.remove_prefix(temporaryPrefix.size());
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

std::string describe(std::string_view what, const std::filesystem::path& path, int error) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(error);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void syncDirectory(const std::filesystem::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::optional<std::string> readFile(const std::filesystem::path& path, std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string content;
    char chunk[65536];
    while (content.size() <= maxBytes) {
        in.read(chunk, sizeof chunk);
        const auto got = static_cast<std::size_t>(in.gcount());
        content.append(chunk, std::min(got, maxBytes + 1 - content.size()));
        if (got < sizeof chunk)
            break;
    }
    if (in.bad())
        return std::nullopt;
    return content;
}

std::string writeFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    const std::filesystem::path dir =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // A short temporary name, so a target whose name is near the length limit still fits.
    std::string temp = (dir / temporaryPattern).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return describe("cannot create a file in", dir, errno);
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return describe("cannot write", temp, error);
    }
    ::fchmod(fd, 0644);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return describe("cannot write", temp, error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return describe("cannot replace", target, error);
    }
    syncDirectory(dir);
    return {};
}

int removeInterruptedWrites(const std::filesystem::path& dir, std::chrono::seconds minimumAge) {
    namespace fs = std::filesystem;
    const auto cutoff = fs::file_time_type::clock::now() - minimumAge;
    int removed = 0;
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!isTemporaryName(name))
            continue;
        std::error_code fileError;
        if (!it->is_symlink(fileError) && it->is_regular_file(fileError) &&
            it->last_write_time(fileError) <= cutoff && !fileError &&
            fs::remove(it->path(), fileError))
            ++removed;
    }
    return removed;
}

} // namespace tamborel::platform
