#pragma once
// The two models of the hero view: one drum stands for every drum, one cymbal for every
// cymbal and hi-hat.

#include "Collada.h"

namespace tamborel::tools {

// Shell, batter and resonant heads, two hoops and a ring of lugs; 14" x 10", Y up.
Model drumModel();
// An 18" cymbal: raised bell and sloping bow with a centre hole, in bronze; Y up.
Model cymbalModel();

} // namespace tamborel::tools
