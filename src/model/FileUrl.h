#pragma once
// A sample location as URL text ("file:///path/Kick%201.wav"), kept exactly as written or read.

#include <compare>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tamborel {

struct FileUrl {
    std::string text;

    // The file URL of an absolute path, with the path percent-encoded.
    static FileUrl fromPath(const std::filesystem::path& path);
    // Accepts any text that parses as a URL reference, unchanged; empty text or text holding
    // characters a URL cannot carry unescaped (spaces, say) is none.
    static std::optional<FileUrl> parse(std::string_view text);

    // The local path of a "file" URL; none for other schemes or undecodable text.
    std::optional<std::filesystem::path> toPath() const;
    // The last path component, decoded ("Kick 1.wav"), or the name a piece of a file is
    // given (see SamplePiece); for text that is not a file URL, its last segment or the
    // whole text.
    std::string fileName() const;

    friend auto operator<=>(const FileUrl&, const FileUrl&) = default;
};

} // namespace tamborel
