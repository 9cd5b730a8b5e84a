// Hydrogen drum kits: drumkit.xml, in the layout with layers directly in each instrument and
// in the later one with layers inside instrument components, and .h2drumkit archives.
#include "model/import/KitImport.h"

#include <archive.h>
#include <archive_entry.h>
#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>

namespace fs = std::filesystem;

namespace tamborel::kitImport {

namespace {

float number(const pugi::xml_node& node, const char* child, float fallback) {
    const pugi::xml_node value = node.child(child);
    if (!value)
        return fallback;
    const float read = value.text().as_float(fallback);
    return std::isfinite(read) ? read : fallback;
}

// A layer covers the velocities v with min < v/127 <= max (min 0 taking in velocity 1), so
// layers that share a boundary split the velocities between them without a gap.
constexpr std::string_view emptySlotFile = "emptySample.flac";

PadSample layerSample(const pugi::xml_node& layer, const fs::path& folder, float gain) {
    PadSample sample;
    std::string name = layer.child("filename").text().as_string();
    std::replace(name.begin(), name.end(), '\\', '/'); // kits saved on Windows
    const fs::path file = folder / fs::path(name);
    sample.url = FileUrl::fromPath(file.lexically_normal());
    const float low = std::clamp(number(layer, "min", 0.0f), 0.0f, 1.0f);
    const float high = std::clamp(number(layer, "max", 1.0f), 0.0f, 1.0f);
    sample.low = low <= 0.0f ? 1 : std::clamp(int(std::floor(low * 127.0f)) + 1, 1, 127);
    sample.high = std::clamp(int(std::floor(high * 127.0f + 1e-4f)), 1, 127);
    sample.high = std::max(sample.high, sample.low);
    sample.gain = std::clamp(number(layer, "gain", 1.0f) * gain, 0.0f, 16.0f);
    return sample;
}

} // namespace

Result readHydrogen(std::string_view xml, const fs::path& folder, const std::string& fallbackName) {
    Result result;
    if (xml.size() > maxSourceBytes) {
        result.error = "drumkit.xml is too large";
        return result;
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        result.error = std::string("drumkit.xml is not valid XML: ") + parsed.description() +
                       " at byte " + std::to_string(parsed.offset);
        return result;
    }
    const pugi::xml_node root = document.child("drumkit_info");
    const pugi::xml_node list = root.child("instrumentList");
    if (!root || !list) {
        result.error = "drumkit.xml holds no Hydrogen drum kit";
        return result;
    }
    std::vector<Instrument> instruments;
    std::vector<int> muteGroups; // per instrument; -1 for none
    std::size_t layers = 0;
    for (const pugi::xml_node node : list.children("instrument")) {
        Instrument in;
        in.name = node.child("name").text().as_string();
        if (in.name.empty())
            in.name = "instrument " + std::to_string(instruments.size() + 1);
        if (const pugi::xml_node note = node.child("midiOutNote"))
            in.note = note.text().as_int(-1);
        in.volume = std::clamp(number(node, "volume", 1.0f), 0.0f, 4.0f);
        in.pan = node.child("pan") ? number(node, "pan", 0.0f)
                                   : number(node, "pan_R", 1.0f) - number(node, "pan_L", 1.0f);
        const float gain = std::clamp(number(node, "gain", 1.0f), 0.0f, 16.0f);
        // Hydrogen plays the first layer whose range holds the velocity, unless the
        // instrument asks for its layers in turn or at random.
        const std::string algorithm = node.child("sampleSelectionAlgo").text().as_string();
        const bool firstLayer = algorithm != "RANDOM" && algorithm != "ROUND_ROBIN";
        in.order = algorithm == "RANDOM" ? TakeOrder::random : TakeOrder::cycle;
        // Only the first component: further ones are other microphones of the same strike,
        // not takes to alternate.
        const pugi::xml_node component = node.child("instrumentComponent");
        const pugi::xml_node holder = component ? component : node;
        const float componentGain =
            component ? std::clamp(number(component, "gain", 1.0f), 0.0f, 16.0f) : 1.0f;
        std::array<bool, 128> held{};
        for (const pugi::xml_node layer : holder.children("layer")) {
            if (++layers > maxRegions) {
                result.error = "drumkit.xml holds too many layers";
                return result;
            }
            // Hydrogen fills the empty slots of its 32 instruments with a placeholder.
            if (std::string_view(layer.child("filename").text().as_string()) == emptySlotFile)
                continue;
            const PadSample sample = layerSample(layer, folder, gain * componentGain);
            if (!firstLayer) {
                in.samples.push_back(sample);
                continue;
            }
            // The velocities no earlier layer holds, as one sample per unbroken run; a layer
            // wholly under earlier ones is never heard.
            for (int v = sample.low; v <= sample.high; ++v) {
                if (held[static_cast<std::size_t>(v)])
                    continue;
                int end = v;
                while (end < sample.high && !held[static_cast<std::size_t>(end + 1)])
                    ++end;
                in.samples.push_back({sample.url, v, end, sample.gain});
                for (int k = v; k <= end; ++k)
                    held[static_cast<std::size_t>(k)] = true;
                v = end;
            }
        }
        // The oldest kits name one file directly in the instrument.
        if (in.samples.empty() && node.child("filename"))
            in.samples.push_back(layerSample(node, folder, gain));
        instruments.push_back(std::move(in));
        muteGroups.push_back(node.child("muteGroup").text().as_int(-1));
    }
    // A strike of one member of a mute group cuts the others short. Groups larger than a
    // kit's pads are none a drummer made.
    std::map<int, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < instruments.size(); ++i)
        if (muteGroups[i] >= 0)
            groups[muteGroups[i]].push_back(i);
    for (const auto& [group, members] : groups)
        if (members.size() <= 2 * padRoleCount)
            for (std::size_t i : members)
                for (std::size_t j : members)
                    if (i != j)
                        instruments[i].chokes.push_back({j, 0.0f});
    std::string name = root.child("name").text().as_string();
    if (name.empty())
        name = fallbackName.empty() ? folder.filename().string() : fallbackName;
    result.kit = buildKit(std::move(name), instruments, result.summary);
    return result;
}

