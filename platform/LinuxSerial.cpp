#include "LinuxSerial.h"

#include <asm/termios.h>
#include <linux/serial.h>

#include <cstring>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace {
speed_t standardCode(int bitRate)
{
    switch (bitRate) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return 0;
    }
}
} // namespace

namespace linuxserial {

static_assert(sizeof(termios2) <= sizeof(SavedLine::bytes));

SavedLine saveLineSettings(int fd)
{
    struct termios2 tio {};
    SavedLine saved;
    saved.valid = ioctl(fd, TCGETS2, &tio) == 0;
    std::memcpy(saved.bytes.data(), &tio, sizeof tio);
    return saved;
}

void restoreLineSettings(int fd, const SavedLine& saved)
{
    if (!saved.valid)
        return;
    struct termios2 tio {};
    std::memcpy(&tio, saved.bytes.data(), sizeof tio);
    ioctl(fd, TCSETS2, &tio);
}

bool applyLineSettings(int fd, int bitRate, int dataBits, char parity, int stopBits)
{
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= CREAD | CLOCAL | (dataBits == 8 ? CS8 : CS7);
    if (parity == 'O')
        tio.c_cflag |= PARENB | PARODD;
    else if (parity == 'E')
        tio.c_cflag |= PARENB;
    if (parity != 'N')
        tio.c_iflag |= INPCK;
    if (stopBits != 1)
        tio.c_cflag |= CSTOPB;
    if (const speed_t code = standardCode(bitRate)) {
        tio.c_cflag |= code;
    } else {
        tio.c_cflag |= BOTHER;
        tio.c_ispeed = static_cast<speed_t>(bitRate);
        tio.c_ospeed = static_cast<speed_t>(bitRate);
    }
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &tio) == 0;
}

void setModemLines(int fd, bool dtr, bool rts, bool raised)
{
    int bits = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
    ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &bits);
}

void setBreak(int fd, bool on)
{
    ioctl(fd, on ? TIOCSBRK : TIOCCBRK);
}

bool readErrorCounters(int fd, std::array<int, 5>* counters)
{
    struct serial_icounter_struct ic {};
    if (ioctl(fd, TIOCGICOUNT, &ic) != 0)
        return false;
    *counters = {ic.frame, ic.parity, ic.overrun, ic.brk, ic.buf_overrun};
    return true;
}

} // namespace linuxserial
