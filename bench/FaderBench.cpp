// The main thread's cost of a fader step: AppState::setVolume as a drag or a scroll sweep
// calls it, with the application's own folder on disk (in a scratch XDG_DATA_HOME) and a
// queue that runs whatever the steps post once their delay has passed. Reports the time per
// step of a 200-step sweep, and the files written while it runs.

#include "ManualMainQueue.h"

#include "controller/AppState.h"
#include "model/Storage.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using tamborel::PadRole;

void BM_FaderSweep(benchmark::State& state) {
    const fs::path home =
        fs::temp_directory_path() / ("tamborel-fader-" + std::to_string(getpid()));
    fs::create_directories(home);
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    {
        tamborel::platform::ManualMainQueue queue;
        tamborel::controller::AppState app(
            queue, {.openAudioDevices = false, .openMidi = false, .loadInBackground = false});
        const fs::path remembered = tamborel::storage::folder() / "lastKit.json";
        std::int64_t writes = 0;
        for (auto _ : state) {
            for (int step = 0; step < 200; ++step)
                app.setVolume(static_cast<float>(step % 100) / 100.0f, PadRole::snare);
            state.PauseTiming();
            fs::remove(remembered);
            queue.advance(std::chrono::seconds(1));
            writes += fs::exists(remembered) ? 1 : 0;
            state.ResumeTiming();
        }
        state.counters["per_step_us"] =
            benchmark::Counter(static_cast<double>(state.iterations()) * 200,
                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        state.counters["writes_per_sweep"] =
            static_cast<double>(writes) / static_cast<double>(state.iterations());
    }
    fs::remove_all(home);
}
BENCHMARK(BM_FaderSweep)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