namespace {

// A relative path that stays inside the folder it is unpacked into; none otherwise.
std::optional<fs::path> insidePath(const char* name) {
    if (name == nullptr || *name == '\0')
        return std::nullopt;
    const fs::path path(name);
    if (path.is_absolute() || path.has_root_name() || path.has_root_directory())
        return std::nullopt;
    for (const fs::path& part : path)
        if (part == "..")
            return std::nullopt;
    return path.lexically_normal();
}

struct ArchiveCloser {
    archive* a;
    ~ArchiveCloser() { archive_read_free(a); }
};

// Marks an unpacked kit folder with the archive it came from.
constexpr const char* markFile = ".tamborel-archive";
constexpr std::uint64_t maxExpansion = 64;

std::string sanitizedName(std::string name) {
    std::replace(name.begin(), name.end(), '/', '-');
    while (!name.empty() && (name.front() == '.' || name.front() == ' '))
        name.erase(name.begin());
    return name.empty() ? "Untitled" : name;
}

std::string archiveError(archive* a, const char* otherwise) {
    return std::string("damaged (") +
           (archive_error_string(a) ? archive_error_string(a) : otherwise) + ")";
}

// One archive being unpacked into a staging folder, entry by entry, within a bound on what
// it may write.
struct Unpacking {
    archive* a = nullptr;
    fs::path staging;
    std::uint64_t archiveBytes = 0;
    std::uint64_t bound = 0;
    std::uint64_t total = 0;
    std::uint64_t fingerprint = 14695981039346656037ull; // FNV-1a of names and contents
    std::optional<fs::path> xml;                         // the outermost drumkit.xml
    std::vector<char> buffer = std::vector<char>(1 << 16);

