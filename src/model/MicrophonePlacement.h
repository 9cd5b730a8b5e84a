#pragma once
// Where a kit's microphones sit in its stereo mix before anyone moves a control, read from
// their names as the drums stand seen from the drummer's seat. Pure functions, any thread.

#include <string>
#include <vector>

namespace tamborel {

// The pan (-1..1) of each microphone, in the order given. Pairs of overheads (about 0.7 apart
// from the centre) and of rooms or ambience (about 0.9) go left and right by their endings: L
// or R, Left or Right, 1 or 2 ("OHLeft", "OH R", "AmbL", "Room 2"). Close microphones stand
// where their drum does: hi-hat left, snare a little left, kick centre, rack toms from left of
// centre to the right, floor toms right, ride right, crash left; a close pair ("KdrumL",
// "RideR") spreads a little about its drum. Other pairs go to the overheads' places, anything
// else to the centre. The audience's view, mirrored, is the mix's business, not this one's.
std::vector<float> defaultMicrophonePans(const std::vector<std::string>& names);

} // namespace tamborel
