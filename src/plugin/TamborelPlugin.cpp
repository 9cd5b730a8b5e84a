// The LV2 instruments: the kit players behind the host's ports. Three plugins share this code:
// the stereo one, the Multi one with a stereo pair per drum group after the master pair, and
// the Mics one with a mono output per microphone output of the kit after the master pair.
// Each instance holds three kit players: the one playing and, for Program Change, the kits
// around it in the application's list (ProgramSlots.h).
//
// Threads, as the host calls us:
// - run() and work_response() are the audio thread's: they apply the control ports (master
//   volume and expression take effect in the block that carries them), read MIDI and patch
//   messages, render, and hand everything slow to the worker. Nothing there allocates, locks
//   or logs; only while the host freewheels (an export) does rendering wait for samples
//   streamed from disk.
// - work() (the host's worker), save() and restore() do the slow part: opening kits, loading
//   their samples and housekeeping. They take turns on one mutex; the audio thread never
//   touches it.

#include "audio/AudioRenderer.h"
#include "audio/OutputGroups.h"
#include "engine/KitPlayer.h"
#include "model/Storage.h"
#include "plugin/NoteNames.h"
#include "plugin/PluginKits.h"
#include "plugin/ProgramSlots.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/core/lv2_util.h>
#include <lv2/log/log.h>
#include <lv2/log/logger.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace tamborel::plugin {

namespace {

constexpr const char* drumsUri = "urn:tamborel:drums";
constexpr const char* multiUri = "urn:tamborel:drums-multi";
constexpr const char* micsUri = "urn:tamborel:drums-mics";
constexpr const char* kitUri = "urn:tamborel:kit";

// MIDI note names, as Ardour defined them for plugins (and other hosts took up): the host
// reads the instance's MIDNAM document, and run() asks it to read it again once it changed.
constexpr const char* midnamInterfaceUri = "http://ardour.org/lv2/midnam#interface";
constexpr const char* midnamUpdateUri = "http://ardour.org/lv2/midnam#update";
struct MidnamUpdate {
    void* handle;
    void (*update)(void* handle);
};
struct MidnamInterface {
    char* (*midnam)(LV2_Handle instance);
    char* (*model)(LV2_Handle instance);
    void (*free)(char* text);
};

// Port indices, as tamborel.ttl declares them.
enum Port : std::uint32_t {
    controlPort = 0,
    notifyPort = 1,
    masterPort = 2,
    curvePort = 3,
    lowestPort = 4,
    fixedPort = 5,
    pedalControllerPort = 6,
    pedalClosedPort = 7,
    pedalOpenPort = 8,
    firstAudioPort = 9,
};
// The freewheeling flag comes after the variant's audio outputs.
constexpr std::size_t controlCount = pedalOpenPort - masterPort + 1;
constexpr std::uint32_t stereoChannels = audio::masterChannelCount;
// The master, then a pair per drum group (audio/OutputGroups.def, which the ttl is built from).
constexpr std::uint32_t multiChannels = audio::allChannelCount;
// The master, then the kit's microphone outputs 1 to 16 (Microphone::output), one mono channel
// each; a microphone sent to a later output is heard in the master only.
constexpr std::uint32_t micOutputs = TAMBOREL_LV2_MIC_OUTPUTS;
static_assert(micOutputs <= audio::maxMicrophoneOutputs);
constexpr std::uint32_t micsChannels = audio::masterChannelCount + micOutputs;
constexpr std::uint32_t mostChannels = std::max(multiChannels, micsChannels);

// What a variant's outputs after the master carry, and how many channels it has in all.
struct Outputs {
    std::uint32_t channels;
    audio::OutputLayout layout;
};

// Without the host saying its largest block, blocks are rendered in slices of this size.
constexpr std::uint32_t defaultMaxFrames = 4096;
// Retired sample buffers are freed on the worker about this often.
constexpr double maintainSeconds = 0.1;
constexpr std::size_t maxPathBytes = 4096;

using Controls = std::array<float, controlCount>;

// What run() asks of the worker, and what the worker answers; the host copies them byte for
// byte. A path travels as only as many bytes as it has.
enum class Job : std::uint32_t { openKit, loadProgram, maintain };
struct OpenKitJob {
    Job job = Job::openKit;
    std::uint32_t slot = 0;
    char path[maxPathBytes];
};
struct ProgramJob {
    Job job = Job::loadProgram;
    std::uint32_t slot = 0;
    std::int32_t program = 0;
};
struct KitReply {
    Job job = Job::openKit;
    std::uint32_t slot = 0;
    std::int32_t program = 0;
    std::uint32_t loaded = 0;
    std::array<std::uint64_t, 3> programs{}; // the list's programs, a bit each
    char path[maxPathBytes];                 // the slot's kit; empty for the factory kit
};

struct Uris {
    LV2_URID atomPath, atomString, atomUrid, atomInt, atomSequence, midiEvent;
    LV2_URID patchSet, patchGet, patchProperty, patchValue, kit, maxBlockLength;

