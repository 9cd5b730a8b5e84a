#include "drivers/AlsaDeviceNames.h"

#include <alsa/asoundlib.h>

#include <charconv>
#include <memory>

namespace tamborel::drivers::alsaNames {

namespace {

struct Address {
    std::size_t start = 0; // of "(hw:" in the name
    std::string_view card; // the text between "hw:" and the comma
    std::string_view device;
};

// The hardware address a name ends with, "(hw:CARD,DEV)" in either form.
std::optional<Address> trailingAddress(std::string_view name) {
    const std::size_t start = name.rfind("(hw:");
    if (start == std::string_view::npos || !name.ends_with(')'))
        return std::nullopt;
    const std::string_view inside = name.substr(start + 4, name.size() - start - 5);
    const std::size_t comma = inside.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    return Address{start, inside.substr(0, comma), inside.substr(comma + 1)};
}

std::optional<int> number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

} // namespace

std::string stableName(std::string_view portAudioName, const CardIdLookup& cardId) {
    const auto address = trailingAddress(portAudioName);
    const auto index = address ? number(address->card) : std::nullopt;
    const auto device = address ? number(address->device) : std::nullopt;
    const auto id = index && device ? cardId(*index) : std::nullopt;
    if (!id)
        return std::string(portAudioName);
    return std::string(portAudioName.substr(0, address->start)) + "(hw:CARD=" + *id +
           ",DEV=" + std::to_string(*device) + ")";
}

std::optional<std::string> portAudioName(std::string_view stable,
                                         const CardIndexLookup& cardIndex) {
    const auto address = trailingAddress(stable);
    if (!address || !address->card.starts_with("CARD=") || !address->device.starts_with("DEV="))
        return std::string(stable);
    const auto index = cardIndex(address->card.substr(5));
    if (!index)
        return std::nullopt;
    return std::string(stable.substr(0, address->start)) + "(hw:" + std::to_string(*index) + "," +
           std::string(address->device.substr(4)) + ")";
}

std::optional<std::string> systemCardId(int index) {
    // Asked first, so that an absent card costs no alsa-lib error message.
    if (snd_card_load(index) != 1)
        return std::nullopt;
    snd_ctl_t* raw = nullptr;
    if (snd_ctl_open(&raw, ("hw:" + std::to_string(index)).c_str(), 0) < 0)
        return std::nullopt;
    const std::unique_ptr<snd_ctl_t, int (*)(snd_ctl_t*)> ctl(raw, &snd_ctl_close);
    snd_ctl_card_info_t* info = nullptr;
    snd_ctl_card_info_alloca(&info);
    if (snd_ctl_card_info(ctl.get(), info) < 0)
        return std::nullopt;
    const char* id = snd_ctl_card_info_get_id(info);
    if (id == nullptr || *id == '\0')
        return std::nullopt;
    return std::string(id);
}

std::optional<int> systemCardIndex(std::string_view id) {
    // snd_card_get_index also takes a plain number, which an id never is.
    if (id.empty() || number(id))
        return std::nullopt;
    const int index = snd_card_get_index(std::string(id).c_str());
    if (index < 0)
        return std::nullopt;
    return index;
}

} // namespace tamborel::drivers::alsaNames
