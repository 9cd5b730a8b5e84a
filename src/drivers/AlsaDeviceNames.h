#pragma once
// How ALSA output devices are named so that a saved choice survives reboots and re-plugs.
// PortAudio names a hardware device "Card: PCM (hw:N,M)", and the card number N follows the
// order in which cards were found at boot; the card's id string (the "CARD=" of ALSA device
// strings) does not change. Plain string rules over lookups the caller supplies; not for
// the audio thread.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tamborel::drivers::alsaNames {

// The id string of the card now at this index, none when there is no such card.
using CardIdLookup = std::function<std::optional<std::string>(int index)>;
// The index the card with this id string has now, none when it is absent.
using CardIndexLookup = std::function<std::optional<int>(std::string_view id)>;

// "Card: PCM (hw:N,M)" becomes "Card: PCM (hw:CARD=<id of card N>,DEV=M)". A name without
// a trailing hardware address (default, pulse, pipewire, dmix...) or whose card is absent
// stays as it is; so does a name already in the stable form. Applied to a name saved
// before ids were stable, this resolves it to the card now at that index.
std::string stableName(std::string_view portAudioName, const CardIdLookup& cardId);

// The reverse, to find the device in PortAudio's list: the stable form with the card's
// current index, any other name unchanged; none when the named card is absent.
std::optional<std::string> portAudioName(std::string_view stable, const CardIndexLookup& cardIndex);

// The lookups of this machine, through alsa-lib.
std::optional<std::string> systemCardId(int index);
std::optional<int> systemCardIndex(std::string_view id);

} // namespace tamborel::drivers::alsaNames
