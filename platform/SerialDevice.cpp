#include "SerialDevice.h"

#include "LinuxSerial.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
SerialCalls*& replacedCalls()
{
    static SerialCalls* calls = nullptr;
    return calls;
}
} // namespace

SerialCalls::Opened SerialCalls::open(const QByteArray& path)
{
    // A port held with TIOCEXCL already fails here, with EBUSY.
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {-1, errno};
    // TIOCEXCL keeps other programs out; the lock also keeps out a second open by this program
    // and by root, whom TIOCEXCL does not stop. Root also looks at the flag itself: a port another
    // program holds exclusively is that program's, and its flag is not ours to clear.
    int error = 0;
    int exclusive = 0;
    if (!isatty(fd))
        error = ENOTTY;
    else if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0)
        error = EBUSY;
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        error = errno == EWOULDBLOCK ? EBUSY : errno;
    else if (::ioctl(fd, TIOCEXCL) != 0)
        error = errno;
    if (error != 0) {
        ::close(fd);
        return {-1, error};
    }
    return {fd, 0};
}

void SerialCalls::configure(int fd, const LineSettings& s)
{
    const char parity = s.parity == Parity::Odd ? 'O' : s.parity == Parity::Even ? 'E' : 'N';
    linuxserial::applyLineSettings(fd, s.bitRate, s.dataBits, parity, s.stopBits);
}

void SerialCalls::setModemLine(int fd, ModemLine line, bool raised)
{
    linuxserial::setModemLines(fd, line == ModemLine::Dtr, line == ModemLine::Rts, raised);
}

void SerialCalls::setBreak(int fd, bool on)
{
    linuxserial::setBreak(fd, on);
}

ssize_t SerialCalls::write(int fd, const char* data, size_t count)
{
    return ::write(fd, data, count);
}

void SerialCalls::close(int fd)
{
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

SerialCalls& serialCalls()
{
    // Never destroyed: a device still open at exit closes itself through it.
    static SerialCalls& real = *new SerialCalls;
    return replacedCalls() ? *replacedCalls() : real;
}

void setSerialCalls(SerialCalls* replacement)
{
    replacedCalls() = replacement;
}

SerialDevice::~SerialDevice()
{
    close();
}

bool SerialDevice::open(const QString& path)
{
    close();
    const SerialCalls::Opened opened = serialCalls().open(path.toLocal8Bit());
    m_openError = opened.error;
    if (opened.fd < 0)
        return false;
    m_fd = opened.fd;
    m_lineAtOpen = linuxserial::saveLineSettings(m_fd);
    m_errorCounters = {};
    readErrorCounters(&m_errorCounters);
    return true;
}

void SerialDevice::close()
{
    if (m_fd < 0)
        return;
    // At once, as Qt's serial port does: waiting for the output to drain could hold the window for
    // as long as a stalled adapter likes.
    // A break left on would hold the module's receive line low after we let go of the port.
    setBreak(false);
    linuxserial::restoreLineSettings(m_fd, m_lineAtOpen);
    serialCalls().close(m_fd);
    m_fd = -1;
    m_dtrRaised = false;
    m_rtsRaised = false;
}

void SerialDevice::configure(const LineSettings& s)
{
    if (m_fd < 0)
        return;
    m_bitRate = s.bitRate;
    serialCalls().configure(m_fd, s);
    readErrorCounters(&m_errorCounters);
}

void SerialDevice::clearModemLines()
{
    if (m_fd < 0)
        return;
    serialCalls().setModemLine(m_fd, ModemLine::Dtr, false);
    serialCalls().setModemLine(m_fd, ModemLine::Rts, false);
    m_dtrRaised = false;
    m_rtsRaised = false;
}

void SerialDevice::setModemLine(ModemLine line, bool raised)
{
    if (m_fd < 0)
        return;
    serialCalls().setModemLine(m_fd, line, raised);
    (line == ModemLine::Dtr ? m_dtrRaised : m_rtsRaised) = raised;
}

void SerialDevice::setBreak(bool on)
{
    if (m_fd < 0 || on == m_breakOn)
        return;
    serialCalls().setBreak(m_fd, on);
    m_breakOn = on;
}

bool SerialDevice::readErrorCounters(std::array<int, 5>* counters) const
{
    return linuxserial::readErrorCounters(m_fd, counters);
}

SerialDevice::Status SerialDevice::checkStatus()
{
    Status status;
    if (m_fd < 0) {
        status.lineError = true;
        return status;
    }
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        status.lineError = true;
    std::array<int, 5> counters{};
    if (readErrorCounters(&counters)) {
        if (counters != m_errorCounters)
            status.lineError = true;
        m_errorCounters = counters;
    }
    int queued = 0;
    if (::ioctl(m_fd, FIONREAD, &queued) == 0 && queued > 0)
        status.queued = queued;
    return status;
}

int SerialDevice::read(char* buffer, int maxBytes)
{
    if (m_fd < 0)
        return -1;
    const ssize_t n = ::read(m_fd, buffer, static_cast<size_t>(maxBytes));
    if (n < 0)
        return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    return static_cast<int>(n);
}

bool SerialDevice::write(const char* data, int count)
{
    if (m_fd < 0)
        return false;
    using namespace std::chrono;
    // Ten bit times a byte at the configured rate, plus half a second of slack.
    const auto budget = milliseconds(500 + static_cast<long long>(count) * 10'000 / std::max(m_bitRate, 300));
    const auto deadline = steady_clock::now() + budget;
    int done = 0;
    while (done < count) {
        const ssize_t n = serialCalls().write(m_fd, data + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR)
            return false;
        if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return false;
    }
    return true;
}
