#pragma once

#include <array>

// The Linux-only calls of the serial device, kept apart because the kernel's termios2 header
// cannot be mixed with the C library's termios header.
namespace linuxserial {
// A port's line settings as the kernel keeps them, to be put back as they were found. Opaque here:
// the kernel's structure cannot be named beside the C library's termios header.
struct SavedLine {
    std::array<unsigned char, 64> bytes{};
    bool valid = false;
};
[[nodiscard]] SavedLine saveLineSettings(int fd);
void restoreLineSettings(int fd, const SavedLine& saved);
// Raw mode, the given line settings, no XON/XOFF, no RTS/CTS; rates without a standard code
// (56000, 76800) go through the kernel's arbitrary-rate interface.
bool applyLineSettings(int fd, int bitRate, int dataBits, char parity, int stopBits);
// Raises or lowers the named modem lines, leaving the others as they are.
void setModemLines(int fd, bool dtr, bool rts, bool raised);
// Holds the transmit line in the break condition (on) or lets it go (off).
void setBreak(int fd, bool on);
// Framing, parity, overrun, break and buffer-overrun counters; false where the driver has none.
bool readErrorCounters(int fd, std::array<int, 5>* counters);
} // namespace linuxserial
