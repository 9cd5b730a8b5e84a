#include "model/SampleSets.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace tamborel::sampleSets {

namespace {

constexpr std::pair<std::string_view, int> dynamicsWords[] = {
    {"ppp", 1}, {"pp", 2},  {"p", 3},    {"mp", 4},  {"mf", 5},     {"f", 6},
    {"ff", 7},  {"fff", 8}, {"soft", 2}, {"med", 5}, {"medium", 5}, {"hard", 7}};

std::optional<int> number(std::string_view text) {
    int value = 0;
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool isSeparator(char c) {
    return c == ' ' || c == '_' || c == '-' || c == '.';
}

} // namespace

NameParts parse(const fs::path& file) {
    std::string stem = file.stem().string();
    std::transform(stem.begin(), stem.end(), stem.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    NameParts parts;
    for (int round = 0; round < 2; ++round) {
        const std::size_t cut = stem.find_last_of(" _-.");
        if (cut == std::string::npos)
            break;
        const std::string_view token = std::string_view(stem).substr(cut + 1);
        bool used = false;
        if (auto n = number(token); n && !parts.take) {
            parts.take = *n;
            used = true;
        } else if (token.starts_with("rr") && number(token.substr(2)) && !parts.take) {
            parts.take = number(token.substr(2));
            used = true;
        } else if (token.size() >= 2 && token[0] == 'v' && number(token.substr(1)) &&
                   !parts.level) {
            parts.level = number(token.substr(1));
            used = true;
        } else if (!parts.level) {
            for (auto [word, level] : dynamicsWords)
                if (token == word) {
                    parts.level = level;
                    used = true;
                }
        }
        if (!used)
            break;
        stem.erase(cut);
        while (!stem.empty() && isSeparator(stem.back()))
            stem.pop_back();
    }
    parts.stem = stem;
    return parts;
}

bool sizesNotTakes(const std::vector<fs::path>& files) {
    std::set<int> numbers;
    for (const fs::path& file : files) {
        const NameParts parts = parse(file);
        if (!parts.take || parts.level || *parts.take < 6 || *parts.take > 30)
            return false;
        numbers.insert(*parts.take);
    }
    return numbers.size() >= 2;
}

bool unrelatedNames(const std::vector<fs::path>& files) {
    std::set<std::string> stems;
    for (const fs::path& file : files) {
        std::string stem = parse(file).stem;
        const auto trim = [&] {
            while (!stem.empty() &&
                   ((stem.back() >= '0' && stem.back() <= '9') || isSeparator(stem.back())))
                stem.pop_back();
        };
        trim();
        // A take lettered "snare a", "snare b".
        if (stem.size() >= 2 && isSeparator(stem[stem.size() - 2]) &&
            std::isalpha(static_cast<unsigned char>(stem.back()))) {
            stem.pop_back();
            trim();
        }
        stems.insert(stem);
    }
    return stems.size() > 1;
}

std::vector<PadSample> arrange(const std::vector<Recording>& recordings) {
    struct Entry {
        const Recording* recording;
        NameParts parts;
    };
    std::vector<Entry> entries;
    for (const Recording& r : recordings)
        entries.push_back({&r, parse(r.file)});
    const bool named = std::any_of(entries.begin(), entries.end(),
                                   [](const Entry& e) { return e.parts.level.has_value(); });
    const bool measured = std::all_of(entries.begin(), entries.end(), [](const Entry& e) {
        return e.recording->attackDb.has_value();
    });

    std::vector<std::vector<const Entry*>> layers;
    if (named) {
        std::map<int, std::vector<const Entry*>> byLevel;
        for (const Entry& e : entries)
            if (e.parts.level)
                byLevel[*e.parts.level].push_back(&e);
        for (auto& [level, members] : byLevel)
            layers.push_back(members);
        const auto meanDb = [](const std::vector<const Entry*>& layer) {
            double sum = 0;
            for (const Entry* e : layer)
                sum += e->recording->attackDb.value_or(0.0);
            return sum / static_cast<double>(layer.size());
        };
        for (const Entry& e : entries) {
            if (e.parts.level)
                continue;
            std::size_t best = layers.size() - 1;
            if (measured)
                for (std::size_t i = 0; i < layers.size(); ++i)
                    if (std::fabs(meanDb(layers[i]) - *e.recording->attackDb) <
                        std::fabs(meanDb(layers[best]) - *e.recording->attackDb))
                        best = i;
            layers[best].push_back(&e);
        }
    } else if (measured && !entries.empty()) {
        std::vector<const Entry*> byLoudness;
        for (const Entry& e : entries)
            byLoudness.push_back(&e);
        std::stable_sort(byLoudness.begin(), byLoudness.end(), [](const Entry* a, const Entry* b) {
            return *a->recording->attackDb < *b->recording->attackDb;
        });
        double softest = 0;
        for (const Entry* e : byLoudness) {
            if (layers.empty() || *e->recording->attackDb > softest + 3.0) {
                layers.emplace_back();
                softest = *e->recording->attackDb;
            }
            layers.back().push_back(e);
        }
    } else if (!entries.empty()) {
        layers.emplace_back();
        for (const Entry& e : entries)
            layers.back().push_back(&e);
    }

    std::vector<PadSample> samples;
    const int count = static_cast<int>(layers.size());
    for (int i = 0; i < count; ++i) {
        auto& layer = layers[static_cast<std::size_t>(i)];
        std::stable_sort(layer.begin(), layer.end(), [](const Entry* a, const Entry* b) {
            const int ta = a->parts.take.value_or(0), tb = b->parts.take.value_or(0);
            if (ta != tb)
                return ta < tb;
            return a->recording->file.filename() < b->recording->file.filename();
        });
        for (const Entry* e : layer)
            samples.push_back({FileUrl::fromPath(e->recording->file), 1 + 127 * i / count,
                               127 * (i + 1) / count});
    }
    return samples;
}

std::size_t mainOf(const std::vector<PadSample>& samples) {
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (samples[i].low <= 100 && samples[i].high >= 100)
            return i;
    return 0;
}

} // namespace tamborel::sampleSets
