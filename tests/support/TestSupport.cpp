#include "TestSupport.h"

#include "CommPort.h"
#include "CommSettings.h"
#include "FrameAssembler.h"
#include "SettingsFile.h"
#include "Tick.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
        qFatal("openpty failed");
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
}

Pty::~Pty()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

void Pty::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    QElapsedTimer t;
    t.start();
    while (done < bytes.size() && t.elapsed() < 5000) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else
            QTest::qWait(1);
    }
}

QByteArray Pty::read(int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < count && t.elapsed() < timeoutMs) {
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
        else
            QTest::qWait(1);
    }
    return got;
}

QByteArray Pty::readFor(int ms)
{
    return read(1 << 30, ms);
}

void Pty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

FakeTick::FakeTick(uint32_t start) : now(start)
{
    setTickSource([this] { return now; });
}

FakeTick::~FakeTick()
{
    setTickSource({});
}

RecordingView::RecordingView()
{
    setCommView(this);
}

RecordingView::~RecordingView()
{
    setCommView(nullptr);
}

void RecordingView::displayReceivedBlock(std::span<const uint8_t> block)
{
    blocks.emplace_back(reinterpret_cast<const char*>(block.data()), qsizetype(block.size()));
}

void resetLink()
{
    commClose();
    commSettings = CommSettings{};
    rfChannel = 33;
    rfPower = 3;
    rfRateCode = 7;
    autoReconnect = false;
    receivedFrame = FrameState{};
    answerReceived = 0;
    reportOpenErrors = 0;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(2);
    }
    return true;
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray transmitterReport(uint32_t id, uint8_t sequence, uint8_t key)
{
    QByteArray r = hex("0F 5A 13 13 00 4D 53 00 01 00 00 00 00 83 41 00 00");
    r[4] = char(sequence);
    for (int i = 0; i < 4; ++i)
        r[9 + i] = char(id >> (24 - 8 * i));
    return r + char(key) + char(~key);
}

std::span<const uint8_t> asBlock(const QByteArray& bytes)
{
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

QList<PortInfo> portsNamed(const QStringList& names)
{
    QList<PortInfo> ports;
    for (const QString& name : names) {
        PortInfo port;
        port.name = name;
        ports << port;
    }
    return ports;
}

void useSettingsNamingPort(const QString& path, const QString& port)
{
    QFile ini(path);
    if (!ini.open(QIODevice::WriteOnly))
        qWarning("cannot write %s", qPrintable(path));
    ini.write("[COMPORT]\r\nPortName=" + port.toLocal8Bit() + "\r\n");
    ini.close();
    setSettingsFilePath(path);
}