    explicit Uris(const LV2_URID_Map* map) {
        const auto m = [map](const char* uri) { return map->map(map->handle, uri); };
        atomPath = m(LV2_ATOM__Path);
        atomString = m(LV2_ATOM__String);
        atomUrid = m(LV2_ATOM__URID);
        atomInt = m(LV2_ATOM__Int);
        atomSequence = m(LV2_ATOM__Sequence);
        midiEvent = m(LV2_MIDI__MidiEvent);
        patchSet = m(LV2_PATCH__Set);
        patchGet = m(LV2_PATCH__Get);
        patchProperty = m(LV2_PATCH__property);
        patchValue = m(LV2_PATCH__value);
        kit = m(kitUri);
        maxBlockLength = m(LV2_BUF_SIZE__maxBlockLength);
    }
};

int rounded(float value, int low, int high) {
    if (!std::isfinite(value))
        return low;
    return static_cast<int>(
        std::clamp(std::lround(value), static_cast<long>(low), static_cast<long>(high)));
}

// The expression ports as the hit routing takes them. Closed 127 and open 0 is the
// uncalibrated pedal, as the application's default settings have it.
Expression expressionFrom(const Controls& c) {
    Expression e;
    e.velocity.curve = static_cast<VelocityCurve>(rounded(c[curvePort - masterPort], 0, 3));
    e.velocity.lowest = rounded(c[lowestPort - masterPort], 1, 127);
    e.velocity.fixed = rounded(c[fixedPort - masterPort], 1, 127);
    e.pedalController = rounded(c[pedalControllerPort - masterPort], 0, 127);
    PedalRange range;
    range.closed = rounded(c[pedalClosedPort - masterPort], 0, 127);
    range.open = rounded(c[pedalOpenPort - masterPort], 0, 127);
    if (range != PedalRange{} && range.usable())
        e.pedalRange = range;
    return e;
}

float masterFrom(const Controls& c) {
    const float v = c[0];
    return std::isfinite(v) ? std::clamp(v, 0.0f, 1.5f) : 1.0f;
}

class Plugin {
public:
    Plugin(Outputs outputs, double rate, const char* bundle, const LV2_URID_Map* map,
           const LV2_Worker_Schedule* schedule, LV2_Log_Log* log, const LV2_Options_Option* options,
           const MidnamUpdate* midnamUpdate)
        : outputs_(outputs), rate_(rate), bundle_(bundle), uris_(map), schedule_(schedule),
          midnamUpdate_(midnamUpdate), ports_(firstAudioPort + outputs.channels + 1, nullptr),
          scratch_() {
        lv2_log_logger_init(&logger_, const_cast<LV2_URID_Map*>(map), log);
        lv2_atom_forge_init(&forge_, const_cast<LV2_URID_Map*>(map));
        for (const LV2_Options_Option* o = options; o != nullptr && o->key != 0; ++o)
            if (o->key == uris_.maxBlockLength && o->type == uris_.atomInt && o->value != nullptr)
                maxFrames_ = static_cast<std::uint32_t>(
                    std::max(1, *static_cast<const std::int32_t*>(o->value)));
        scratch_.assign(maxFrames_, 0.0f);
        mix_.assign(static_cast<std::size_t>(outputs_.channels) * maxFrames_, 0.0f);
        appliedControls_ = defaults_;
        for (engine::KitPlayer& player : players_) {
            player.prepareToRender(rate_, maxFrames_);
            player.setExpression(expressionFrom(appliedControls_));
        }
        std::lock_guard lock(nonRealtime_);
        // The application's settings decide which kits stream from disk here too.
        const AudioSettings stored = storage::peekSettings();
        for (engine::KitPlayer& player : players_)
            player.keepKitsWholeUpTo(stored.wholeKitBytes());
        slots_.setPrograms(takePrograms(stored.programKits));
        playFactoryKit(0);
    }

    void connect(std::uint32_t port, void* data) {
        if (port < ports_.size())
            ports_[port] = data;
    }

