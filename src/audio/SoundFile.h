#pragma once
// The sound a sample names: a file, or a piece of one (see SamplePiece). Every decoder, the
// streaming reader and the converted cache take one, so a recording inside a SoundFont or a
// slice of a long file is read where it lies, like any sound file.

#include "model/FileUrl.h"
#include "model/SamplePiece.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tamborel::audio {

struct SoundFile {
    std::filesystem::path path;
    SamplePiece piece;

    SoundFile() = default;
    // The whole file.
    SoundFile(std::filesystem::path file) : path(std::move(file)) {}
    SoundFile(const std::string& file) : path(file) {}
    SoundFile(const char* file) : path(file) {}
    SoundFile(std::filesystem::path file, SamplePiece part)
        : path(std::move(file)), piece(std::move(part)) {}

    // The sound a sample's URL names; none for a URL that is not a local file or whose piece
    // makes no sense.
    static std::optional<SoundFile> of(const FileUrl& url) {
        auto file = url.toPath();
        auto part = SamplePiece::of(url);
        if (!file || !part)
            return std::nullopt;
        return SoundFile{std::move(*file), std::move(*part)};
    }
    // For log lines: the piece's own name, else the file's.
    std::string name() const { return piece.name.empty() ? path.filename().string() : piece.name; }
    // Tells pieces of one file apart, for keys and logs.
    std::string key() const { return piece.in(FileUrl::fromPath(path)).text; }
};

} // namespace tamborel::audio
