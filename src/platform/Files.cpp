#include "platform/Files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tamborel::platform {

namespace {

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
    std::string temp = (dir / ".tamborel-XXXXXX").string();
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

} // namespace tamborel::platform