    void activate() {
        for (engine::KitPlayer& player : players_)
            player.renderingStarted();
    }
    void deactivate() {
        for (engine::KitPlayer& player : players_)
            player.renderingStopped();
    }

    void run(std::uint32_t frames) noexcept {
        startNotifications();
        applyControls();
        followFreewheeling();
        if (announce_)
            announceKit();
        if (namesChanged_.exchange(false) && midnamUpdate_ != nullptr)
            midnamUpdate_->update(midnamUpdate_->handle);

        std::uint32_t done = 0;
        if (const auto* control = static_cast<const LV2_Atom_Sequence*>(ports_[controlPort])) {
            LV2_ATOM_SEQUENCE_FOREACH(control, event) {
                const auto stamp = static_cast<std::uint64_t>(
                    std::max<std::int64_t>(0, static_cast<std::int64_t>(event->time.frames)));
                auto at = static_cast<std::uint32_t>(
                    std::min<std::uint64_t>(stamp, frames == 0 ? 0 : frames - 1));
                at = std::max(at, done);
                while (at >= done + maxFrames_) {
                    renderSlice(done, maxFrames_);
                    done += maxFrames_;
                }
                handle(event->body, at - done);
            }
        }
        while (done < frames) {
            const std::uint32_t slice = std::min(maxFrames_, frames - done);
            renderSlice(done, slice);
            done += slice;
        }

        framesSinceMaintain_ += frames;
        if (framesSinceMaintain_ >= rate_ * maintainSeconds) {
            const Job job = Job::maintain;
            if (schedule_->schedule_work(schedule_->handle, sizeof job, &job) == LV2_WORKER_SUCCESS)
                framesSinceMaintain_ = 0;
        }
        if (notifying_)
            lv2_atom_forge_pop(&forge_, &notifyFrame_);
    }

    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           std::uint32_t size, const void* data) {
        Job job;
        if (size < sizeof job)
            return LV2_WORKER_ERR_UNKNOWN;
        std::memcpy(&job, data, sizeof job);
        std::lock_guard lock(nonRealtime_);
        KitReply reply;
        reply.job = job;
        switch (job) {
        case Job::openKit: {
            if (size < offsetof(OpenKitJob, path))
                return LV2_WORKER_ERR_UNKNOWN;
            std::memcpy(&reply.slot, static_cast<const char*>(data) + offsetof(OpenKitJob, slot),
                        sizeof reply.slot);
            if (reply.slot >= ProgramSlots::count)
                return LV2_WORKER_ERR_UNKNOWN;
            const char* text = static_cast<const char*>(data) + offsetof(OpenKitJob, path);
            const std::size_t length =
                std::min<std::size_t>(size - offsetof(OpenKitJob, path), maxPathBytes);
            reply.loaded = loadKit(reply.slot, fs::path(std::string(text, strnlen(text, length))));
            break;
        }
        case Job::loadProgram: {
            ProgramJob asked;
            if (size < sizeof asked)
                return LV2_WORKER_ERR_UNKNOWN;
            std::memcpy(&asked, data, sizeof asked);
            if (asked.slot >= ProgramSlots::count)
                return LV2_WORKER_ERR_UNKNOWN;
            reply.slot = asked.slot;
            reply.program = asked.program;
            reply.loaded = loadProgram(asked.slot, asked.program);
            break;
        }
        case Job::maintain:
            for (engine::KitPlayer& player : players_)
                player.maintain();
            return LV2_WORKER_SUCCESS;
        }
        for (int p = 1; p <= programCount; ++p)
            if (programs_[static_cast<std::size_t>(p)])
                reply.programs[static_cast<std::size_t>(p) / 64] |= std::uint64_t{1} << (p % 64);
        const std::uint32_t replySize = fillReply(reply);
        respond(handle, replySize, &reply);
        return LV2_WORKER_SUCCESS;
    }

