// SoundFont 2 banks (and SoundFont 3, whose samples are Ogg Vorbis) read as drum kits: the
// preset's zones combined with their instruments' as the SoundFont 2.04 format says, every
// key that sounds becoming an instrument of the kit, its recordings played in place from the
// bank's sample data. Only the preset tables are read into memory; the sample data is not.

#include "model/SamplePiece.h"
#include "model/import/KitImport.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace tamborel::kitImport {

namespace fs = std::filesystem;

namespace {

// The preset tables of a bank are small (FluidR3_GM's: half a megabyte); more than this is
// taken for a corrupt size rather than read.
constexpr std::uint64_t maxPresetDataBytes = 32u << 20;

// Generators by their number in the format.
enum Gen : std::uint16_t {
    startOffset = 0,
    endOffset = 1,
    startCoarseOffset = 4,
    filterFc = 8,
    filterQ = 9,
    modEnvToFilterFc = 11,
    endCoarseOffset = 12,
    panGen = 17,
    releaseVolEnv = 38,
    instrumentGen = 41,
    keyRange = 43,
    velRange = 44,
    attenuation = 48,
    coarseTune = 51,
    fineTune = 52,
    sampleId = 53,
    scaleTuning = 56,
    exclusiveClass = 57,
    rootKey = 58,
    genCount = 61,
};

struct Zone {
    std::array<std::int32_t, genCount> value{};
    std::bitset<genCount> set;
    int keyLow = 0, keyHigh = 127, velLow = 0, velHigh = 127;

