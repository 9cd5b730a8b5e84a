// A SoundFont's drum kit from its file to the first strike: FluidR3_GM's standard kit (a
// 148 MB bank) imported, set on a player at 48 kHz, and timed until the kick plays and until
// every pad does; and how much resident memory that took.
//     soundfont_bench [bank.sf2 [rounds]]

#include "engine/KitPlayer.h"
#include "model/import/KitImport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using namespace tamborel;
using Clock = std::chrono::steady_clock;

double residentMiB() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path bank = argc > 1 ? argv[1] : "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (!std::filesystem::exists(bank)) {
        std::printf("%s is not installed (fluid-soundfont-gm): nothing measured\n", bank.c_str());
        return 0;
    }
    std::vector<double> imports, kicks, wholes, growths;
    for (int round = 0; round < rounds; ++round) {
        const double before = residentMiB();
        const auto start = Clock::now();
        const kitImport::Result imported = kitImport::importFile(bank);
        if (!imported) {
            std::printf("import failed: %s\n", imported.error.c_str());
            return 1;
        }
        imports.push_back(millisecondsSince(start));
        {
            engine::KitPlayer player;
            player.prepareToRender(48000.0, 256);
            player.setKit(*imported.kit);
            while (!player.hasSample(PadRole::kick))
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            kicks.push_back(millisecondsSince(start));
            while (!player.loadProgress().finished())
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            wholes.push_back(millisecondsSince(start));
            growths.push_back(residentMiB() - before);
        }
        std::printf("round %d: imported in %.1f ms, kick plays at %.1f ms, every pad at %.1f "
                    "ms; resident memory grew %.1f MiB\n",
                    round + 1, imports.back(), kicks.back(), wholes.back(), growths.back());
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf("%s standard kit: import %.1f ms, first strike playable %.1f ms, every pad "
                "%.1f ms (medians; target under 300 ms); resident growth %.1f MiB in the first "
                "round (target under 50 MiB)\n",
                bank.filename().c_str(), median(imports), median(kicks), median(wholes),
                growths.front());
    return 0;
}
