#pragma once
// `tamborel-render [OPTIONS] KIT.json INPUT.mid OUTPUT.wav`: bounces a MIDI performance
// through a kit with the application's own hit handling, offline, into a stereo float WAV
// file at 48 kHz, or at the rate --rate HZ gives (8000 to 384000); --rate kit takes the rate
// the kit's samples are recorded at, so they play unconverted. The velocity curve and the
// hi-hat pedal's setup come from the application's settings, or from a settings file given
// with --settings; --velocity-curve NAME, --lowest-velocity N and --fixed-velocity N override
// them. --stems DIR also writes one file per drum group into DIR (kick.wav, snare.wav …
// ride.wav), the same length and rate as the main one; with --stems-by mic, one mono file per
// microphone output of a kit that has microphones, named after it.

#include <iosfwd>
#include <string>
#include <vector>

namespace tamborel::app {

// Exit codes: 0 written, 1 bad input (nothing written), 2 bad arguments or settings file, 128 + the
// signal's number when SIGINT or SIGTERM stopped it (nothing written). It handles those two signals
// while it runs.
int runRenderTool(const std::vector<std::string>& args, std::ostream& err);

} // namespace tamborel::app
