#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <span>

// The digits of the hexadecimal renderings, by value.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Every byte as a space, two upper-case hexadecimal digits and "h": 0F 5A gives " 0Fh 5Ah".
// Byte k of a block occupies characters 4k+1 to 4k+4 (counted from 1).
[[nodiscard]] QString renderBinary(std::span<const uint8_t> block);

// Control codes (00-1F, 7F) as in renderBinary, every run of other bytes after one space, those
// bytes decoded as the code page (so Japanese from a module reads as Japanese).
[[nodiscard]] QString renderText(std::span<const uint8_t> block);

// An ID as four "%02X " groups: 12 34 56 78 gives "12 34 56 78 ".
[[nodiscard]] QString formatId(const std::array<uint8_t, 4>& id);
