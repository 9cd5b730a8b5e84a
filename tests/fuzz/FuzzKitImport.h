#pragma once
// What every imported kit must satisfy, whichever reader made it: refused with one line of
// reason, or a kit our own document takes (valid ranges, finite gains) and a one-line summary.
#include "FuzzCheck.h"

#include "model/Documents.h"
#include "model/import/KitImport.h"

#include <algorithm>
#include <cmath>

inline void checkImport(const tamborel::kitImport::Result& result) {
    using namespace tamborel;
    FUZZ_CHECK(result.kit.has_value() == result.error.empty());
    FUZZ_CHECK(result.error.find('\n') == std::string::npos);
    if (!result)
        return;
    FUZZ_CHECK(documents::writeKit(*result.kit).has_value());
    for (const DrumPad& pad : result.kit->pads)
        for (const PadSample& s : pad.samples)
            FUZZ_CHECK(s.low >= 1 && s.high <= 127 && s.low <= s.high && s.gain >= 0.0f &&
                       std::isfinite(s.gain));
    const std::string summary = result.summary.text();
    FUZZ_CHECK(summary.find('\n') == std::string::npos);
}
