// A host of the engine library alone: plays one note of the default kit into a block. Its
// link line is what tests/engine/check_links.sh reads.

#include "engine/KitPlayer.h"

#include <cstdio>

int main() {
    tamborel::engine::KitPlayer player;
    player.prepareToRender(48000.0, 256);
    player.setKit(tamborel::DrumKit("Probe"),
                  tamborel::engine::KitPlayer::Loading::beforeReturning);
    player.renderingStarted();
    player.strike(36, 100, 0u);
    float left[256], right[256];
    float* const channels[2] = {left, right};
    player.render({channels, 2, 256, 0});
    std::printf("%g\n", static_cast<double>(left[0]));
    return 0;
}