    // Audio thread: a kit is in (or could not be), and may play from now on.
    LV2_Worker_Status workResponse(std::uint32_t size, const void* data) noexcept {
        KitReply reply;
        if (size < offsetof(KitReply, path) || size > sizeof reply)
            return LV2_WORKER_ERR_UNKNOWN;
        std::memcpy(&reply, data, size);
        if (reply.slot >= ProgramSlots::count)
            return LV2_WORKER_ERR_UNKNOWN;
        ProgramSlots::Programs programs;
        for (int p = 1; p <= programCount; ++p)
            programs[static_cast<std::size_t>(p)] =
                (reply.programs[static_cast<std::size_t>(p) / 64] >> (p % 64)) & 1u;
        slots_.setPrograms(programs);
        if (reply.loaded != 0) {
            const std::size_t length =
                std::min<std::size_t>(size - offsetof(KitReply, path), maxPathBytes - 1);
            std::memcpy(slotPaths_[reply.slot], reply.path, length);
            slotPaths_[reply.slot][length] = '\0';
        }
        if (slots_.loaded(reply.slot, reply.program, reply.loaded != 0))
            switched();
        // A kit that could not be opened: the host hears the kit unchanged.
        if (reply.job == Job::openKit)
            announce_ = true;
        loadAhead();
        return LV2_WORKER_SUCCESS;
    }

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle,
                          const LV2_Feature* const* features) {
        std::lock_guard lock(nonRealtime_);
        // A session whose kit was missing when it opened keeps naming that kit until the user
        // chooses another, so saving it again does not lose the reference.
        const std::string& kitPath = kitPaths_[playing_.load()];
        const std::string& path = kitPath.empty() ? missingKitPath_ : kitPath;
        if (path.empty())
            return LV2_STATE_SUCCESS;
        std::string stored = path;
        const auto* mapPath =
            static_cast<const LV2_State_Map_Path*>(lv2_features_data(features, LV2_STATE__mapPath));
        const auto* freePath = static_cast<const LV2_State_Free_Path*>(
            lv2_features_data(features, LV2_STATE__freePath));
        if (mapPath != nullptr) {
            if (char* abstract = mapPath->abstract_path(mapPath->handle, path.c_str())) {
                stored = abstract;
                if (freePath != nullptr)
                    freePath->free_path(freePath->handle, abstract);
                else
                    std::free(abstract);
            }
        }
        return store(handle, uris_.kit, stored.c_str(), stored.size() + 1, uris_.atomPath,
                     LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    }

    // Loads the session's kit before returning, so an export right after opening plays it.
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                             const LV2_Feature* const* features) {
        std::lock_guard lock(nonRealtime_);
        std::size_t size = 0;
        std::uint32_t type = 0;
        std::uint32_t flags = 0;
        const void* value = retrieve(handle, uris_.kit, &size, &type, &flags);
        missingKitPath_.clear();
        // restore() never runs beside run(), so the audio thread's side is ours to set.
        const std::size_t slot = slots_.kitChosen().slot;
        bool loaded = false;
        if (value == nullptr || size == 0 || (type != uris_.atomPath && type != uris_.atomString)) {
            loaded = playFactoryKit(slot);
        } else {
            const auto* text = static_cast<const char*>(value);
            std::string path(text, strnlen(text, size));
            const auto* mapPath = static_cast<const LV2_State_Map_Path*>(
                lv2_features_data(features, LV2_STATE__mapPath));
            const auto* freePath = static_cast<const LV2_State_Free_Path*>(
                lv2_features_data(features, LV2_STATE__freePath));
            if (mapPath != nullptr) {
                if (char* absolute = mapPath->absolute_path(mapPath->handle, path.c_str())) {
                    path = absolute;
                    if (freePath != nullptr)
                        freePath->free_path(freePath->handle, absolute);
                    else
                        std::free(absolute);
                }
            }
            // Hosts that keep a session's files together (Ardour) hand back a link in the
            // session's folder; a kit's own files sit beside the file the link points to.
            std::error_code ec;
            if (fs::is_symlink(path, ec))
                if (const fs::path target = fs::canonical(path, ec); !ec)
                    path = target.string();
            loaded = loadKit(slot, path);
            if (!loaded) {
                lv2_log_warning(&logger_,
                                "Tamborel: the session's kit %s could not be opened; playing "
                                "the factory kit\n",
                                path.c_str());
                missingKitPath_ = path;
                loaded = playFactoryKit(slot);
            }
        }
        KitReply reply;
        reply.slot = static_cast<std::uint32_t>(slot);
        fillReply(reply);
        std::memcpy(slotPaths_[slot], reply.path, maxPathBytes);
        slots_.loaded(slot, 0, loaded);
        switched();
        return LV2_STATE_SUCCESS;
    }

    // Any thread but the audio thread's; never waits for a kit to load.
    std::string midnam() const {
        std::lock_guard lock(namesMutex_);
        return midnamDocument(model_, noteNames_[playing_.load()], programNames_);
    }
    const std::string& model() const { return model_; }

    static constexpr Controls defaults_ = {1.0f, 0.0f, 1.0f, 100.0f, 4.0f, 127.0f, 0.0f};

