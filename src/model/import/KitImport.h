#pragma once
// Opens drum kits made for other programs (Hydrogen drum kits, SFZ drum kits, DrumGizmo kits,
// SoundFonts)
// as our own kits. Synchronous file I/O on the caller's thread, which may be any thread; never
// throws, never touches the audio. An import can report its progress and be cancelled.

#include "model/DrumKit.h"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tamborel::kitImport {

// Bounds past which a source is refused as absurd rather than read.
inline constexpr std::size_t maxSourceBytes = 16u * 1024u * 1024u; // one XML or SFZ file
inline constexpr std::size_t maxRegions = 20000;                   // SFZ regions, H2 layers
inline constexpr std::size_t maxIncludeDepth = 16;
inline constexpr std::size_t maxArchiveEntries = 20000;
inline constexpr std::uint64_t maxArchiveBytes = 4ull << 30;

// What the source held that the kit could not take, for the status line.
struct Summary {
    int pads = 0;
    int samples = 0;
    int missingSamples = 0;           // named by the source but not on disk
    int unreadableSamples = 0;        // on disk but not playable as named (a channel it lacks)
    int droppedSamples = 0;           // beyond what a pad can hold
    std::vector<std::string> leftOut; // instruments that fit no role, or a taken one
    std::set<std::string> ignored;    // SFZ opcodes we do not play, each once
    // Values out of their opcode's range, played at its nearest end, or unreadable and played
    // at its default: "hirand=60 (1)", "lovel=loud (default)"; each opcode once.
    std::vector<std::string> clamped;

    // "Imported 14 pads, 62 samples; left out: Cowbell, Clap; ..."
    std::string text() const;
};

struct Result {
    std::optional<DrumKit> kit;
    Summary summary;
    std::string error; // one line, set when kit is none

    explicit operator bool() const { return kit.has_value(); }
};

// This instrument silences another of the same source (`instrument`: its place among those
// given to buildKit), fading it out over `seconds`.
struct InstrumentChoke {
    std::size_t instrument = 0;
    float seconds = 0.0f;
};

// One instrument of a source kit before it is given a role.
struct Instrument {
    std::string name;
    std::optional<int> note;        // the General MIDI note it sits on, where known
    std::optional<PadRole> hiHat;   // a hi-hat position the source states (SFZ CC4 ranges)
    std::vector<PadSample> samples; // all of them, present on disk or not
    TakeOrder order = TakeOrder::cycle;
    float volume = 1.0f;
    float pan = 0.0f;
    std::vector<std::int64_t> notes; // the pad's notes, where the source gives them
    std::vector<int> ownMicrophones; // see DrumPad::ownMicrophones
    std::vector<InstrumentChoke> chokes;
    // Its name is only a label (a General MIDI set's drum on one key of a shared
    // instrument): its role comes from its note.
    bool byNote = false;
    std::optional<float> release; // see DrumPad::release
};

// The role a kit's own instrument name suggests: the auto-mapping keywords plus the words
// such kits use ("Hi-Hat Semiopen", "Floor Tom", "China"); none for percussion we lack.
std::optional<PadRole> roleForName(std::string_view name);
// The role of a General MIDI percussion note, if we have one.
std::optional<PadRole> roleForNote(int note);

// A source file's text: a regular file only (a device or a pipe could be read for ever) of at
// most maxSourceBytes; otherwise none, and whyNot says so in one line.
std::optional<std::string> readSourceFile(const std::filesystem::path& file, std::string& whyNot);

// Gives instruments roles (by name, then by note; the first to claim a role keeps it) and
// builds the kit, dropping missing sample files; the chokes between instruments that found
// pads become the pads' chokes. Fills the summary.
DrumKit buildKit(std::string name, const std::vector<Instrument>& instruments, Summary& summary);

// A Hydrogen drumkit.xml's text, its samples relative to folder. A kit that states no name
// takes fallbackName, else the folder's.
Result readHydrogen(std::string_view xml, const std::filesystem::path& folder,
                    const std::string& fallbackName = {});
// An SFZ file and what it includes. readSfzText reads text as if it were the file at path.
Result readSfz(const std::filesystem::path& file);
Result readSfzText(std::string_view text, const std::filesystem::path& path);

