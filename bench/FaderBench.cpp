// The main thread's cost of a fader step: AppState::setVolume as a drag or a scroll sweep
// calls it, with the application's own folder on disk (in a scratch XDG_DATA_HOME) and a
// queue that runs whatever the steps post once their delay has passed, and with the window's
// bridge republishing what changed (QML's own drawing aside). Reports the time per step of a
// 200-step sweep, and how often a 30-notch wheel sweep at a hand's pace (40 ms a notch)
// writes the kit remembered for the next start (the writes are counted as they land on disk).

#include "ManualMainQueue.h"

#include "controller/AppState.h"
#include "model/Storage.h"
#include "ui/AppBridge.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using tamborel::PadRole;
using tamborel::controller::AppState;
using tamborel::platform::ManualMainQueue;

// A scratch application folder for one benchmark.
class ScratchHome {
public:
    ScratchHome()
        : home_(fs::temp_directory_path() / ("tamborel-fader-" + std::to_string(getpid()))) {
        fs::create_directories(home_);
        setenv("XDG_DATA_HOME", home_.c_str(), 1);
        fs::create_directories(tamborel::storage::kitsFolder());
    }
    ~ScratchHome() { fs::remove_all(home_); }

private:
    fs::path home_;
};

// Counts the times a file of that name in the folder is written whole (our writes replace
// it by renaming a finished temporary file over it).
class WriteCounter {
public:
    WriteCounter(const fs::path& folder, std::string name)
        : fd_(inotify_init1(IN_NONBLOCK)), name_(std::move(name)) {
        inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~WriteCounter() { close(fd_); }
    int count() {
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;)
            for (char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0 && name_ == event->name)
                    ++count_;
                at += sizeof(inotify_event) + event->len;
            }
        return count_;
    }

private:
    int fd_;
    std::string name_;
    int count_ = 0;
};

void BM_FaderSweep(benchmark::State& state) {
    ScratchHome home;
    ManualMainQueue queue;
    auto app = std::make_unique<AppState>(
        queue, tamborel::controller::AppStateOptions{
                   .openAudioDevices = false, .openMidi = false, .loadInBackground = false});
    tamborel::ui::AppBridge bridge(*app);
    for (auto _ : state) {
        for (int step = 0; step < 200; ++step)
            app->setVolume(static_cast<float>(step % 100) / 100.0f, PadRole::snare);
        state.PauseTiming();
        queue.advance(std::chrono::seconds(1));
        state.ResumeTiming();
    }
    state.counters["per_step_us"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 200,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FaderSweep)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WheelSweepWrites(benchmark::State& state) {
    ScratchHome home;
    ManualMainQueue queue;
    int sweeps = 0;
    int writes = 0;
    for (auto _ : state) {
        auto app = std::make_unique<AppState>(
            queue, tamborel::controller::AppStateOptions{
                       .openAudioDevices = false, .openMidi = false, .loadInBackground = false});
        WriteCounter counter(tamborel::storage::folder(), "lastKit.json");
        for (int notch = 0; notch < 30; ++notch) {
            app->setVolume(0.5f + 0.01f * static_cast<float>(notch), PadRole::kick);
            queue.advance(std::chrono::milliseconds(40));
        }
        queue.advance(std::chrono::seconds(1));
        app.reset(); // waits for a write under way
        writes += counter.count();
        ++sweeps;
    }
    state.counters["writes_per_sweep"] = static_cast<double>(writes) / sweeps;
}
BENCHMARK(BM_WheelSweepWrites)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication qt(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