private:
    // --- audio thread ---------------------------------------------------------------------

    void startNotifications() noexcept {
        auto* notify = static_cast<LV2_Atom_Sequence*>(ports_[notifyPort]);
        notifying_ = notify != nullptr;
        if (!notifying_)
            return;
        const std::uint32_t capacity = notify->atom.size;
        lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<std::uint8_t*>(notify), capacity);
        notifying_ = lv2_atom_forge_sequence_head(&forge_, &notifyFrame_, 0) != 0;
    }

    // The expression is one atomic word in the router and the master two atomic stores in
    // the engine, so both change here, for the whole of this block. The master is set every
    // block: a kit the worker has just set applies its own master, which this corrects.
    void applyControls() noexcept {
        Controls values;
        for (std::size_t i = 0; i < controlCount; ++i) {
            const auto* port = static_cast<const float*>(ports_[masterPort + i]);
            // A value that is not a number would differ from itself and count as a change.
            values[i] = port != nullptr && std::isfinite(*port) ? *port : defaults_[i];
        }
        if (values != appliedControls_) {
            for (engine::KitPlayer& player : players_)
                player.setExpression(expressionFrom(values));
            appliedControls_ = values;
        }
        const float master = masterFrom(values);
        master_.store(master);
        for (std::size_t s = 0; s < ProgramSlots::count; ++s)
            players_[s].setMasterVolume(kitMasters_[s].load() * master);
    }

    // While the host renders faster than real time, streamed samples are waited for, as
    // tamborel-render waits for them, rather than played as silence when the disk lags.
    void followFreewheeling() noexcept {
        const auto* port = static_cast<const float*>(ports_[firstAudioPort + outputs_.channels]);
        const bool freewheeling = port != nullptr && *port > 0.5f;
        if (freewheeling == freewheeling_)
            return;
        freewheeling_ = freewheeling;
        for (engine::KitPlayer& player : players_)
            player.setRenderingOffline(freewheeling);
    }

    void announceKit() noexcept {
        if (!notifying_)
            return;
        LV2_Atom_Forge_Frame frame;
        const char* path = slotPaths_[slots_.current()];
        const auto length = static_cast<std::uint32_t>(strnlen(path, maxPathBytes - 1));
        const bool written = lv2_atom_forge_frame_time(&forge_, 0) &&
                             lv2_atom_forge_object(&forge_, &frame, 0, uris_.patchSet) &&
                             lv2_atom_forge_key(&forge_, uris_.patchProperty) &&
                             lv2_atom_forge_urid(&forge_, uris_.kit) &&
                             lv2_atom_forge_key(&forge_, uris_.patchValue) &&
                             lv2_atom_forge_path(&forge_, path, length);
        if (written) {
            lv2_atom_forge_pop(&forge_, &frame);
            announce_ = false;
        }
    }

    // Another player plays from here on: the host hears of its kit and its note names.
    void switched() noexcept {
        playing_.store(slots_.current());
        announce_ = true;
        namesChanged_.store(true);
    }

    void loadAhead() noexcept {
        for (const auto& load : slots_.neighbours())
            if (load)
                scheduleProgram(*load);
    }

    void scheduleProgram(ProgramSlots::Load load) noexcept {
        ProgramJob job;
        job.slot = static_cast<std::uint32_t>(load.slot);
        job.program = load.program;
        if (schedule_->schedule_work(schedule_->handle, sizeof job, &job) != LV2_WORKER_SUCCESS)
            slots_.cancel(load.slot);
    }

    // Strikes play the kit of this moment; the pedal, grabs and the rest reach every player,
    // so a cymbal still ringing from the kit before can be grabbed, and the next kit finds
    // the pedal where it is.
    void handle(const LV2_Atom& body, std::uint32_t frame) noexcept {
        if (body.type == uris_.midiEvent) {
            const auto* bytes = static_cast<const std::uint8_t*>(LV2_ATOM_BODY_CONST(&body));
            const std::uint8_t kind = body.size > 0 ? bytes[0] & 0xF0 : 0;
            if (kind == 0xC0 && body.size >= 2) {
                programChange(bytes[1] & 0x7F);
                return;
            }
            if (kind == 0x90) {
                players_[slots_.current()].midi({bytes, body.size}, frame);
                return;
            }
            for (std::size_t s = 0; s < ProgramSlots::count; ++s)
                if (slots_.used(s))
                    players_[s].midi({bytes, body.size}, frame);
            return;
        }
        if (!lv2_atom_forge_is_object_type(&forge_, body.type))
            return;
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&body);
        if (object->body.otype == uris_.patchGet) {
            announce_ = true;
            return;
        }
        if (object->body.otype != uris_.patchSet)
            return;
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, uris_.patchProperty, &property, uris_.patchValue, &value, 0);
        if (property == nullptr || property->type != uris_.atomUrid ||
            reinterpret_cast<const LV2_Atom_URID*>(property)->body != uris_.kit)
            return;
        if (value == nullptr || (value->type != uris_.atomPath && value->type != uris_.atomString))
            return;
        const auto* text = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
        const std::size_t length = strnlen(text, value->size);
        // A path too long to pass, or a full worker queue: the host hears the kit unchanged.
        if (length >= maxPathBytes) {
            announce_ = true;
            return;
        }
        const ProgramSlots::Load load = slots_.kitChosen();
        OpenKitJob& job = openKitJob_;
        job.slot = static_cast<std::uint32_t>(load.slot);
        std::memcpy(job.path, text, length);
        job.path[length] = '\0';
        const auto jobSize = static_cast<std::uint32_t>(offsetof(OpenKitJob, path) + length + 1);
        if (schedule_->schedule_work(schedule_->handle, jobSize, &job) != LV2_WORKER_SUCCESS) {
            slots_.loaded(load.slot, 0, false);
            announce_ = true;
        }
    }

    // From its frame on, strikes play the program's kit: at once when it is loaded ahead,
    // else once it is in, the kit before playing until then.
    void programChange(int number) noexcept {
        std::optional<ProgramSlots::Load> load;
        if (slots_.programChange(number + 1, load)) {
            switched();
            loadAhead();
        }
        if (load)
            scheduleProgram(*load);
    }

    // Each player in use renders the block; all of them are heard, so what the kit before a
    // Program Change still rings plays out.
    void renderSlice(std::uint32_t offset, std::uint32_t frames) noexcept {
        bool first = true;
        for (std::size_t s = 0; s < ProgramSlots::count; ++s) {
            if (!slots_.used(s))
                continue;
            for (std::uint32_t c = 0; c < outputs_.channels; ++c) {
                auto* port = static_cast<float*>(ports_[firstAudioPort + c]);
                if (first)
                    channels_[c] = port != nullptr ? port + offset : scratch_.data();
                else
                    channels_[c] = mix_.data() + static_cast<std::size_t>(c) * maxFrames_;
            }
            audio::AudioBlock block;
            block.channels = channels_.data();
            block.channelCount = outputs_.channels;
            block.frames = frames;
            block.layout = outputs_.layout;
            players_[s].render(block);
            if (!first)
                addMix(offset, frames);
            first = false;
        }
    }

    void addMix(std::uint32_t offset, std::uint32_t frames) noexcept {
        for (std::uint32_t c = 0; c < outputs_.channels; ++c) {
            auto* port = static_cast<float*>(ports_[firstAudioPort + c]);
            if (port == nullptr)
                continue;
            const float* mixed = mix_.data() + static_cast<std::size_t>(c) * maxFrames_;
            for (std::uint32_t i = 0; i < frames; ++i)
                port[offset + i] += mixed[i];
        }
    }

    // --- worker, instantiation and state (under nonRealtime_) ----------------------------

    // The application's "Kits by program", read again each time so that changes made there
    // while the host runs are heard at the next Program Change.
    ProgramSlots::Programs readPrograms() {
        return takePrograms(storage::peekSettings().programKits);
    }

    ProgramSlots::Programs takePrograms(std::vector<ProgramKit> kits) {
        programKits_ = std::move(kits);
        ProgramSlots::Programs programs;
        std::vector<ProgramName> names;
        for (const ProgramKit& entry : programKits_) {
            programs[static_cast<std::size_t>(entry.program)] = true;
            const auto path = entry.kit.toPath();
            names.emplace_back(entry.program - 1, path ? path->stem().string() : entry.kit.text);
        }
        programs_ = programs;
        std::lock_guard lock(namesMutex_);
        programNames_ = std::move(names);
        return programs;
    }

    bool loadProgram(std::size_t slot, int program) {
        readPrograms();
        for (const ProgramKit& entry : programKits_) {
            if (entry.program != program)
                continue;
            if (const auto path = entry.kit.toPath())
                return loadKit(slot, *path);
            break;
        }
        lv2_log_warning(&logger_, "Tamborel: no kit for program %d\n", program);
        return false;
    }

    bool loadKit(std::size_t slot, const fs::path& file) {
        OpenedKit opened = openKit(file);
        if (!opened.kit) {
            lv2_log_error(&logger_, "Tamborel: kit not loaded, the previous kit plays on: %s\n",
                          opened.error.c_str());
            return false;
        }
        play(slot, *opened.kit);
        std::error_code ec;
        const fs::path absolute = fs::absolute(file, ec);
        kitPaths_[slot] = (ec ? file : absolute).string();
        if (slot == playing_.load())
            missingKitPath_.clear();
        return true;
    }

    bool playFactoryKit(std::size_t slot) {
        kitPaths_[slot].clear();
        if (auto kit = factoryKit(bundle_)) {
            play(slot, *kit);
            return true;
        }
        lv2_log_warning(&logger_,
                        "Tamborel: no factory samples found near %s; choose a kit to play\n",
                        bundle_.c_str());
        play(slot, DrumKit("Empty"));
        return true;
    }

    void play(std::size_t slot, const DrumKit& kit) {
        // The kit's master under the port's, from the moment the kit is set: run() keeps
        // applying the product, and the kit as set carries it too.
        kitMasters_[slot].store(kit.masterVolume);
        DrumKit scaled = kit;
        scaled.masterVolume = kit.masterVolume * master_.load();
        engine::KitPlayer& player = players_[slot];
        player.setKit(scaled, engine::KitPlayer::Loading::beforeReturning);
        const auto loaded = player.waitUntilLoaded();
        std::size_t failed = 0;
        std::size_t total = 0;
        for (const auto& pad : loaded) {
            total += pad.size();
            failed += static_cast<std::size_t>(std::count(pad.begin(), pad.end(), false));
        }
        if (failed > 0)
            lv2_log_warning(&logger_, "Tamborel: %zu of %zu samples of kit \"%s\" did not load\n",
                            failed, total, kit.name.c_str());
        NoteNames names = noteNamesOf(kit);
        std::lock_guard lock(namesMutex_);
        noteNames_[slot] = std::move(names);
    }

    // The slot's kit: its path, and the list's programs as last read.
    std::uint32_t fillReply(KitReply& reply) const {
        const std::string& path = kitPaths_[reply.slot];
        const std::size_t length = std::min(path.size(), maxPathBytes - 1);
        std::memcpy(reply.path, path.data(), length);
        reply.path[length] = '\0';
        return static_cast<std::uint32_t>(offsetof(KitReply, path) + length + 1);
    }

    const Outputs outputs_;
    const double rate_;
    const std::string bundle_;
    const Uris uris_;
    const LV2_Worker_Schedule* schedule_;
    const MidnamUpdate* midnamUpdate_;
    LV2_Log_Logger logger_{};
    std::uint32_t maxFrames_ = defaultMaxFrames;
    // One player per kit held ready (ProgramSlots); each kit's master volume (set by the
    // worker) and the port's (set by run()).
    std::array<engine::KitPlayer, ProgramSlots::count> players_;
    std::array<std::atomic<float>, ProgramSlots::count> kitMasters_{1.0f, 1.0f, 1.0f};
    std::atomic<float> master_{1.0f};
    std::atomic<std::size_t> playing_{0}; // the audio thread's current slot, for the others

    // Audio thread.
    std::vector<void*> ports_;
    std::vector<float> scratch_; // stands in for an output the host left unconnected
    std::vector<float> mix_;     // the players after the first, before they are added
    std::array<float*, mostChannels> channels_{};
    LV2_Atom_Forge forge_{};
    LV2_Atom_Forge_Frame notifyFrame_{};
    bool notifying_ = false;
    bool announce_ = true;
    bool freewheeling_ = false;
    ProgramSlots slots_;
    char slotPaths_[ProgramSlots::count][maxPathBytes] = {};
    Controls appliedControls_{};
    OpenKitJob openKitJob_{};
    double framesSinceMaintain_ = 0;

    // Worker, instantiation and state.
    std::mutex nonRealtime_;
    std::array<std::string, ProgramSlots::count> kitPaths_; // empty for the factory kit
    std::string missingKitPath_; // the session's kit that could not be opened
    std::vector<ProgramKit> programKits_;
    ProgramSlots::Programs programs_;

    // The names of the kits held, apart from the mutex above so that a host asking for them
    // never waits for a kit to load.
    mutable std::mutex namesMutex_;
    std::array<NoteNames, ProgramSlots::count> noteNames_;
    std::vector<ProgramName> programNames_;
    std::atomic<bool> namesChanged_{true};
    const std::string model_ = "Tamborel " + std::to_string(++instances_);
    static inline std::atomic<unsigned> instances_{0};
};

