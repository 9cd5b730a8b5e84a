// Hydrogen drum kits: drumkit.xml, in the layout with layers directly in each instrument and
// in the later one with layers inside instrument components, and .h2drumkit archives.
#include "model/import/KitImport.h"

#include <archive.h>
#include <archive_entry.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
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
PadSample layerSample(const pugi::xml_node& layer, const fs::path& folder, float gain) {
    PadSample sample;
    const fs::path file = folder / fs::path(layer.child("filename").text().as_string());
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

Result readHydrogen(std::string_view xml, const fs::path& folder) {
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
        const std::string algorithm = node.child("sampleSelectionAlgo").text().as_string();
        in.order = algorithm == "RANDOM" ? TakeOrder::random : TakeOrder::cycle;
        // Only the first component: further ones are other microphones of the same strike,
        // not takes to alternate.
        const pugi::xml_node component = node.child("instrumentComponent");
        const pugi::xml_node holder = component ? component : node;
        const float componentGain =
            component ? std::clamp(number(component, "gain", 1.0f), 0.0f, 16.0f) : 1.0f;
        for (const pugi::xml_node layer : holder.children("layer")) {
            if (++layers > maxRegions) {
                result.error = "drumkit.xml holds too many layers";
                return result;
            }
            in.samples.push_back(layerSample(layer, folder, gain * componentGain));
        }
        // The oldest kits name one file directly in the instrument.
        if (in.samples.empty() && node.child("filename"))
            in.samples.push_back(layerSample(node, folder, gain));
        instruments.push_back(std::move(in));
    }
    std::string name = root.child("name").text().as_string();
    if (name.empty())
        name = folder.filename().string();
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

std::string sanitizedName(std::string name) {
    std::replace(name.begin(), name.end(), '/', '-');
    while (!name.empty() && (name.front() == '.' || name.front() == ' '))
        name.erase(name.begin());
    return name.empty() ? "Untitled" : name;
}

} // namespace

std::optional<fs::path> unpackHydrogenArchive(const fs::path& file, const fs::path& destination,
                                              std::string& whyNot) {
    std::error_code ec;
    fs::create_directories(destination, ec);
    std::random_device random;
    const fs::path staging = destination / (".unpacking-" + std::to_string(random()));
    const auto fail = [&](std::string reason) -> std::optional<fs::path> {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
        whyNot = file.filename().string() + ": " + reason;
        return std::nullopt;
    };
    archive* a = archive_read_new();
    ArchiveCloser closer{a};
    archive_read_support_filter_all(a);
    archive_read_support_format_tar(a);
    if (archive_read_open_filename(a, file.c_str(), 1 << 16) != ARCHIVE_OK)
        return fail(std::string("not a drum-kit archive (") + archive_error_string(a) + ")");
    std::optional<fs::path> xml;
    std::uint64_t total = 0;
    std::size_t entries = 0;
    archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    std::vector<char> buffer(1 << 16);
    while ((status = archive_read_next_header(a, &entry)) == ARCHIVE_OK) {
        if (++entries > maxArchiveEntries)
            return fail("too many files");
        const auto path = insidePath(archive_entry_pathname(entry));
        if (!path)
            return fail(std::string("refused path ") +
                        (archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "(none)"));
        // Links are not unpacked; one that points outside marks the archive as hostile.
        if (const char* target = archive_entry_symlink(entry)) {
            const fs::path resolved = (path->parent_path() / target).lexically_normal();
            if (fs::path(target).is_absolute() || resolved.empty() || *resolved.begin() == "..")
                return fail(std::string("refused link to ") + target);
            continue;
        }
        if (const char* target = archive_entry_hardlink(entry)) {
            if (!insidePath(target))
                return fail(std::string("refused link to ") + target);
            continue;
        }
        const fs::path out = staging / *path;
        if (archive_entry_filetype(entry) == AE_IFDIR) {
            fs::create_directories(out, ec);
            continue;
        }
        if (archive_entry_filetype(entry) != AE_IFREG)
            continue;
        fs::create_directories(out.parent_path(), ec);
        std::ofstream stream(out, std::ios::binary | std::ios::trunc);
        if (!stream)
            return fail("cannot write " + path->string());
        la_ssize_t got = 0;
        while ((got = archive_read_data(a, buffer.data(), buffer.size())) > 0) {
            total += static_cast<std::uint64_t>(got);
            if (total > maxArchiveBytes)
                return fail("too large");
            stream.write(buffer.data(), got);
        }
        if (got < 0 || !stream)
            return fail(std::string("damaged (") +
                        (archive_error_string(a) ? archive_error_string(a) : "write failed") + ")");
        if (path->filename() == "drumkit.xml" &&
            (!xml ||
             std::distance(path->begin(), path->end()) < std::distance(xml->begin(), xml->end())))
            xml = *path;
    }
    if (status != ARCHIVE_EOF)
        return fail(std::string("damaged (") +
                    (archive_error_string(a) ? archive_error_string(a) : "unreadable") + ")");
    if (!xml)
        return fail("no drumkit.xml inside");
    // The folder takes the kit's name as the kit states it, else the archive's.
    // Read once here so that a kit that will not open replaces no earlier copy.
    std::string whyNotRead;
    const auto text = readSourceFile(staging / *xml, whyNotRead);
    if (!text)
        return fail(whyNotRead);
    const Result read = readHydrogen(*text, staging);
    if (!read)
        return fail(read.error);
    const std::string name = read.kit->name.empty() ? file.stem().string() : read.kit->name;
    const fs::path kitFolder = destination / sanitizedName(name);
    const fs::path inner = (staging / *xml).parent_path();
    fs::remove_all(kitFolder, ec);
    fs::rename(inner, kitFolder, ec);
    if (ec)
        return fail("cannot move into place: " + ec.message());
    fs::remove_all(staging, ec);
    return kitFolder / "drumkit.xml";
}

} // namespace tamborel::kitImport