    std::int32_t get(Gen gen, std::int32_t fallback = 0) const {
        return set[gen] ? value[gen] : fallback;
    }
    // The zone over a global one: what it sets replaces the global's.
    Zone over(const Zone& global) const {
        Zone out = global;
        for (std::size_t g = 0; g < genCount; ++g)
            if (set[g]) {
                out.value[g] = value[g];
                out.set[g] = true;
            }
        if (set[keyRange]) {
            out.keyLow = keyLow;
            out.keyHigh = keyHigh;
        }
        if (set[velRange]) {
            out.velLow = velLow;
            out.velHigh = velHigh;
        }
        return out;
    }
};

struct SampleHeader {
    std::string name;
    std::uint32_t start = 0, end = 0, rate = 0;
    std::uint8_t originalPitch = 60;
    std::int8_t correction = 0;
    std::uint16_t type = 1;
};

struct Table {
    std::string name;
    std::uint16_t program = 0, bank = 0;
    std::vector<Zone> zones; // the global zone, if any, first and flagged
    bool global = false;
};

struct Bank {
    std::vector<Table> presets;
    std::vector<Table> instruments;
    std::vector<SampleHeader> samples;
    std::uint64_t smplAt = 0, smplBytes = 0, sm24At = 0, sm24Bytes = 0;
    bool compressed = false; // SoundFont 3
    std::vector<std::string> badZones;
};

std::uint16_t u16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t u32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
std::string nameOf(const unsigned char* p) {
    std::string text(reinterpret_cast<const char*>(p), 20);
    text.resize(std::strlen(text.c_str()));
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return printable(text);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool readAt(std::FILE* file, std::uint64_t at, void* into, std::size_t bytes) {
    return fseeko(file, static_cast<off_t>(at), SEEK_SET) == 0 &&
           std::fread(into, 1, bytes, file) == bytes;
}

// One table of the preset data: its records, each `size` bytes.
struct Records {
    const unsigned char* data = nullptr;
    std::size_t count = 0;
    std::size_t size = 0;
    const unsigned char* at(std::size_t i) const { return data + i * size; }
};

// Zones of presets or instruments from their headers, bags and generators. A header's zones
// run from its bag to the next header's; a zone's generators from its bag's to the next.
bool readZones(std::vector<Table>& tables, const std::vector<std::size_t>& firstBags,
               const Records& bags, const Records& gens, Gen terminal) {
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const std::size_t from = firstBags[t], to = firstBags[t + 1];
        if (from > to || to >= bags.count)
            return false;
        for (std::size_t b = from; b < to; ++b) {
            const std::size_t g0 = u16(bags.at(b)), g1 = u16(bags.at(b + 1));
            if (g0 > g1 || g1 > gens.count)
                return false;
            Zone zone;
            for (std::size_t g = g0; g < g1; ++g) {
                const unsigned char* rec = gens.at(g);
                const std::uint16_t oper = u16(rec);
                if (oper >= genCount)
                    continue;
                if (oper == keyRange) {
                    zone.keyLow = std::min<int>(rec[2], 127);
                    zone.keyHigh = std::min<int>(rec[3], 127);
                } else if (oper == velRange) {
                    zone.velLow = std::min<int>(rec[2], 127);
                    zone.velHigh = std::min<int>(rec[3], 127);
                }
                zone.value[oper] = oper == instrumentGen || oper == sampleId
                                       ? u16(rec + 2)
                                       : static_cast<std::int16_t>(u16(rec + 2));
                zone.set[oper] = true;
            }
            // The first zone is global when it names no instrument (or sample); any other
            // such zone means nothing and is passed over.
            if (!zone.set[terminal]) {
                if (b == from && to - from > 1) {
                    tables[t].zones.insert(tables[t].zones.begin(), zone);
                    tables[t].global = true;
                }
                continue;
            }
            tables[t].zones.push_back(zone);
        }
    }
    return true;
}

std::optional<Bank> parseTables(const std::vector<unsigned char>& pdta, std::string& whyNot) {
    std::map<std::string, Records> found;
    const std::map<std::string, std::size_t> recordSize = {
        {"phdr", 38}, {"pbag", 4},  {"pmod", 10}, {"pgen", 4}, {"inst", 22},
        {"ibag", 4},  {"imod", 10}, {"igen", 4},  {"shdr", 46}};
    for (std::size_t at = 4; at + 8 <= pdta.size();) {
        const std::string id(reinterpret_cast<const char*>(&pdta[at]), 4);
        const std::uint64_t size = u32(&pdta[at + 4]);
        if (size > pdta.size() - at - 8) {
            whyNot = "its preset data is cut short";
            return std::nullopt;
        }
        if (const auto known = recordSize.find(id); known != recordSize.end()) {
            if (size % known->second != 0) {
                whyNot = "its " + id + " table is malformed";
                return std::nullopt;
            }
            found[id] = {&pdta[at + 8], size / known->second, known->second};
        }
        at += 8 + size + (size & 1);
    }
    for (const auto& [id, size] : recordSize)
        if (!found.contains(id) || found[id].count < (id == "phdr" ? 2u : 1u)) {
            whyNot = "it has no " + id + " table";
            return std::nullopt;
        }
    Bank bank;
    std::vector<std::size_t> presetBags, instrumentBags;
    const Records& phdr = found["phdr"];
    for (std::size_t i = 0; i < phdr.count; ++i) {
        if (i + 1 < phdr.count)
            bank.presets.push_back(
                {nameOf(phdr.at(i)), u16(phdr.at(i) + 20), u16(phdr.at(i) + 22), {}, false});
        presetBags.push_back(u16(phdr.at(i) + 24));
    }
    const Records& inst = found["inst"];
    for (std::size_t i = 0; i < inst.count; ++i) {
        if (i + 1 < inst.count)
            bank.instruments.push_back({nameOf(inst.at(i)), 0, 0, {}, false});
        instrumentBags.push_back(u16(inst.at(i) + 20));
    }
    if (std::size_t zones = found["pbag"].count + found["ibag"].count; zones > 2 * maxRegions) {
        whyNot = "it has " + std::to_string(zones) + " zones, more than a kit can hold";
        return std::nullopt;
    }
    if (!readZones(bank.presets, presetBags, found["pbag"], found["pgen"], instrumentGen) ||
        !readZones(bank.instruments, instrumentBags, found["ibag"], found["igen"], sampleId)) {
        whyNot = "its zones point past its tables";
        return std::nullopt;
    }
    const Records& shdr = found["shdr"];
    for (std::size_t i = 0; i + 1 < shdr.count; ++i) {
        const unsigned char* r = shdr.at(i);
        bank.samples.push_back({nameOf(r), u32(r + 20), u32(r + 24), u32(r + 36), r[40],
                                static_cast<std::int8_t>(r[41]), u16(r + 44)});
    }
    return bank;
}

// The bank's tables and where its sample data lies, without reading the samples.
std::optional<Bank> readBank(const fs::path& path, std::string& whyNot) {
    const std::string fileName = path.filename().string();
    std::error_code ec;
    const std::uint64_t fileBytes = fs::is_regular_file(path, ec) ? fs::file_size(path, ec) : 0;
    File file(fileBytes > 0 && !ec ? std::fopen(path.c_str(), "rb") : nullptr);
    unsigned char header[12];
    if (!file || !readAt(file.get(), 0, header, 12)) {
        whyNot = "cannot read " + fileName;
        return std::nullopt;
    }
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "sfbk", 4) != 0) {
        whyNot = fileName + " is not a SoundFont";
        return std::nullopt;
    }
    const std::uint64_t end = 8 + std::uint64_t{u32(header + 4)};
    if (end > fileBytes) {
        whyNot = fileName + " is cut short";
        return std::nullopt;
    }
    std::optional<Bank> bank;
    std::uint64_t smplAt = 0, smplBytes = 0, sm24At = 0, sm24Bytes = 0;
    bool compressed = false;
    for (std::uint64_t at = 12; at + 12 <= end;) {
        unsigned char list[12];
        if (!readAt(file.get(), at, list, 12)) {
            whyNot = "cannot read " + fileName;
            return std::nullopt;
        }
        const std::uint64_t size = u32(list + 4);
        if (size > end - at - 8) {
            whyNot = "a chunk of " + fileName + " runs past its end";
            return std::nullopt;
        }
        if (std::memcmp(list, "LIST", 4) == 0 && size >= 4) {
            const std::string type(reinterpret_cast<const char*>(list + 8), 4);
            // The sound data and the information lists hold small chunks: walk them.
            for (std::uint64_t sub = at + 12;
                 (type == "sdta" || type == "INFO") && sub + 8 <= at + 8 + size;) {
                unsigned char chunk[12];
                if (!readAt(file.get(), sub, chunk, 12))
                    break;
                const std::uint64_t bytes = u32(chunk + 4);
                if (bytes > at + 8 + size - sub - 8) {
                    whyNot = "a chunk of " + fileName + " runs past its end";
                    return std::nullopt;
                }
                if (std::memcmp(chunk, "smpl", 4) == 0)
                    std::tie(smplAt, smplBytes) = std::pair{sub + 8, bytes};
                else if (std::memcmp(chunk, "sm24", 4) == 0)
                    std::tie(sm24At, sm24Bytes) = std::pair{sub + 8, bytes};
                else if (std::memcmp(chunk, "ifil", 4) == 0)
                    compressed = u16(chunk + 8) >= 3;
                sub += 8 + bytes + (bytes & 1);
            }
            if (type == "pdta") {
                if (size > maxPresetDataBytes) {
                    whyNot = "the preset data of " + fileName + " is too large";
                    return std::nullopt;
                }
                std::vector<unsigned char> pdta(size);
                if (!readAt(file.get(), at + 8, pdta.data(), size)) {
                    whyNot = "cannot read " + fileName;
                    return std::nullopt;
                }
                bank = parseTables(pdta, whyNot);
                if (!bank) {
                    whyNot = fileName + ": " + whyNot;
                    return std::nullopt;
                }
            }
        }
        at += 8 + size + (size & 1);
    }
    if (!bank || smplBytes == 0) {
        whyNot = fileName + (bank ? " holds no samples" : " holds no presets");
        return std::nullopt;
    }
    bank->smplAt = smplAt;
    bank->smplBytes = smplBytes;
    // The 24-bit extension is used only when it covers every frame.
    if (sm24Bytes >= smplBytes / 2) {
        bank->sm24At = sm24At;
        bank->sm24Bytes = sm24Bytes;
    }
    bank->compressed = compressed;
    return bank;
}