Plugin* self(LV2_Handle instance) {
    return static_cast<Plugin*>(instance);
}

LV2_Handle instantiate(const LV2_Descriptor* descriptor, double rate, const char* bundle,
                       const LV2_Feature* const* features) {
    const LV2_URID_Map* map = nullptr;
    const LV2_Worker_Schedule* schedule = nullptr;
    LV2_Log_Log* log = nullptr;
    const LV2_Options_Option* options = nullptr;
    const MidnamUpdate* midnamUpdate = nullptr;
    const char* missing =
        lv2_features_query(features, LV2_URID__map, &map, true, LV2_WORKER__schedule, &schedule,
                           true, LV2_LOG__log, &log, false, LV2_OPTIONS__options, &options, false,
                           midnamUpdateUri, &midnamUpdate, false, nullptr);
    if (missing != nullptr) {
        LV2_Log_Logger logger{};
        lv2_log_logger_init(&logger, nullptr, log);
        lv2_log_error(&logger, "Tamborel: the host lacks the required feature %s\n", missing);
        return nullptr;
    }
    Outputs outputs{stereoChannels, audio::OutputLayout::drums};
    if (std::strcmp(descriptor->URI, multiUri) == 0)
        outputs = {multiChannels, audio::OutputLayout::drums};
    else if (std::strcmp(descriptor->URI, micsUri) == 0)
        outputs = {micsChannels, audio::OutputLayout::microphones};
    try {
        return new Plugin(outputs, rate, bundle, map, schedule, log, options, midnamUpdate);
    } catch (const std::exception& e) {
        LV2_Log_Logger logger{};
        lv2_log_logger_init(&logger, const_cast<LV2_URID_Map*>(map), log);
        lv2_log_error(&logger, "Tamborel: could not start: %s\n", e.what());
        return nullptr;
    }
}

