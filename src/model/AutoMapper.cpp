#include "model/AutoMapper.h"

#include <algorithm>
#include <string>

namespace fs = std::filesystem;

namespace tamborel::autoMapper {

namespace {

std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    return text;
}

// Keyword lengths are counted in characters; every keyword is ASCII, so bytes will do.
std::size_t bestScore(const std::string& baseName, PadRole role) {
    std::size_t best = 0;
    for (std::string_view keyword : matchKeywords(role)) {
        if (baseName.find(keyword) != std::string::npos)
            best = std::max(best, keyword.size());
    }
    return best;
}

} // namespace

bool hasAudioExtension(const fs::path& file) {
    std::string extension = file.extension().string();
    if (extension.empty())
        return false;
    extension = lowerAscii(extension.substr(1));
    return std::find(audioExtensions.begin(), audioExtensions.end(), extension) !=
           audioExtensions.end();
}

Mapping map(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (hasAudioExtension(it->path()))
            files.push_back(it->path());
    }
    return map(files);
}

Mapping map(const std::vector<fs::path>& files) {
    Mapping result;
    std::map<PadRole, std::size_t> scores;
    for (const fs::path& file : files) {
        const std::string baseName = lowerAscii(file.stem().string());
        for (PadRole role : allPadRoles) {
            const std::size_t score = bestScore(baseName, role);
            if (score == 0)
                continue;
            auto known = scores.find(role);
            if (known != scores.end() && known->second >= score)
                continue;
            scores[role] = score;
            result[role] = file;
        }
    }
    return result;
}

} // namespace tamborel::autoMapper
