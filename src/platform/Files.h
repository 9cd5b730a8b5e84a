#pragma once
// Whole-file reads and crash-safe whole-file writes. Blocking file I/O: never call from a
// real-time thread.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tamborel::platform {

// Reads at most maxBytes + 1 bytes, so a caller can tell an over-long file without
// reading all of it. None when the file cannot be opened or read.
std::optional<std::string> readFile(const std::filesystem::path& path, std::size_t maxBytes);

// Writes bytes to a temporary file beside the target, flushes it to disk and renames it
// over the target: the target is always either the old or the new content. Returns an
// empty string on success, otherwise the reason, and the target is untouched.
std::string writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// Deletes the temporary files that writeFileAtomically leaves in dir when the process dies
// mid-write: only names it makes, only regular files untouched for at least minimumAge (a
// write in progress elsewhere keeps its file fresh). Returns how many were deleted.
int removeInterruptedWrites(const std::filesystem::path& dir, std::chrono::seconds minimumAge);

} // namespace tamborel::platform
