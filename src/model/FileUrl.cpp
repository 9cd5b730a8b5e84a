#include "model/FileUrl.h"

#include "model/SamplePiece.h"

#include <uriparser/Uri.h>

#include <memory>
#include <vector>

namespace tamborel {

namespace {

// Owns one parsed URI and frees it on every path out.
class ParsedUri {
public:
    explicit ParsedUri(const std::string& text) {
        const char* errorPos = nullptr;
        ok_ = uriParseSingleUriExA(&uri_, text.data(), text.data() + text.size(), &errorPos) ==
              URI_SUCCESS;
    }
    ~ParsedUri() {
        if (ok_)
            uriFreeUriMembersA(&uri_);
    }
    ParsedUri(const ParsedUri&) = delete;
    ParsedUri& operator=(const ParsedUri&) = delete;

    bool ok() const { return ok_; }
    const UriUriA& uri() const { return uri_; }

private:
    UriUriA uri_{};
    bool ok_ = false;
};

std::string rangeText(const UriTextRangeA& range) {
    if (range.first == nullptr || range.afterLast == nullptr)
        return {};
    return std::string(range.first, range.afterLast);
}

// Percent-decodes one path segment; none when it decodes to a NUL or a slash, which no
// file name can hold.
std::optional<std::string> decodeSegment(std::string segment) {
    std::vector<char> buffer(segment.begin(), segment.end());
    buffer.push_back('\0');
    const char* end = uriUnescapeInPlaceExA(buffer.data(), URI_FALSE, URI_BR_DONT_TOUCH);
    std::string decoded(static_cast<const char*>(buffer.data()), end);
    if (decoded.find('\0') != std::string::npos || decoded.find('/') != std::string::npos)
        return std::nullopt;
    return decoded;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

FileUrl FileUrl::fromPath(const std::filesystem::path& path) {
    const std::string native = path.string();
    std::vector<char> buffer(8 + 3 * native.size() + 1, '\0');
    if (uriUnixFilenameToUriStringA(native.c_str(), buffer.data()) != URI_SUCCESS)
        return FileUrl{};
    return FileUrl{std::string(buffer.data())};
}

std::optional<FileUrl> FileUrl::parse(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    const std::string owned(text);
    if (owned.find('\0') != std::string::npos || !ParsedUri(owned).ok())
        return std::nullopt;
    return FileUrl{owned};
}

std::optional<std::filesystem::path> FileUrl::toPath() const {
    ParsedUri parsed(text);
    if (!parsed.ok())
        return std::nullopt;
    const UriUriA& uri = parsed.uri();
    if (!equalsIgnoringCase(rangeText(uri.scheme), "file"))
        return std::nullopt;
    const std::string host = rangeText(uri.hostText);
    if (!host.empty() && !equalsIgnoringCase(host, "localhost"))
        return std::nullopt;
    std::string path;
    for (const UriPathSegmentA* segment = uri.pathHead; segment != nullptr;
         segment = segment->next) {
        auto decoded = decodeSegment(rangeText(segment->text));
        if (!decoded)
            return std::nullopt;
        path += '/';
        path += *decoded;
    }
    if (path.empty())
        return std::nullopt;
    return std::filesystem::path(path);
}

std::string FileUrl::fileName() const {
    // A sound inside a bigger file goes by its own name there.
    if (text.find('#') != std::string::npos)
        if (const auto piece = SamplePiece::of(*this); piece && !piece->name.empty())
            return piece->name;
    if (auto path = toPath())
        return path->filename().string();
    // Not a local file: the last segment of the URL, decoded where possible, so a log line
    // still names what failed.
    ParsedUri parsed(text);
    if (parsed.ok() && parsed.uri().pathTail != nullptr) {
        const std::string last = rangeText(parsed.uri().pathTail->text);
        return decodeSegment(last).value_or(last);
    }
    return text;
}

} // namespace tamborel
