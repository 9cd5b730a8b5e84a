#include "model/AutoMapper.h"

#include "model/SampleSelection.h"
#include "model/SampleSets.h"

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

std::vector<fs::path> audioFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (hasAudioExtension(it->path()))
            files.push_back(it->path());
    }
    return files;
}

Mapping map(const fs::path& folder) {
    return map(audioFiles(folder));
}

SetMapping sets(const Mapping& mapping, const std::vector<fs::path>& files) {
    SetMapping result;
    for (const auto& [role, mapped] : mapping) {
        const sampleSets::NameParts main = sampleSets::parse(mapped);
        if (!main.marked())
            continue;
        const std::size_t score = bestScore(lowerAscii(mapped.stem().string()), role);
        std::vector<fs::path> members;
        for (const fs::path& file : files) {
            const sampleSets::NameParts parts = sampleSets::parse(file);
            if (parts.marked() && parts.stem == main.stem &&
                bestScore(lowerAscii(file.stem().string()), role) == score)
                members.push_back(file);
        }
        // A set larger than a pad can hold maps as a single file; so do cymbals of several
        // sizes, which are not takes of one.
        if (members.size() > 1 && members.size() <= selection::maxSamplesPerPad &&
            !sampleSets::sizesNotTakes(members))
            result[role] = std::move(members);
    }
    return result;
}

void fill(DrumPad& pad, const fs::path& file, const std::vector<fs::path>& set) {
    pad.sampleURL = FileUrl::fromPath(file);
    pad.samples.clear();
    if (set.size() < 2)
        return;
    std::vector<sampleSets::Recording> recordings;
    for (const fs::path& member : set)
        recordings.push_back({member, std::nullopt});
    pad.samples = sampleSets::arrange(recordings);
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
    // A second crash by size ("Crash 16", "Crash 18") is the second crash when none is named.
    if (const auto crash = result.find(PadRole::crash1);
        crash != result.end() && !result.count(PadRole::crash2)) {
        const std::string stem = sampleSets::parse(crash->second).stem;
        for (const fs::path& file : files)
            if (file != crash->second && sampleSets::parse(file).stem == stem &&
                bestScore(lowerAscii(file.stem().string()), PadRole::crash1) ==
                    scores[PadRole::crash1] &&
                sampleSets::sizesNotTakes({crash->second, file})) {
                result[PadRole::crash2] = file;
                break;
            }
    }
    return result;
}

} // namespace tamborel::autoMapper