void connectPort(LV2_Handle instance, std::uint32_t port, void* data) {
    self(instance)->connect(port, data);
}

void activate(LV2_Handle instance) {
    self(instance)->activate();
}

void run(LV2_Handle instance, std::uint32_t frames) {
    self(instance)->run(frames);
}

void deactivate(LV2_Handle instance) {
    self(instance)->deactivate();
}

void cleanup(LV2_Handle instance) {
    delete self(instance);
}

// An exception must not unwind into the host: the call fails and the plugin plays on.
LV2_Worker_Status work(LV2_Handle instance, LV2_Worker_Respond_Function respond,
                       LV2_Worker_Respond_Handle handle, std::uint32_t size, const void* data) {
    try {
        return self(instance)->work(respond, handle, size, data);
    } catch (const std::exception&) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
}

LV2_Worker_Status workResponse(LV2_Handle instance, std::uint32_t size, const void* data) {
    return self(instance)->workResponse(size, data);
}

LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      std::uint32_t, const LV2_Feature* const* features) {
    try {
        return self(instance)->save(store, handle, features);
    } catch (const std::exception&) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle handle, std::uint32_t,
                         const LV2_Feature* const* features) {
    try {
        return self(instance)->restore(retrieve, handle, features);
    } catch (const std::exception&) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

// The host frees what these return with `free`, so they are malloc'd copies.
char* copied(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy != nullptr)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

char* midnam(LV2_Handle instance) {
    try {
        return copied(self(instance)->midnam());
    } catch (const std::exception&) {
        return nullptr;
    }
}

char* midnamModel(LV2_Handle instance) {
    return copied(self(instance)->model());
}

void freeText(char* text) {
    std::free(text);
}

const void* extensionData(const char* uri) {
    static const LV2_Worker_Interface worker = {work, workResponse, nullptr};
    static const LV2_State_Interface state = {save, restore};
    static const MidnamInterface names = {midnam, midnamModel, freeText};
    if (std::strcmp(uri, midnamInterfaceUri) == 0)
        return &names;
    if (std::strcmp(uri, LV2_WORKER__interface) == 0)
        return &worker;
    if (std::strcmp(uri, LV2_STATE__interface) == 0)
        return &state;
    return nullptr;
}

const LV2_Descriptor descriptors[] = {
    {drumsUri, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData},
    {multiUri, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData},
    {micsUri, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData},
};

} // namespace

} // namespace tamborel::plugin

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    if (index >= std::size(tamborel::plugin::descriptors))
        return nullptr;
    return &tamborel::plugin::descriptors[index];
}
