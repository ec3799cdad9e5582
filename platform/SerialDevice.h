#pragma once

#include "LinuxSerial.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <sys/types.h>

enum class Parity { None, Odd, Even };

struct LineSettings {
    int bitRate = 9600;
    int dataBits = 8; // 7 or 8
    Parity parity = Parity::None;
    int stopBits = 1; // 1 or 2
};

enum class ModemLine { Dtr, Rts };

// The system calls behind a serial device, in one interface so that a test can watch their
// order: a pseudo-terminal cannot show the modem lines. The real ones are termios calls.
class SerialCalls {
public:
    virtual ~SerialCalls() = default;
    struct Opened {
        int fd = -1;
        int error = 0; // errno of a failed open; EBUSY for a port another program holds
    };
    // Opens an existing terminal device exclusively, without waiting; a port that another program
    // holds exclusively is refused with EBUSY, root or not.
    virtual Opened open(const QByteArray& path);
    virtual void configure(int fd, const LineSettings& settings);
    // Modules and adapters wire DTR and RTS to reset, sleep or power pins: they are low unless
    // the user raises them.
    virtual void setModemLine(int fd, ModemLine line, bool raised);
    virtual void setBreak(int fd, bool on);
    virtual ssize_t write(int fd, const char* data, size_t count);
    // Gives up the exclusive hold, which only an open that succeeded can have set.
    virtual void close(int fd);
};

// The calls in use: the real ones unless a test has put its own in place.
[[nodiscard]] SerialCalls& serialCalls();
void setSerialCalls(SerialCalls* replacement);

// One serial device opened through termios: exclusive, raw, no flow control, non-blocking.
// Closing puts back the line settings found at open, so a console or another program's port is
// not left in raw mode. The receive worker may poll fd() while the GUI thread uses the device; the
// device is closed only after the worker has ended.
class SerialDevice {
public:
    SerialDevice() = default;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;
    ~SerialDevice();

    // Opens an existing terminal device for reading and writing; fails for anything that is not
    // a terminal and for a port that another program (or another open here) holds.
    [[nodiscard]] bool open(const QString& path);
    // Why the last open failed, as an errno value (EBUSY for a port another program holds,
    // ENOTTY for something that is no terminal); 0 after an open that succeeded.
    [[nodiscard]] int openError() const { return m_openError; }
    void close();
    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    [[nodiscard]] int fd() const { return m_fd; }

    // Applies the line settings; a device that refuses them keeps what it accepted.
    void configure(const LineSettings& settings);
    // DTR, then RTS, low.
    void clearModemLines();
    void setModemLine(ModemLine line, bool raised);
    [[nodiscard]] bool modemLineRaised(ModemLine line) const
    {
        return line == ModemLine::Dtr ? m_dtrRaised : m_rtsRaised;
    }
    // The transmit line held in the break condition, or let go; closing lets it go too.
    void setBreak(bool on);
    [[nodiscard]] bool breakOn() const { return m_breakOn; }

    struct Status {
        bool lineError = false; // framing, parity, overrun or break since the last check, or hang-up
        int queued = 0;         // bytes waiting to be read
    };
    // Reports and forgets the line errors seen since the last call, and the bytes queued.
    [[nodiscard]] Status checkStatus();

    // Reads what is queued, without waiting; -1 when the read fails.
    [[nodiscard]] int read(char* buffer, int maxBytes);

    // Writes the whole block, waiting for the driver to take it for as long as the bytes need on
    // the line plus a margin; a device that stalls longer loses the rest instead of freezing us.
    bool write(const char* data, int count);

private:
    bool readErrorCounters(std::array<int, 5>* counters) const;

    int m_fd = -1;
    int m_openError = 0;
    linuxserial::SavedLine m_lineAtOpen;
    int m_bitRate = 9600;
    std::array<int, 5> m_errorCounters{};
    bool m_dtrRaised = false;
    bool m_rtsRaised = false;
    bool m_breakOn = false;
};
