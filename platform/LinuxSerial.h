#pragma once

#include <array>

// The Linux-only calls of the serial device, kept apart because the kernel's termios2 header
// cannot be mixed with the C library's termios header.
namespace linuxserial {
// Raw mode, the given line settings, no XON/XOFF, no RTS/CTS; rates without a standard code
// (56000, 76800) go through the kernel's arbitrary-rate interface.
bool applyLineSettings(int fd, int bitRate, int dataBits, char parity, int stopBits);
void clearModemLines(int fd, bool dtr, bool rts);
// Framing, parity, overrun, break and buffer-overrun counters; false where the driver has none.
bool readErrorCounters(int fd, std::array<int, 5>* counters);
} // namespace linuxserial
