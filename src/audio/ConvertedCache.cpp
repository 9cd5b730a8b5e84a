#include "audio/ConvertedCache.h"

#include "audio/StreamReader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace tamborel::audio::convertedCache {

std::filesystem::path entryFor(const std::filesystem::path& folder, const SoundFile& file,
                               double rate) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file.path, error);
    if (error || folder.empty())
        return {};
    const auto changed = std::filesystem::last_write_time(file.path, error);
    if (error)
        return {};
    // A piece of a file is told apart by its place and tuning in it.
    const std::string piece = file.piece.whole() ? std::string{} : '\n' + file.key();
    const std::string key = std::filesystem::absolute(file.path, error).string() + piece + '\n' +
                            std::to_string(size) + '\n' +
                            std::to_string(changed.time_since_epoch().count()) + '\n' +
                            std::to_string(std::lround(rate)) +
                            // Entries made by the earlier converter are not used again.
                            "\nconverter 3";
    char name[32];
    std::snprintf(name, sizeof name, "%016zx%s", std::hash<std::string>{}(key), entryExtension);
    return folder / name;
}

bool isEntry(const std::filesystem::path& file) {
    return file.extension() == entryExtension;
}

std::uint64_t entryBytes(std::uint64_t frames) {
    return sizeof(EntryHeader) + frames * 2 * sizeof(float);
}

bool makeRoom(const std::filesystem::path& folder, std::uint64_t needed, std::uint64_t limit,
              std::filesystem::file_time_type keepFrom) {
    struct Entry {
        std::filesystem::file_time_type used;
        std::uint64_t bytes;
        std::filesystem::path file;
    };
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
        std::error_code itemError;
        const std::uint64_t bytes = item.file_size(itemError);
        const auto used = item.last_write_time(itemError);
        if (itemError || !isEntry(item.path()))
            continue;
        total += bytes;
        entries.push_back({used, bytes, item.path()});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.used < b.used; });
    for (const Entry& entry : entries) {
        if (total + needed <= limit || entry.used >= keepFrom)
            break;
        if (std::filesystem::remove(entry.file, error))
            total -= entry.bytes;
    }
    return total + needed <= limit;
}

bool write(const SoundFile& file, const AudioFormat& format, const std::filesystem::path& entry,
           const SampleBuffer* start, const std::atomic<bool>* stop) {
    const auto stopped = [stop] {
        return stop != nullptr && stop->load(std::memory_order_relaxed);
    };
    if (format.channelCount != 2)
        return false;
    const std::uint32_t kept =
        start != nullptr && start->format().channelCount == 2 ? start->frameLength() : 0;
    StreamReader reader;
    if (!reader.open(file, format.sampleRate, kept))
        return false;
    // Converted through the streaming reader into buffers each loading thread keeps: a
    // whole-file load would take fresh memory for every file, and faulting its pages in
    // cost as much as a third of converting a large kit.
    thread_local std::vector<float> left;
    thread_local std::vector<float> right;
    // A few thousand frames at a time (a millisecond or so), between looks at `stop`.
    constexpr std::uint32_t piece = 4096;
    std::size_t frames = kept;
    if (left.size() < frames) {
        left.resize(frames);
        right.resize(frames);
    }
    if (kept > 0) {
        std::copy_n(start->channel(0), kept, left.begin());
        std::copy_n(start->channel(1), kept, right.begin());
    }
    for (;;) {
        if (left.size() < frames + piece) {
            left.resize(frames + piece);
            right.resize(frames + piece);
        }
        const std::uint32_t got = reader.read(left.data() + frames, right.data() + frames, piece);
        frames += got;
        if (got < piece)
            break;
        if (stopped())
            return false;
    }
    if (reader.broken() || frames == 0)
        return false;
    std::error_code error;
    std::filesystem::create_directories(entry.parent_path(), error);
    const auto temporary = std::filesystem::path(
        entry.string() + ".part" +
        std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id())));
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr)
        return false;
    EntryHeader header;
    header.frames = frames;
    header.rate = format.sampleRate;
    // Written in pieces too: a disk busy writing back can hold each one up.
    const auto writeChannel = [&](const std::vector<float>& samples) {
        constexpr std::size_t writePiece = std::size_t{1} << 16;
        for (std::size_t at = 0; at < frames; at += writePiece) {
            const std::size_t count = std::min(writePiece, frames - at);
            if (stopped() || std::fwrite(samples.data() + at, sizeof(float), count, out) != count)
                return false;
        }
        return true;
    };
    bool written = std::fwrite(&header, sizeof header, 1, out) == 1 && writeChannel(left) &&
                   writeChannel(right);
    written = std::fclose(out) == 0 && written;
    if (written)
        std::filesystem::rename(temporary, entry, error);
    if (!written || error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

} // namespace tamborel::audio::convertedCache
