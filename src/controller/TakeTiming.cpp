#include "controller/TakeTiming.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace tamborel::controller::takeTiming {

TakeTiming judge(const takes::TakeFile& take) {
    TakeTiming timing;
    if (!take.click || !(take.bpm > 0.0))
        return timing;
    timing.judged = true;
    const double pulse = 60.0 / take.bpm / std::max(1, take.pulsesPerBeat);
    timing.pulseMs = pulse * 1000.0;
    std::map<int, DrumTiming> drums;
    for (const midi::MidiFileEvent& e : take.events) {
        if (e.kind != midi::MidiFileEvent::Kind::noteOn)
            continue;
        const double since = e.seconds - take.barStart;
        const double nearest = take.barStart + std::round(since / pulse) * pulse;
        const double offsetMs = (e.seconds - nearest) * 1000.0;
        timing.strikes.push_back({e.seconds, e.number, offsetMs});
        DrumTiming& drum = drums[e.number];
        drum.note = e.number;
        drum.offsetsMs.push_back(offsetMs);
    }
    for (auto& [note, drum] : drums) {
        const auto n = static_cast<double>(drum.offsetsMs.size());
        double sum = 0.0;
        for (const double x : drum.offsetsMs)
            sum += x;
        drum.meanMs = sum / n;
        double squares = 0.0;
        for (const double x : drum.offsetsMs)
            squares += (x - drum.meanMs) * (x - drum.meanMs);
        drum.spreadMs = std::sqrt(squares / n);
        timing.drums.push_back(std::move(drum));
    }
    return timing;
}

std::vector<int> histogram(const std::vector<double>& offsetsMs) {
    std::vector<int> bins(histogramBins, 0);
    const int middle = histogramBins / 2;
    for (const double x : offsetsMs) {
        const auto bin = static_cast<long>(std::lround(x / histogramBinMs)) + middle;
        ++bins[static_cast<std::size_t>(std::clamp<long>(bin, 0, histogramBins - 1))];
    }
    return bins;
}

} // namespace tamborel::controller::takeTiming