    void mix(const char* bytes, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            fingerprint = (fingerprint ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
    }

    // Unpacks one entry; the reason to refuse the archive, or none.
    std::optional<std::string> take(archive_entry* entry) {
        const char* name = archive_entry_pathname(entry);
        const auto path = insidePath(name);
        if (!path)
            return std::string("refused path ") + (name ? name : "(none)");
        // Links are not unpacked; one that points outside marks the archive as hostile.
        if (const char* target = archive_entry_symlink(entry)) {
            const fs::path resolved = (path->parent_path() / target).lexically_normal();
            if (fs::path(target).is_absolute() || resolved.empty() || *resolved.begin() == "..")
                return std::string("refused link to ") + target;
            return std::nullopt;
        }
        if (const char* target = archive_entry_hardlink(entry))
            return insidePath(target) ? std::nullopt
                                      : std::optional(std::string("refused link to ") + target);
        std::error_code ec;
        const fs::path out = staging / *path;
        if (archive_entry_filetype(entry) == AE_IFDIR)
            fs::create_directories(out, ec);
        if (archive_entry_filetype(entry) != AE_IFREG)
            return std::nullopt;
        // Refused on the sizes the entries declare, before anything is written.
        if (archive_entry_size_is_set(entry) &&
            total + static_cast<std::uint64_t>(std::max<la_int64_t>(0, archive_entry_size(entry))) >
                bound)
            return "too large to unpack";
        mix(path->string().c_str(), path->string().size() + 1);
        fs::create_directories(out.parent_path(), ec);
        if (auto failed = copyData(out, path->string()))
            return failed;
        if (path->filename() == "drumkit.xml" &&
            (!xml ||
             std::distance(path->begin(), path->end()) < std::distance(xml->begin(), xml->end())))
            xml = *path;
        return std::nullopt;
    }

    std::optional<std::string> copyData(const fs::path& out, const std::string& name) {
        std::ofstream stream(out, std::ios::binary | std::ios::trunc);
        if (!stream)
            return "cannot write " + name;
        la_ssize_t got = 0;
        while ((got = archive_read_data(a, buffer.data(), buffer.size())) > 0) {
            // How far through the archive's own bytes, for the progress; unpacking is most
            // of an archive's import.
            if (!keepGoing(archiveBytes == 0
                               ? 0.0
                               : 0.85 * double(archive_filter_bytes(a, -1)) / double(archiveBytes)))
                return "cancelled";
            total += static_cast<std::uint64_t>(got);
            if (total > bound)
                return "too large to unpack";
            mix(buffer.data(), static_cast<std::size_t>(got));
            stream.write(buffer.data(), got);
        }
        if (got < 0 || !stream)
            return archiveError(a, "write failed");
        return std::nullopt;
    }
};

// Moves the unpacked kit folder into place as `name`. Another archive of the same name keeps
// its folder, and kits saved from it their samples: this one takes the next free name. The
// same archive again (by its fingerprint) finds its copy.
std::optional<fs::path> placeKit(const fs::path& inner, const fs::path& destination,
                                 const std::string& name, std::uint64_t fingerprint,
                                 std::string& whyNot) {
    char mark[17];
    std::snprintf(mark, sizeof mark, "%016llx", static_cast<unsigned long long>(fingerprint));
    std::error_code ec;
    for (int n = 1; n <= 1000; ++n) {
        fs::path kitFolder = destination / (n == 1 ? name : name + " (" + std::to_string(n) + ")");
        if (!fs::exists(kitFolder, ec)) {
            fs::rename(inner, kitFolder, ec);
            if (ec) {
                whyNot = "cannot move into place: " + ec.message();
                return std::nullopt;
            }
            std::ofstream(kitFolder / markFile) << mark;
            return kitFolder;
        }
        std::ifstream earlier(kitFolder / markFile);
        std::string theirs;
        if (std::getline(earlier, theirs) && theirs == mark &&
            fs::is_regular_file(kitFolder / "drumkit.xml", ec))
            return kitFolder;
    }
    whyNot = "no free folder name for " + name;
    return std::nullopt;
}

} // namespace

std::optional<fs::path> unpackHydrogenArchive(const fs::path& file, const fs::path& destination,
                                              std::string& whyNot) {
    std::error_code ec;
    fs::create_directories(destination, ec);
    std::random_device random;
    Unpacking unpacking;
    unpacking.staging = destination / (".unpacking-" + std::to_string(random()));
    const auto fail = [&](std::string reason) -> std::optional<fs::path> {
        std::error_code ignored;
        fs::remove_all(unpacking.staging, ignored);
        // Entry names come from the archive: a newline in one must not split the line.
        whyNot = printable(file.filename().string() + ": " + reason);
        return std::nullopt;
    };
    // What unpacking may write: the absolute bound, the free space, and a generous multiple
    // of the archive's own size (recordings do not compress a hundredfold; a bomb does).
    unpacking.archiveBytes = fs::file_size(file, ec);
    unpacking.bound = std::min<std::uint64_t>(
        maxArchiveBytes,
        ec ? maxArchiveBytes : unpacking.archiveBytes * maxExpansion + (64u << 20));
    if (const fs::space_info space = fs::space(destination, ec); !ec)
        unpacking.bound = std::min<std::uint64_t>(unpacking.bound, space.available);
    archive* a = archive_read_new();
    ArchiveCloser closer{a};
    unpacking.a = a;
    archive_read_support_filter_all(a);
    archive_read_support_format_tar(a);
    if (archive_read_open_filename(a, file.c_str(), 1 << 16) != ARCHIVE_OK)
        return fail(std::string("not a drum-kit archive (") + archive_error_string(a) + ")");
    archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    std::size_t entries = 0;
    while ((status = archive_read_next_header(a, &entry)) == ARCHIVE_OK) {
        if (++entries > maxArchiveEntries)
            return fail("too many files");
        if (auto refused = unpacking.take(entry))
            return fail(*refused);
    }
    if (status != ARCHIVE_EOF)
        return fail(archiveError(a, "unreadable"));
    if (!unpacking.xml)
        return fail("no drumkit.xml inside");
    // The folder takes the kit's name as the kit states it, else the archive's.
    // Read once here so that a kit that will not open replaces no earlier copy.
    std::string whyNotRead;
    const fs::path xml = unpacking.staging / *unpacking.xml;
    const auto text = readSourceFile(xml, whyNotRead);
    if (!text)
        return fail(whyNotRead);
    const Result read =
        playableOrRefused(readHydrogen(*text, xml.parent_path(), file.stem().string()));
    if (!read)
        return fail(read.error);
    std::string whyNotPlaced;
    const auto kitFolder = placeKit(xml.parent_path(), destination, sanitizedName(read.kit->name),
                                    unpacking.fingerprint, whyNotPlaced);
    if (!kitFolder)
        return fail(whyNotPlaced);
    fs::remove_all(unpacking.staging, ec);
    return *kitFolder / "drumkit.xml";
}

} // namespace tamborel::kitImport
