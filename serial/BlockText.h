#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <span>

// The digits of the hexadecimal renderings, by value.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Every byte as a space, two upper-case hexadecimal digits and "h": 0F 5A gives " 0Fh 5Ah".
// Byte k of a block occupies characters 4k+1 to 4k+4 (counted from 1).
[[nodiscard]] QString renderBinary(std::span<const uint8_t> block);

// renderBinary in bytes of the code page, as files and the log keep a line.
[[nodiscard]] QByteArray renderBinaryBytes(std::span<const uint8_t> block);

// Control codes (00-1F, 7F) as in renderBinary, every run of other bytes after one space and kept
// as they came: the line in bytes of the code page, as files and the log keep it.
[[nodiscard]] QByteArray renderTextBytes(std::span<const uint8_t> block);

// A line in bytes of the code page as the monitor shows it: decoded (so Japanese from a module
// reads as Japanese), except that a byte that makes no character (80, A0, FD-FF, a lead byte
// without its trail byte) shows as " XXh", as control codes do, so that the user sees it is there.
// `exact` says whether the text encodes back to the bytes; where it does not (such a byte, or the
// other of two pairs of one character), whoever saves the line must keep its bytes.
struct LineText {
    QString text;
    bool exact = true;
};
[[nodiscard]] LineText decodeLine(QByteArrayView bytes);

// The monitor's text of a block in Text mode: decodeLine(renderTextBytes(block)).text.
[[nodiscard]] QString renderText(std::span<const uint8_t> block);

// An ID as four "%02X " groups: 12 34 56 78 gives "12 34 56 78 ".
[[nodiscard]] QString formatId(const std::array<uint8_t, 4>& id);