// The General MIDI percussion names, for keys whose instrument plays several drums.
constexpr std::array<const char*, 47> gmNames = {"Acoustic Bass Drum",
                                                 "Bass Drum 1",
                                                 "Side Stick",
                                                 "Acoustic Snare",
                                                 "Hand Clap",
                                                 "Electric Snare",
                                                 "Low Floor Tom",
                                                 "Closed Hi-Hat",
                                                 "High Floor Tom",
                                                 "Pedal Hi-Hat",
                                                 "Low Tom",
                                                 "Open Hi-Hat",
                                                 "Low-Mid Tom",
                                                 "Hi-Mid Tom",
                                                 "Crash Cymbal 1",
                                                 "High Tom",
                                                 "Ride Cymbal 1",
                                                 "Chinese Cymbal",
                                                 "Ride Bell",
                                                 "Tambourine",
                                                 "Splash Cymbal",
                                                 "Cowbell",
                                                 "Crash Cymbal 2",
                                                 "Vibraslap",
                                                 "Ride Cymbal 2",
                                                 "Hi Bongo",
                                                 "Low Bongo",
                                                 "Mute Hi Conga",
                                                 "Open Hi Conga",
                                                 "Low Conga",
                                                 "High Timbale",
                                                 "Low Timbale",
                                                 "High Agogo",
                                                 "Low Agogo",
                                                 "Cabasa",
                                                 "Maracas",
                                                 "Short Whistle",
                                                 "Long Whistle",
                                                 "Short Guiro",
                                                 "Long Guiro",
                                                 "Claves",
                                                 "Hi Wood Block",
                                                 "Low Wood Block",
                                                 "Mute Cuica",
                                                 "Open Cuica",
                                                 "Mute Triangle",
                                                 "Open Triangle"};

