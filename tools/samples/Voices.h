#pragma once
// The sound sources the drum recipes are made of: swept sines for skins, filtered noise for
// wires and sticks, clusters of inharmonic partials or squares for metal.

#include "Dsp.h"
#include "Sound.h"

#include <initializer_list>
#include <span>

namespace tamborel::tools {

// A sine whose pitch falls from startHz towards endHz with time constant sweepSeconds, and
// whose level falls with time constant decaySeconds: a struck membrane.
Signal sweptSine(double rate, double seconds, double startHz, double endHz, double sweepSeconds,
                 double decaySeconds, double amplitude);

// White noise through the given filters, then shaped by an exponential decay. A non-zero
// attackSeconds lets the burst swell in, as snare wires do just after the stick.
Signal noiseBurst(Rng& rng, double rate, double seconds, std::initializer_list<Biquad> filters,
                  double decaySeconds, double amplitude, double attackSeconds = 0.0);

// count sine partials spread log-uniformly between loHz and hiHz, random phases, each
// decaying around decaySeconds (higher partials faster): the shimmer of struck metal.
Signal partialCluster(Rng& rng, double rate, double seconds, int count, double loHz, double hiHz,
                      double decaySeconds, double amplitude);

// The sum of band-limited squares at the given pitches times pitchScale, as the analogue
// machines make their metallic noise. Not enveloped.
Signal squareCluster(double rate, double seconds, std::span<const double> pitches,
                     double pitchScale, double amplitude);

// Multiplies by exp(-t / decaySeconds).
void applyDecay(Signal& signal, double rate, double decaySeconds);
void applyFilter(Signal& signal, Biquad filter);
// Soft clipping for a little weight on skins, normalised so drive does not change the peak
// much.
void saturate(Signal& signal, double drive);

} // namespace tamborel::tools
