#pragma once
// `tamborel-render KIT.json INPUT.mid OUTPUT.wav`: bounces a MIDI performance through a kit
// with the application's own hit handling, offline, into a 48 kHz stereo float WAV file.

#include <iosfwd>
#include <string>
#include <vector>

namespace tamborel::app {

// Exit codes: 0 written, 1 bad input (nothing written), 2 bad arguments, 128 + the signal's
// number when SIGINT or SIGTERM stopped it (nothing written). It handles those two signals
// while it runs.
int runRenderTool(const std::vector<std::string>& args, std::ostream& err);

} // namespace tamborel::app
