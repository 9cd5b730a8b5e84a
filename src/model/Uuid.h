#pragma once
// A 128-bit UUID value with its canonical text form.

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tamborel {

struct Uuid {
    std::array<std::uint8_t, 16> bytes{};

    // A new random (version 4) UUID.
    static Uuid random();
    // Canonical 8-4-4-4-12 hexadecimal text, upper or lower case; anything else is none.
    static std::optional<Uuid> parse(std::string_view text);
    // Upper-case canonical text.
    std::string toString() const;

    friend auto operator<=>(const Uuid&, const Uuid&) = default;
};

} // namespace tamborel
