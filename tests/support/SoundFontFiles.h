#pragma once
// SoundFont 2 banks written for tests and fuzz seeds: samples, instruments and presets, each
// zone a list of generators (the instrument's or sample's number last, or none for a
// global zone).

#include <cstdint>
#include <string>
#include <vector>

namespace tamborel::test::sf2 {

struct Gen {
    std::uint16_t oper = 0;
    std::uint16_t amount = 0;
};
inline Gen gen(std::uint16_t oper, int value) {
    return {oper, static_cast<std::uint16_t>(static_cast<std::int16_t>(value))};
}
inline Gen range(std::uint16_t oper, int low, int high) {
    return {oper, static_cast<std::uint16_t>(low | high << 8)};
}
enum : std::uint16_t {
    pan = 17,
    release = 38,
    instrument = 41,
    keys = 43,
    velocities = 44,
    attenuation = 48,
    coarse = 51,
    sampleId = 53,
    exclusive = 57,
    rootKey = 58
};

struct Sample {
    std::string name;
    std::vector<std::int16_t> frames;
    int rate = 44100;
    int root = 60;
    // Instead of the frames, an Ogg Vorbis file's bytes: the bank is a SoundFont 3.
    std::string vorbis = {};
};
struct Table {
    std::string name;
    std::vector<std::vector<Gen>> zones;
    int program = 0;
    int bank = 128;
};
struct Bank {
    std::vector<Sample> samples;
    std::vector<Table> instruments;
    std::vector<Table> presets;
    bool low24 = false; // a 24-bit extension whose every low byte is 0x80
};

inline std::string le(std::uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}
inline std::string chunk(const std::string& id, const std::string& body) {
    return id + le(static_cast<std::uint32_t>(body.size()), 4) + body +
           (body.size() % 2 ? std::string(1, '\0') : "");
}
inline std::string name20(const std::string& name) {
    std::string s = name.substr(0, 19);
    return s + std::string(20 - s.size(), '\0');
}

// Headers, bags and generators of presets or instruments, with their terminal records.
inline void tables(const std::vector<Table>& tables, bool presets, std::string& headers,
                   std::string& bags, std::string& gens) {
    std::size_t bag = 0, gen = 0;
    const auto header = [&](const std::string& name, int program, int bank) {
        headers += name20(name);
        if (presets)
            headers += le(program, 2) + le(bank, 2) + le(bag, 2) + std::string(12, '\0');
        else
            headers += le(bag, 2);
    };
    for (const Table& t : tables) {
        header(t.name, t.program, t.bank);
        for (const auto& zone : t.zones) {
            bags += le(gen, 2) + le(0, 2);
            ++bag;
            for (const Gen& g : zone) {
                gens += le(g.oper, 2) + le(g.amount, 2);
                ++gen;
            }
        }
    }
    header(presets ? "EOP" : "EOI", 0, 0);
    bags += le(gen, 2) + le(0, 2);
    gens += std::string(4, '\0');
}

inline std::string bytes(const Bank& bank) {
    std::string smpl, sm24, shdr;
    bool compressed = false;
    for (const Sample& s : bank.samples) {
        if (!s.vorbis.empty()) {
            // Compressed: the stream's place in bytes.
            compressed = true;
            shdr += name20(s.name) + le(smpl.size(), 4) + le(smpl.size() + s.vorbis.size(), 4) +
                    std::string(8, '\0') + le(s.rate, 4) + le(s.root, 1) + le(0, 1) + le(0, 2) +
                    le(0x11, 2);
            smpl += s.vorbis + (s.vorbis.size() % 2 ? std::string(1, '\0') : "");
            continue;
        }
        const std::size_t start = smpl.size() / 2;
        for (std::int16_t v : s.frames)
            smpl += le(static_cast<std::uint16_t>(v), 2);
        const std::size_t end = smpl.size() / 2;
        smpl += std::string(92, '\0'); // 46 frames of silence after each, as the format asks
        shdr += name20(s.name) + le(start, 4) + le(end, 4) + le(start, 4) + le(end, 4) +
                le(s.rate, 4) + le(s.root, 1) + le(0, 1) + le(0, 2) + le(1, 2);
    }
    shdr += name20("EOS") + std::string(26, '\0');
    // One low byte per frame, its size rounded up to an even count as players expect.
    if (bank.low24)
        sm24 = std::string((smpl.size() / 2 + 1) / 2 * 2, '\x80');
    std::string phdr, pbag, pgen, inst, ibag, igen;
    tables(bank.presets, true, phdr, pbag, pgen);
    tables(bank.instruments, false, inst, ibag, igen);
    const std::string pmod(10, '\0');
    const std::string info = "INFO" + chunk("ifil", le(compressed ? 3 : 2, 2) + le(4, 2));
    const std::string sdta = "sdta" + chunk("smpl", smpl) + (bank.low24 ? chunk("sm24", sm24) : "");
    const std::string pdta = "pdta" + chunk("phdr", phdr) + chunk("pbag", pbag) +
                             chunk("pmod", pmod) + chunk("pgen", pgen) + chunk("inst", inst) +
                             chunk("ibag", ibag) + chunk("imod", pmod) + chunk("igen", igen) +
                             chunk("shdr", shdr);
    return chunk("RIFF", "sfbk" + chunk("LIST", info) + chunk("LIST", sdta) + chunk("LIST", pdta));
}

} // namespace tamborel::test::sf2