std::string keyName(int key) {
    if (key >= 35 && key < 35 + static_cast<int>(gmNames.size()))
        return gmNames[static_cast<std::size_t>(key - 35)];
    return "Key " + std::to_string(key);
}

// FluidSynth, like the EMU hardware SoundFonts were made on, applies 40% of the attenuation a
// zone states.
constexpr double attenuationScale = 0.4;

// A mono recording placed as the format places it (an equal-power pan) in our balance law:
// the same ratio of left to right, and the same loudest side relative to a centred sound.
void place(PadSample& sample, int pan) {
    const double angle = (std::clamp(pan, -500, 500) + 500) / 1000.0 * (M_PI / 2);
    const double left = std::cos(angle), right = std::sin(angle);
    sample.pan = static_cast<float>(right >= left ? 1.0 - left / right : right / left - 1.0);
    sample.gain *= static_cast<float>(std::max(left, right) / std::sqrt(0.5));
}

struct Layer {
    PadSample sample;
    float release = 0.0f; // seconds
    int exclusive = 0;
    std::size_t instrument = 0;
};

// What a strike of `key` plays in the preset: one layer per instrument zone that sounds.
std::vector<Layer> layersOf(const Bank& bank, const Table& preset, int key, const fs::path& file,
                            std::vector<std::string>& badZones) {
    std::vector<Layer> layers;
    const FileUrl url = FileUrl::fromPath(file);
    const Zone none;
    const Zone& presetGlobal = preset.global ? preset.zones.front() : none;
    for (std::size_t p = preset.global ? 1 : 0; p < preset.zones.size(); ++p) {
        const Zone pz = preset.zones[p].over(presetGlobal);
        if (key < pz.keyLow || key > pz.keyHigh)
            continue;
        const auto i = static_cast<std::size_t>(pz.value[instrumentGen]);
        if (i >= bank.instruments.size()) {
            badZones.push_back(preset.name + " (no such instrument)");
            continue;
        }
        const Table& instrument = bank.instruments[i];
        const Zone& instrumentGlobal = instrument.global ? instrument.zones.front() : none;
        for (std::size_t z = instrument.global ? 1 : 0; z < instrument.zones.size(); ++z) {
            const Zone iz = instrument.zones[z].over(instrumentGlobal);
            const int velLow = std::max(pz.velLow, iz.velLow);
            const int velHigh = std::min(pz.velHigh, iz.velHigh);
            if (key < iz.keyLow || key > iz.keyHigh || velLow > velHigh)
                continue;
            const auto s = static_cast<std::size_t>(iz.value[sampleId]);
            if (s >= bank.samples.size()) {
                badZones.push_back(instrument.name + " (no such sample)");
                continue;
            }
            const SampleHeader& header = bank.samples[s];
            if (header.rate == 0 || header.rate > 1'536'000 || (header.type & 0x8000) != 0) {
                badZones.push_back(header.name + " (not playable)");
                continue;
            }
            const std::int64_t startShift =
                iz.get(startOffset) + 32768 * std::int64_t{iz.get(startCoarseOffset)};
            const std::int64_t endShift =
                iz.get(endOffset) + 32768 * std::int64_t{iz.get(endCoarseOffset)};
            SamplePiece piece;
            piece.name = header.name;
            if (bank.compressed && (header.type & 0x10) != 0) {
                // An Ogg Vorbis stream: its bytes in the sample data; offsets in its frames.
                if (header.end <= header.start || header.end > bank.smplBytes || startShift < 0) {
                    badZones.push_back(header.name + " (outside the sample data)");
                    continue;
                }
                piece.at = bank.smplAt + header.start;
                piece.bytes = header.end - header.start;
                piece.start = static_cast<std::uint64_t>(startShift);
            } else {
                const std::int64_t first = std::int64_t{header.start} + startShift;
                const std::int64_t last = std::int64_t{header.end} + endShift;
                if (first < 0 || last <= first ||
                    static_cast<std::uint64_t>(last) > bank.smplBytes / 2) {
                    badZones.push_back(header.name + " (outside the sample data)");
                    continue;
                }
                piece.at = bank.smplAt + 2 * static_cast<std::uint64_t>(first);
                piece.encoding = SamplePiece::Encoding::pcm16;
                piece.frames = static_cast<std::uint64_t>(last - first);
                piece.rate = header.rate;
                if (bank.sm24At != 0)
                    piece.low24At = bank.sm24At + static_cast<std::uint64_t>(first);
            }
            // Tuning: the key's distance from the root, scaled, plus the coarse and fine
            // tunings of both levels and the sample's own correction.
            const int root = iz.get(rootKey, -1) >= 0 && iz.get(rootKey, -1) <= 127
                                 ? iz.get(rootKey)
                                 : (header.originalPitch <= 127 ? header.originalPitch : 60);
            const int scale = iz.get(scaleTuning, 100) + pz.get(scaleTuning);
            const double cents = (key - root) * scale +
                                 100.0 * (iz.get(coarseTune) + pz.get(coarseTune)) +
                                 iz.get(fineTune) + pz.get(fineTune) + header.correction;
            piece.cents = std::clamp(cents, -maxPieceCents, maxPieceCents);
            // The zone's low-pass filter where it sets one below the open default, opened by
            // the modulation envelope's peak as a strike starts; not the velocity's share.
            const int cutoff = iz.get(filterFc, 13500) + pz.get(filterFc) +
                               iz.get(modEnvToFilterFc) + pz.get(modEnvToFilterFc);
            if (cutoff < 13500) {
                piece.lowpass = 8.176 * std::exp2(std::max(cutoff, 1500) / 1200.0);
                piece.resonance = std::clamp((iz.get(filterQ) + pz.get(filterQ)) / 10.0, 0.0, 96.0);
            }
            Layer layer;
            layer.sample.url = piece.in(url);
            layer.sample.low = std::max(1, velLow);
            layer.sample.high = std::max(1, velHigh);
            const int cb = std::clamp(iz.get(attenuation) + pz.get(attenuation), 0, 1440);
            layer.sample.gain = static_cast<float>(std::pow(10.0, -cb * attenuationScale / 200.0));
            place(layer.sample, iz.get(panGen) + pz.get(panGen));
            layer.exclusive = iz.get(exclusiveClass);
            // A note-off releases the zone over its volume envelope's release time.
            const int releaseCents = iz.get(releaseVolEnv, -12000) + pz.get(releaseVolEnv);
            layer.release = static_cast<float>(
                std::clamp(std::exp2(releaseCents / 1200.0), 0.001, double(maxChokeSeconds)));
            layer.instrument = i;
            layers.push_back(std::move(layer));
        }
    }
    return layers;
}

