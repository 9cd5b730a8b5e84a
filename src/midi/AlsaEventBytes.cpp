#include "midi/AlsaEventBytes.h"

namespace tamborel::midi {

AlsaEventBytes::AlsaEventBytes() {
    if (snd_midi_event_new(buffer_.size(), &parser_) < 0) {
        parser_ = nullptr;
        return;
    }
    snd_midi_event_no_status(parser_, 1);
}

AlsaEventBytes::~AlsaEventBytes() {
    if (parser_ != nullptr)
        snd_midi_event_free(parser_);
}

std::span<const std::uint8_t> AlsaEventBytes::toBytes(const snd_seq_event_t& event) noexcept {
    if (parser_ == nullptr)
        return {};
    const long count =
        snd_midi_event_decode(parser_, buffer_.data(), static_cast<long>(buffer_.size()), &event);
    if (count <= 0)
        return {};
    return {buffer_.data(), static_cast<std::size_t>(count)};
}

} // namespace tamborel::midi
