#pragma once
// The JSON documents of kits and settings: one writer, one reader, shared by every file.
// The reader rejects a document whole; it never patches or defaults a member.

#include "model/AudioSettings.h"
#include "model/DrumKit.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tamborel::documents {

// Documents larger than this, or nested deeper, are refused before parsing.
inline constexpr std::size_t maxDocumentBytes = 16u * 1024u * 1024u;
inline constexpr std::size_t maxNestingDepth = 64;

// What a read produced: the record, or why it was rejected ("pads[3].role: ...").
template <typename T> struct ReadResult {
    std::optional<T> value;
    std::string error;

    explicit operator bool() const { return value.has_value(); }
};

// The document's text; none when it could not be read back: a string that is not valid
// UTF-8, or a number that is not finite. whyNot, if given, then receives the reason.
std::optional<std::string> writeKit(const DrumKit& kit, std::string* whyNot = nullptr);
std::optional<std::string> writeSettings(const AudioSettings& settings,
                                         std::string* whyNot = nullptr);

ReadResult<DrumKit> readKit(std::string_view text);
ReadResult<AudioSettings> readSettings(std::string_view text);

} // namespace tamborel::documents