bool isDrumPreset(const Bank& bank, const Table& preset, const fs::path& file) {
    if (preset.bank == 128)
        return true;
    std::vector<std::string> ignored;
    int drums = 0;
    for (int key = 35; key <= 59 && drums < 3; ++key)
        if (roleForNote(key) && !layersOf(bank, preset, key, file, ignored).empty())
            ++drums;
    return drums >= 3;
}

std::vector<std::size_t> drumPresetsOf(const Bank& bank, const fs::path& file) {
    std::vector<std::size_t> drums;
    const bool percussionBank = std::any_of(bank.presets.begin(), bank.presets.end(),
                                            [](const Table& p) { return p.bank == 128; });
    for (std::size_t p = 0; p < bank.presets.size(); ++p)
        if (percussionBank ? bank.presets[p].bank == 128
                           : isDrumPreset(bank, bank.presets[p], file))
            drums.push_back(p);
    std::stable_sort(drums.begin(), drums.end(), [&](std::size_t a, std::size_t b) {
        return bank.presets[a].program < bank.presets[b].program;
    });
    return drums;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::vector<SoundFontPreset> soundFontDrumPresets(const fs::path& file, std::string& whyNot) {
    std::vector<SoundFontPreset> presets;
    const auto bank = readBank(file, whyNot);
    if (!bank)
        return presets;
    for (std::size_t p : drumPresetsOf(*bank, file))
        presets.push_back({bank->presets[p].name, bank->presets[p].program, bank->presets[p].bank});
    if (presets.empty())
        whyNot = file.filename().string() + " holds no drum kit";
    return presets;
}

Result readSoundFont(const fs::path& file, std::string_view preset) {
    Result result;
    const auto bank = readBank(file, result.error);
    if (!bank)
        return result;
    const std::vector<std::size_t> drums = drumPresetsOf(*bank, file);
    std::optional<std::size_t> chosen;
    for (std::size_t p : drums) {
        const Table& table = bank->presets[p];
        if (preset.empty() || sameName(preset, table.name) ||
            preset == std::to_string(table.program)) {
            chosen = p;
            break;
        }
    }
    if (!chosen) {
        result.error = drums.empty() ? file.filename().string() + " holds no drum kit"
                                     : "no drum preset " + std::string(preset) + " in " +
                                           file.filename().string();
        return result;
    }
    const Table& table = bank->presets[*chosen];
    std::vector<std::string> badZones;
    std::vector<Instrument> instruments;
    std::vector<int> exclusive;
    std::map<std::size_t, int> keysOfInstrument;
    std::vector<std::vector<Layer>> byKey(128);
    for (int key = 0; key < 128; ++key) {
        if (!keepGoing(0.8 * key / 128.0))
            return result;
        byKey[key] = layersOf(*bank, table, key, file, badZones);
        if (!byKey[key].empty())
            ++keysOfInstrument[byKey[key].front().instrument];
    }
    // The key a role plays first by default before its others (57 before 52 for the second
    // crash), and those before the rest (36 before 35 for the kick).
    const auto rank = [](int key) {
        const auto role = defaultRoleForNote(key);
        return !role ? 2 : defaultNotes(*role).front() == key ? 0 : 1;
    };
    std::vector<int> keys;
    for (int pass = 0; pass < 3; ++pass)
        for (int key = 0; key < 128; ++key)
            if (rank(key) == pass)
                keys.push_back(key);
    for (const int key : keys) {
        std::vector<Layer>& layers = byKey[key];
        if (layers.empty())
            continue;
        Instrument in;
        // An instrument of one drum goes by its name; one across several keys (a General
        // MIDI set's) by the key it sits on.
        const std::size_t first = layers.front().instrument;
        in.byNote = keysOfInstrument[first] > 1;
        in.name = in.byNote ? keyName(key) : bank->instruments[first].name;
        in.note = key;
        // Zones of one velocity range sound together (a stereo pair, a layered sound).
        std::map<std::pair<int, int>, int> sharing;
        for (const Layer& layer : layers)
            ++sharing[{layer.sample.low, layer.sample.high}];
        std::map<std::pair<int, int>, int> groupOf;
        for (Layer& layer : layers) {
            const std::pair range{layer.sample.low, layer.sample.high};
            if (sharing[range] > 1) {
                const auto [it, added] = groupOf.try_emplace(range, int(groupOf.size()) + 1);
                layer.sample.together = it->second;
            }
            in.samples.push_back(layer.sample);
        }
        for (const Layer& layer : layers)
            in.release = std::max(in.release.value_or(0.0f), layer.release);
        instruments.push_back(std::move(in));
        exclusive.push_back(layers.front().exclusive);
    }
    // An exclusive class: a strike of one key stops the others ringing.
    for (std::size_t a = 0; a < instruments.size(); ++a)
        for (std::size_t b = 0; b < instruments.size(); ++b)
            if (a != b && exclusive[a] != 0 && exclusive[a] == exclusive[b])
                instruments[a].chokes.push_back({b, 0.0f});
    const std::string stem = file.stem().string();
    std::string name = drums.size() > 1 ? printable(stem) + ": " + table.name : table.name;
    result.kit = buildKit(name.empty() ? printable(stem) : name, instruments, result.summary);
    // The format's default velocity modulator: 96 dB over the concave curve, which is the
    // square of the velocity's share.
    result.kit->squaredVelocity = true;
    std::sort(badZones.begin(), badZones.end());
    badZones.erase(std::unique(badZones.begin(), badZones.end()), badZones.end());
    for (const std::string& bad : badZones)
        result.summary.leftOut.push_back(bad);
    return result;
}

} // namespace tamborel::kitImport