// A DrumGizmo kit (its kit file, or a folder holding one; see drumGizmo::read): the kit's
// channels become its microphones, placed in a stereo mix by their names; each recording one
// sample per sound file it uses, the files of one recording sounding together; every pad takes
// its recordings by power; directed chokes and groups become the pads' chokes. A pad keeps at most
// maxSamplesPerPad samples, spread over the span of powers. Refused when it names more than
// maxMicrophones channels.
Result readDrumGizmo(const std::filesystem::path& kitFileOrFolder);

// A drum kit of a SoundFont (.sf2, or .sf3 with Ogg Vorbis samples): its percussion presets
// (bank 128; in a bank with none, presets whose zones cover three General MIDI drum keys),
// by program number.
struct SoundFontPreset {
    std::string name;
    int program = 0;
    int bank = 0;
    friend bool operator==(const SoundFontPreset&, const SoundFontPreset&) = default;
};
std::vector<SoundFontPreset> soundFontDrumPresets(const std::filesystem::path& file,
                                                  std::string& whyNot);
// The drum preset named (by its name, in any case, or its program number), else the first:
// every key that sounds becomes an instrument on that note, each zone a sample played from
// inside the SoundFont at its tuning, attenuation and pan; exclusive classes become chokes.
// Zones pointing at samples or data the file lacks are left out and named. Refused when the
// file is not a SoundFont, is cut short, or has more zones than maxRegions twice over.
Result readSoundFont(const std::filesystem::path& file, std::string_view preset = {});

// Unpacks an .h2drumkit archive under destination in a folder named after the kit, replacing
// an earlier copy; the drumkit.xml, or why not. A refused archive leaves nothing behind.
std::optional<std::filesystem::path> unpackHydrogenArchive(const std::filesystem::path& archive,
                                                           const std::filesystem::path& destination,
                                                           std::string& whyNot);

// The result unchanged, or refused when it has no pad to play, with the summary as reason.
Result playableOrRefused(Result result);

// Text from a source made safe for one line of our own: valid UTF-8, no control characters.
std::string printable(const std::string& text);

// Shared between an import and whoever watches it, from any thread.
struct ImportProgress {
    std::atomic<int> percent{0};        // 0..100
    std::atomic<bool> cancelled{false}; // asks the import to stop; it fails with "cancelled"
};
// For the readers: sets the calling thread's import progress to `fraction` (0..1) of the
// way, and says whether to go on. Without a progress being watched, always true.
bool keepGoing(double fraction);

// Opens any kit file by its type: a kit document (.json), a Hydrogen or DrumGizmo kit file
// (.xml, told apart by their content) or a folder holding one, .h2drumkit (unpacked under the
// application folder), .sfz, or a SoundFont (.sf2, .sf3; its `preset`, else its first drum
// preset). The kit gets a new id. A kit from another program with no pad to play is refused
// (playableOrRefused).
Result importFile(const std::filesystem::path& file, ImportProgress* progress = nullptr,
                  std::string_view preset = {});

// The kit files importFile opens, for file dialogs and drops: each format's name and the
// file-name patterns that pick it out ("*.sfz", "drumkit.xml").
struct KitFileFormat {
    std::string_view name;
    std::vector<std::string_view> patterns;
};
const std::vector<KitFileFormat>& kitFileFormats();
// Whether a file's name matches one of those patterns, in any case.
bool isKitFile(const std::filesystem::path& file);

// A kit installed on this machine: a Hydrogen kit, or a drum preset of a SoundFont.
struct InstalledKit {
    std::string name;
    std::filesystem::path file; // its drumkit.xml, or the SoundFont
    std::string preset = {};    // the SoundFont's preset
    friend bool operator==(const InstalledKit&, const InstalledKit&) = default;
};
// The system's and the user's Hydrogen drum-kit folders, in that order, each sorted by name.
std::vector<std::filesystem::path> hydrogenKitFolders();
std::vector<InstalledKit> installedHydrogenKits();
// The SoundFont folders: /usr/share/sounds/sf2, /usr/share/soundfonts and the user's
// soundfonts folder; and every drum preset of the SoundFonts in them, sorted by file name.
std::vector<std::filesystem::path> soundFontFolders();
std::vector<InstalledKit> installedSoundFontKits();

} // namespace tamborel::kitImport
