// The port driver over a pseudo-terminal: open, line settings, writes, waits, a vanished device.
#include "CommPort.h"
#include "CommSettings.h"
#include "DevicePath.h"
#include "OpenFailure.h"
#include "PortReconnect.h"
#include "SerialDevice.h"
#include "TestSupport.h"
#include "Tick.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <asm/termios.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace {
struct termios2 lineOf(int fd)
{
    struct termios2 t {};
    ioctl(fd, TCGETS2, &t);
    return t;
}

QString describe(const struct termios2& t)
{
    return QString::asprintf("iflag %o oflag %o cflag %o lflag %o %u/%u bit/s cc ", t.c_iflag, t.c_oflag,
                             t.c_cflag, t.c_lflag, t.c_ispeed, t.c_ospeed) +
           QByteArray(reinterpret_cast<const char*>(t.c_cc), sizeof t.c_cc).toHex(' ');
}

// The reason a failed open gives, or nothing when it opens. Root passes every permission check,
// so where a user without rights is wanted the open runs in a child that drops to uid 65534.
QString reasonOpeningFails(const QString& path, bool unprivileged)
{
    const auto reason = [&] {
        SerialDevice d;
        return d.open(path) ? QByteArray() : openFailureReason(path, d.openError()).toUtf8();
    };
    if (!unprivileged || geteuid() != 0)
        return QString::fromUtf8(reason());
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return QStringLiteral("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            const QByteArray text = reason();
            (void)!::write(pipeFds[1], text.constData(), size_t(text.size()));
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray text;
    char buf[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
        text.append(buf, n);
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    return QString::fromUtf8(text);
}
} // namespace

class SerialPortTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void init() { resetLink(); }
    void cleanup() { resetLink(); }

    void devicePathRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::newRow("COM1") << "COM1"
                              << "/dev/ttyS0";
        QTest::newRow("COM9") << "COM9"
                              << "/dev/ttyS8";
        QTest::newRow("COM10") << "COM10"
                               << "/dev/ttyS9";
        QTest::newRow("COM99") << "COM99"
                               << "/dev/ttyS98";
        QTest::newRow("COM100 is a name") << "COM100"
                                          << "/dev/COM100";
        QTest::newRow("adapter") << "ttyUSB0"
                                 << "/dev/ttyUSB0";
        QTest::newRow("path") << "/dev/pts/7"
                              << "/dev/pts/7";
        QTest::newRow("empty") << ""
                               << "/dev/";
    }
    void devicePathRule()
    {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QCOMPARE(devicePathFor(name), path);
    }

    void bytesWrittenArriveInOrder()
    {
        Pty pty;
        RecordingView view;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        QCOMPARE(view.portStatus, pty.slavePath() + QStringLiteral(":OK"));
        QByteArray sent;
        for (int i = 0; i < 300; ++i) {
            const QByteArray block(i % 17, char(i));
            sent += block;
            commWrite(block);
        }
        QCOMPARE(pty.read(int(sent.size())), sent);
        commClose();
        QCOMPARE(view.portStatus, pty.slavePath() + QStringLiteral(":OFF"));
        QCOMPARE(int(commSettings.portOpen), 0);
        QCOMPARE(int(commSettings.workerRunning), 0);
    }

    void aHeldPortIsRefusedAndItsHolderKeepsIt_data()
    {
        QTest::addColumn<bool>("heldByUs");
        QTest::newRow("held by this program") << true;
        QTest::newRow("held exclusively by another program") << false;
    }
    // Root passes TIOCEXCL: the holder's flag must be looked at, and left as it is.
    void aHeldPortIsRefusedAndItsHolderKeepsIt()
    {
        QFETCH(bool, heldByUs);
        Pty pty;
        SerialDevice first;
        int holder = -1;
        if (heldByUs) {
            QVERIFY(first.open(pty.slavePath()));
            holder = first.fd();
        } else {
            holder = ::open(QFile::encodeName(pty.slavePath()).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            QVERIFY(holder >= 0 && ioctl(holder, TIOCEXCL) == 0);
        }
        SerialDevice second;
        QVERIFY(!second.open(pty.slavePath()));
        QCOMPARE(second.openError(), EBUSY);
        QCOMPARE(
            openFailureReason(pty.slavePath(), second.openError()),
            pty.slavePath() +
                QStringLiteral(": the port is busy: tst_serialport (PID %1) has it open.").arg(getpid()));
        int exclusive = 0;
        QVERIFY(ioctl(holder, TIOCGEXCL, &exclusive) == 0);
        QCOMPARE(exclusive, 1);
        if (heldByUs) {
            first.close();
        } else { // as the holder does when it lets go
            ioctl(holder, TIOCNXCL);
            ::close(holder);
        }
        QVERIFY(second.open(pty.slavePath()));
        QCOMPARE(second.openError(), 0);
    }

    void thingsThatAreNoPortFailWithTheirReason_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("unprivileged");
        QTest::addColumn<QString>("reason");
        QFile plain(m_dir.filePath(QStringLiteral("plain")));
        QFile locked(m_dir.filePath(QStringLiteral("locked")));
        QVERIFY(plain.open(QIODevice::WriteOnly) && locked.open(QIODevice::WriteOnly));
        QVERIFY(locked.setPermissions({}));
        QTest::newRow("missing")
            << m_dir.filePath(QStringLiteral("ttyUSB9")) << false
            << "the device is not there. Is the adapter plugged in, and the port name right?";
        QTest::newRow("regular file")
            << plain.fileName() << false << "not a serial port: this is no terminal device.";
        QTest::newRow("no permission") << locked.fileName() << true
                                       << "no permission. Add your user to the dialout group "
                                          "(sudo adduser $USER dialout), then log in again.";
        QTest::newRow("folder") << m_dir.path() << false << QString::fromLocal8Bit(strerror(EISDIR));
    }
    void thingsThatAreNoPortFailWithTheirReason()
    {
        QFETCH(QString, path);
        QFETCH(bool, unprivileged);
        QFETCH(QString, reason);
        QCOMPARE(reasonOpeningFails(path, unprivileged), path + QStringLiteral(": ") + reason);
    }

    void lineSettingsFollowTheTable_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("byteSize");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("expectedParity");
        QTest::addColumn<int>("expectedStop");
        QTest::newRow("defaults") << 38400 << 8 << "NONE" << 1 << 38400 << 8 << int(Parity::None) << 1;
        QTest::newRow("300 runs at 9600") << 300 << 8 << "NONE" << 1 << 9600 << 8 << int(Parity::None) << 1;
        QTest::newRow("230400 runs at 9600")
            << 230400 << 8 << "NONE" << 1 << 9600 << 8 << int(Parity::None) << 1;
        QTest::newRow("56000") << 56000 << 8 << "NONE" << 1 << 56000 << 8 << int(Parity::None) << 1;
        QTest::newRow("5 bits give 7") << 9600 << 5 << "NONE" << 1 << 9600 << 7 << int(Parity::None) << 1;
        QTest::newRow("9 bits give 7") << 9600 << 9 << "NONE" << 1 << 9600 << 7 << int(Parity::None) << 1;
        QTest::newRow("odd") << 9600 << 7 << "ODD" << 1 << 9600 << 7 << int(Parity::Odd) << 1;
        QTest::newRow("even") << 9600 << 7 << "EVEN" << 1 << 9600 << 7 << int(Parity::Even) << 1;
        QTest::newRow("lower-case odd is none")
            << 9600 << 8 << "odd" << 1 << 9600 << 8 << int(Parity::None) << 1;
        QTest::newRow("0 stop bits give two")
            << 9600 << 8 << "NONE" << 0 << 9600 << 8 << int(Parity::None) << 2;
        QTest::newRow("3 stop bits give two")
            << 9600 << 8 << "NONE" << 3 << 9600 << 8 << int(Parity::None) << 2;
    }
    void lineSettingsFollowTheTable()
    {
        QFETCH(int, baud);
        QFETCH(int, byteSize);
        QFETCH(QString, parity);
        QFETCH(int, stopBits);
        QFETCH(int, rate);
        QFETCH(int, dataBits);
        QFETCH(int, expectedParity);
        QFETCH(int, expectedStop);
        CommSettings s;
        s.baudRate = baud;
        s.dataBits = byteSize;
        s.parity = parity;
        s.stopBits = stopBits;
        const LineSettings l = lineSettingsFor(s);
        QCOMPARE(l.bitRate, rate);
        QCOMPARE(l.dataBits, dataBits);
        QCOMPARE(int(l.parity), expectedParity);
        QCOMPARE(l.stopBits, expectedStop);
    }

    // A pseudo-terminal keeps the rate, stop bits and raw mode (it forces 8 bits, no parity). What
    // the port was set to before, here a console's line at 4800 bit/s, comes back at close.
    void lineSettingsReachTheDeviceAndThoseFoundComeBackAtClose_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<unsigned>("speed");
        QTest::newRow("300 runs at 9600") << 300 << 1 << 9600u;
        QTest::newRow("38400, two stop bits") << 38400 << 2 << 38400u;
        QTest::newRow("56000") << 56000 << 1 << 56000u;
        QTest::newRow("76800") << 76800 << 1 << 76800u;
        QTest::newRow("115200") << 115200 << 1 << 115200u;
    }
    void lineSettingsReachTheDeviceAndThoseFoundComeBackAtClose()
    {
        QFETCH(int, baud);
        QFETCH(int, stopBits);
        QFETCH(unsigned, speed);
        Pty pty;
        struct termios2 console = lineOf(pty.masterFd());
        console.c_iflag |= ICRNL | IXON;
        console.c_oflag |= OPOST | ONLCR;
        console.c_lflag |= ICANON | ECHO | ISIG;
        console.c_cflag = (console.c_cflag & ~CBAUD) | B4800;
        console.c_ispeed = console.c_ospeed = 4800;
        QCOMPARE(ioctl(pty.masterFd(), TCSETS2, &console), 0);
        const QString found = describe(lineOf(pty.masterFd()));
        commSettings.portName = pty.slavePath();
        commSettings.baudRate = baud;
        commSettings.stopBits = stopBits;
        QVERIFY(commOpen());
        const struct termios2 t = lineOf(pty.masterFd());
        QCOMPARE(t.c_ospeed, speed);
        QCOMPARE(bool(t.c_cflag & CSTOPB), stopBits == 2);
        QCOMPARE(unsigned(t.c_cflag & CRTSCTS), 0u);
        QCOMPARE(unsigned(t.c_iflag & (IXON | IXOFF)), 0u);
        QCOMPARE(unsigned(t.c_lflag & (ICANON | ECHO)), 0u);
        commClose();
        QCOMPARE(describe(lineOf(pty.masterFd())), found);
    }

    // The user raises DTR and RTS and sends breaks; every open and close puts both lines low again
    // before anything is written, and a break still on is ended before the port is let go.
    void modemLinesAndBreaksReachTheDeviceAndEveryOpenStartsLow()
    {
        // Records the device's calls, with the time of each break's end, and passes them on.
        struct RecordingCalls : SerialCalls {
            RecordingCalls() { setSerialCalls(this), clock.start(); }
            ~RecordingCalls() override { setSerialCalls(nullptr); }
            Opened open(const QByteArray& path) override
            {
                calls << QStringLiteral("open");
                return SerialCalls::open(path);
            }
            void configure(int fd, const LineSettings& settings) override
            {
                calls << QStringLiteral("configure");
                SerialCalls::configure(fd, settings);
            }
            void setModemLine(int fd, ModemLine line, bool raised) override
            {
                calls << QStringLiteral("%1 %2").arg(line == ModemLine::Dtr ? "DTR" : "RTS",
                                                     raised ? "high" : "low");
                SerialCalls::setModemLine(fd, line, raised);
            }
            void setBreak(int fd, bool on) override
            {
                calls << (on ? QStringLiteral("break on") : QStringLiteral("break off"));
                (on ? breakStarted : breakEnded) = clock.elapsed();
                SerialCalls::setBreak(fd, on);
            }
            ssize_t write(int fd, const char* data, size_t count) override
            {
                calls << QStringLiteral("write");
                return SerialCalls::write(fd, data, count);
            }
            void close(int fd) override
            {
                calls << QStringLiteral("close");
                SerialCalls::close(fd);
            }
            QStringList calls;
            QElapsedTimer clock;
            qint64 breakStarted = 0;
            qint64 breakEnded = 0;
        } recorder;
        struct ShownLines : RecordingView {
            void showModemLines(bool dtr, bool rts) override { shown << QString("%1%2").arg(dtr).arg(rts); }
            QStringList shown;
        } view;
        Pty pty;
        commSettings.portName = pty.slavePath();
        QVERIFY(!setModemLine(ModemLine::Dtr, true));
        QVERIFY(!sendBreak());
        QVERIFY(recorder.calls.isEmpty());

        QVERIFY(commOpen());
        QVERIFY(setModemLine(ModemLine::Dtr, true));
        QVERIFY(setModemLine(ModemLine::Rts, true));
        QVERIFY(setModemLine(ModemLine::Dtr, false));
        QVERIFY(sendBreak());
        QVERIFY(sendBreak()); // a break under way is not restarted
        commWrite(QByteArrayLiteral("x"));
        QVERIFY(waitUntil([&] { return recorder.breakEnded != 0; }));
        QVERIFY(recorder.breakEnded - recorder.breakStarted >= kBreakMs);
        QVERIFY(recorder.breakEnded - recorder.breakStarted < kBreakMs + 150);
        QVERIFY(modemLineRaised(ModemLine::Rts));
        QVERIFY(commOpen());
        QVERIFY(!modemLineRaised(ModemLine::Rts));
        QVERIFY(sendBreak());
        commClose();
        QTest::qWait(kBreakMs + 50); // the first open's timer finds its break gone
        QCOMPARE(recorder.calls,
                 QStringList({"open",    "configure", "DTR low",   "RTS low",   "DTR high", "RTS high",
                              "DTR low", "break on",  "write",     "break off", "DTR low",  "RTS low",
                              "close",   "open",      "configure", "DTR low",   "RTS low",  "break on",
                              "DTR low", "RTS low",   "break off", "close"}));
        QCOMPARE(view.shown, QStringList({"00", "10", "11", "01", "00", "00", "00"}));
    }

    void failedOpenIsReportedOnlyWhenAsked()
    {
        RecordingView view;
        commSettings.portName = QStringLiteral("/dev/no-such-port");
        reportOpenErrors = 0;
        QVERIFY(!commOpen());
        QVERIFY(view.messages.isEmpty());
        QCOMPARE(view.portStatus, QStringLiteral("/dev/no-such-port:OFF"));
        QCOMPARE(int(commSettings.linkError), 1);
        QCOMPARE(int(commSettings.portOpen), 0);

        reportOpenErrors = 1;
        commSettings.portName.clear();
        QVERIFY(!commOpen());
        QCOMPARE(view.messages.size(), 1);
        QCOMPARE(view.messages[0].kind, CommView::LinkMessage::OpenFailed);
        QCOMPARE(view.messages[0].text,
                 QStringLiteral("INVALID HANDLE\n") + openFailureReason(QStringLiteral("/dev/"), EISDIR));
        QCOMPARE(view.messages[0].caption, QStringLiteral("Comm Open"));
        QCOMPARE(view.portStatus, QStringLiteral(":OFF"));
    }

    void reopeningClosesFirstAndReplacesTheWorker()
    {
        Pty pty;
        RecordingView view;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        QVERIFY(commOpen());
        const QString name = pty.slavePath();
        QCOMPARE(view.portStatuses, QStringList({name + ":OK", name + ":OFF", name + ":OK"}));
        QCOMPARE(int(commSettings.workerRunning), 1);
    }

    void writingToAClosedPortDoesNothing()
    {
        RecordingView view;
        Pty pty;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        commClose();
        answerReceived = 1;
        commWrite(QByteArrayLiteral("abc"));
        QCOMPARE(int(answerReceived), 0);
        QVERIFY(view.messages.isEmpty());
        QVERIFY(pty.readFor(50).isEmpty());
        commClose(); // closing twice is harmless
    }

    void aPulledCableClosesThePortInsteadOfSpinning()
    {
        Pty pty;
        RecordingView view;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        const clock_t before = clock();
        pty.closeMaster();
        QVERIFY(waitUntil([] { return !commSettings.portOpen && !commSettings.workerRunning; }));
        QCOMPARE(view.portStatus, pty.slavePath() + QStringLiteral(":OFF"));
        QCOMPARE(int(commSettings.linkError), 1);
        QTest::qWait(300);
        // A worker spinning on the dead device would have burnt the whole wait.
        QVERIFY(double(clock() - before) / CLOCKS_PER_SEC < 0.25);
    }

    void aWriteThatFindsALineErrorSendsNothing()
    {
        RecordingView view;
        Pty pty;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        // The worker sees the hang-up too; the write must not wait for it.
        pty.closeMaster();
        commWrite(QByteArrayLiteral("data"));
        if (commSettings.portOpen) {
            QCOMPARE(view.messages.size(), 1);
            QCOMPARE(view.messages[0].kind, CommView::LinkMessage::WriteRefused);
            QCOMPARE(view.messages[0].text, QStringLiteral("Send ClearCommError dwErrorMask != 0"));
            QCOMPARE(view.messages[0].caption, QStringLiteral("ZelvoTerm for 920MHz"));
        }
        QVERIFY(waitUntil([] { return !commSettings.portOpen; }));
        QCOMPARE(int(commSettings.linkError), 1);
        QVERIFY(view.portStatus.endsWith(QStringLiteral(":OFF")));
    }

    // A link that the test points at a new pseudo-terminal stands in for the device node of an
    // adapter plugged in again.
    void aReplugReopensThePortSilentlyOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("asked");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }
    void aReplugReopensThePortSilentlyOnlyWhenAsked()
    {
        QFETCH(bool, asked);
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyUSB0"));
        RecordingView view;
        PortReconnect reconnect;
        autoReconnect = asked;
        reportOpenErrors = 1; // failed opens are reported, but not those of the watch
        auto pty = std::make_unique<Pty>();
        QVERIFY(QFile::link(pty->slavePath(), link));
        commSettings.portName = link;
        QVERIFY(commOpen());

        pty->closeMaster();
        QVERIFY(waitUntil([] { return !commSettings.portOpen; }));
        QCOMPARE(view.portStatus, link + QStringLiteral(":OFF"));
        QCOMPARE(reconnect.watching(), asked);
        QTest::qWait(2 * PortReconnect::kCheckMs);
        QVERIFY(!commSettings.portOpen);

        pty = std::make_unique<Pty>();
        QVERIFY(QFile::remove(link) && QFile::link(pty->slavePath(), link));
        QElapsedTimer back;
        back.start();
        QCOMPARE(waitUntil([] { return commSettings.portOpen != 0; }, 2000), asked);
        QVERIFY(view.messages.isEmpty());
        QVERIFY(!reconnect.watching());
        if (!asked)
            return;
        QVERIFY(back.elapsed() < 1000);
        QCOMPARE(view.portStatuses.mid(view.portStatuses.lastIndexOf(link + QStringLiteral(":OFF"))),
                 QStringList({link + QStringLiteral(":OFF"), link + QStringLiteral(":OK")}));
        pty->write("back");
        QVERIFY(waitUntil([&] { return !view.blocks.empty(); }));
        QCOMPARE(view.blocks.back(), QByteArray("back"));
    }

    // Only the port's loss starts a watch; a failed open, a close or an open asked for ends it.
    void theUsersOwnOpenOrCloseEndsTheWatch()
    {
        RecordingView view;
        PortReconnect reconnect;
        autoReconnect = true;
        commSettings.portName = QStringLiteral("/dev/no-such-port");
        QVERIFY(!commOpen());
        QVERIFY(!reconnect.watching());

        const auto lose = [&](Pty& pty) {
            commSettings.portName = pty.slavePath();
            QVERIFY(commOpen());
            pty.closeMaster();
            QVERIFY(waitUntil([] { return !commSettings.portOpen; }));
            QVERIFY(reconnect.watching());
        };
        Pty first;
        lose(first);
        commClose(); // the settings dialog, Quit
        QVERIFY(!reconnect.watching());
        Pty second;
        lose(second);
        commSettings.portName = QStringLiteral("/dev/no-such-port");
        QVERIFY(!commOpen()); // Set RFch, Init
        QVERIFY(!reconnect.watching());
    }

    void waitsProcessEventsAndHonourTheirTimes()
    {
        answerReceived = 1;
        QVERIFY(waitForAnswer(0));
        answerReceived = 0;
        QElapsedTimer t;
        t.start();
        QVERIFY(!waitForAnswer(0));
        QVERIFY(!waitForAnswer(150));
        QVERIFY(t.elapsed() >= 150);
        QTimer::singleShot(50, [] { answerReceived = 1; });
        t.restart();
        QVERIFY(waitForAnswer(2000));
        QVERIFY(t.elapsed() < 1000);

        t.restart();
        pumpWait(0);
        QVERIFY(t.elapsed() < 20);
        bool ran = false;
        QTimer::singleShot(10, [&] { ran = true; });
        pumpWait(100);
        QVERIFY(ran);
        QVERIFY(t.elapsed() >= 99); // the tick counts whole milliseconds
    }
};

QTEST_MAIN(SerialPortTest)
#include "tst_serialport.moc"
