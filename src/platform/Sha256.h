// SHA-256 (FIPS 180-4): the strong hash by which the delivery journal remembers the record a
// scale last accepted, so an unchanged record is known without keeping its bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace ostrel {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest sha256(std::span<const std::uint8_t> bytes);

} // namespace ostrel
