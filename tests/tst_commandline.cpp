// The command line: what it accepts, what it refuses, what --port and --baud do to a run, and how
// signals end one.
#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "CommandLine.h"
#include "MainWindow.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// True once a program has opened the port: it holds the port's lock from then on.
bool portTaken(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno == EBUSY;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}
} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("error");
        const int run = int(CommandLine::Action::Run);
        const int refused = int(CommandLine::Action::Error);
        QTest::newRow("nothing") << QStringList{} << run << QString() << 0 << QString() << QString();
        QTest::newRow("all three") << QStringList{"--port", "/dev/ttyUSB0", "--baud",
                                                  "115200", "--settings",   "/tmp/z.ini"}
                                   << run << "/dev/ttyUSB0" << 115200 << "/tmp/z.ini" << QString();
        QTest::newRow("--port=value")
            << QStringList{"--port=ttyACM0"} << run << "ttyACM0" << 0 << QString() << QString();
        QTest::newRow("help") << QStringList{"--help"} << int(CommandLine::Action::Help) << QString() << 0
                              << QString() << QString();
        QTest::newRow("version") << QStringList{"-v"} << int(CommandLine::Action::Version) << QString() << 0
                                 << QString() << QString();
        QTest::newRow("rate outside the table") << QStringList{"--baud", "300"} << refused << QString() << 0
                                                << QString() << "--baud wants one of";
        QTest::newRow("rate that is no number")
            << QStringList{"--baud", "fast"} << refused << QString() << 0 << QString() << "not 'fast'";
        QTest::newRow("empty port") << QStringList{"--port", ""} << refused << QString() << 0 << QString()
                                    << "--port wants";
        QTest::newRow("missing value")
            << QStringList{"--port"} << refused << QString() << 0 << QString() << "Missing value";
        QTest::newRow("folder as settings") << QStringList{"--settings", "/tmp"} << refused << QString() << 0
                                            << QString() << "--settings wants";
        QTest::newRow("unknown option")
            << QStringList{"--speed", "9600"} << refused << QString() << 0 << QString() << "Unknown option";
        QTest::newRow("stray argument")
            << QStringList{"ttyUSB0"} << refused << QString() << 0 << QString() << "unexpected argument";
    }
    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, port);
        QFETCH(int, baud);
        QFETCH(QString, settings);
        QFETCH(QString, error);
        const CommandLine c = parseCommandLine(QStringList{"zelvoterm"} + arguments);
        QCOMPARE(int(c.action), action);
        QCOMPARE(c.overrides.portName.value_or(QString()), port);
        QCOMPARE(c.overrides.baudRate.value_or(0), baud);
        QCOMPARE(c.settingsFile, settings);
        QVERIFY2(c.error.contains(error), qPrintable(c.error));
    }

    void qtOptionsWaitForQApplication()
    {
        const QStringList args{"zelvoterm", "-platform", "offscreen", "--baud", "9600"};
        QCOMPARE(parseCommandLine(args, true).action, CommandLine::Action::Run);
        QCOMPARE(parseCommandLine(args).action, CommandLine::Action::Error);
        // A bad value is refused at once, Qt's options or not.
        QCOMPARE(parseCommandLine(args + QStringList{"--baud", "1"}, true).action,
                 CommandLine::Action::Error);
    }

    // The programs answer these before they connect to any display: no window, a refusal is one
    // line with its control characters escaped, status 2. `out` is part of what they print.
    void theProgramAnswersWithoutADisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString terminal = QStringLiteral(ZELVOTERM_BINARY);
        QTest::newRow("version") << terminal << QStringList{"--version"} << 0
                                 << "zelvoterm " ZELVOTERM_VERSION "\n"
                                 << QString();
        QTest::newRow("simulator's version")
            << QStringLiteral(ZELVO_MODSIM_BINARY) << QStringList{"--version"} << 0
            << "zelvo-modsim " ZELVOTERM_VERSION "\n"
            << QString();
        QTest::newRow("help with Qt's options")
            << terminal << QStringList{"--help-all"} << 0 << "  -platform" << QString();
        QTest::newRow("help names the settings file given")
            << terminal << QStringList{"--settings", "/tmp/bench-a.ini", "--help"} << 0
            << "\nSettings file: /tmp/bench-a.ini\n"
            << QString();
        QTest::newRow("bad rate") << terminal << QStringList{"--baud", "abc"} << 2 << QString()
                                  << "zelvoterm: --baud wants one of 1200 2400 4800 9600 19200 38400 56000 "
                                     "57600 76800 115200, not 'abc'\n";
        QTest::newRow("line break") << terminal << QStringList{"foo\nbar"} << 2 << QString()
                                    << "zelvoterm: unexpected argument 'foo\\nbar'; see --help\n";
        QTest::newRow("escape sequence") << terminal << QStringList{"--bau\x1b[2J"} << 2 << QString()
                                         << "zelvoterm: Unknown option 'bau\\x1b[2J'.\n";
    }
    void theProgramAnswersWithoutADisplay()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        p.setProcessEnvironment(env);
        p.start(program, arguments);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), status);
        const QString printed = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY2(out.isEmpty() ? printed.isEmpty() : printed.contains(out), qPrintable(printed));
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardError()), err);
    }

    // kill, a logout and Ctrl+C end the real program as Quit does: settings saved, status 0. Under
    // a file-size limit the save fails instead of the limit's signal killing the program, and the
    // old file stays whole with no temporary file beside it. The child starts with the signals'
    // default actions, as from a shell.
    void aSignalEndsTheProgramAsQuitDoes_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("fileSizeLimit");
        QTest::newRow("SIGTERM") << SIGTERM << 0;
        QTest::newRow("SIGHUP") << SIGHUP << 0;
        QTest::newRow("SIGINT") << SIGINT << 0;
        QTest::newRow("SIGTERM, settings larger than the file-size limit") << SIGTERM << 64;
    }
    void aSignalEndsTheProgramAsQuitDoes()
    {
        QFETCH(int, signal);
        QFETCH(int, fileSizeLimit);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("zelvoterm.ini"));
        const QByteArray old = "[COMPORT]\r\nBaudRate=9600\r\n";
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        Pty pty;
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.setChildProcessModifier([fileSizeLimit] {
            for (const int s : {SIGTERM, SIGHUP, SIGINT, SIGXFSZ})
                std::signal(s, SIG_DFL);
            if (fileSizeLimit > 0) {
                const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
        });
        p.start(QStringLiteral(ZELVOTERM_BINARY),
                {QStringLiteral("--settings"), ini, QStringLiteral("--port"), pty.slavePath(),
                 QStringLiteral("--baud"), QStringLiteral("115200")});
        QVERIFY(waitUntil([&] { return portTaken(pty.slavePath()); }, 10000));
        QCOMPARE(::kill(pid_t(p.processId()), signal), 0);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        if (fileSizeLimit > 0) {
            QCOMPARE(saved, old);
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                     {QStringLiteral("zelvoterm.ini")});
        } else {
            QVERIFY2(saved.contains("BaudRate=115200\r\n"), saved.constData());
        }
    }

    void portAndRateAreTakenAsIfConfirmedInTheDialog()
    {
        resetLink();
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("zelvoterm.ini"));
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[COMPORT]\r\nPortName=/dev/no-such-port\r\nBaudRate=9600\r\n");
        }
        setSettingsFilePath(ini);
        Pty pty;
        {
            MainWindow w(nullptr, {.portName = pty.slavePath(), .baudRate = 115200});
            QCOMPARE(w.statusPanels()->panelText(0), pty.slavePath() + QStringLiteral(":OK"));
            w.close();
        }
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        QVERIFY(saved.contains("PortName=" + pty.slavePath().toLocal8Bit() + "\r\n"));
        QVERIFY(saved.contains("BaudRate=115200\r\n"));

        // A port asked for on the command line that does not open is reported, not passed over.
        resetLink();
        ScriptedDialogs dialogs;
        MainWindow w(nullptr, {.portName = QStringLiteral("/dev/no-such-port"), .baudRate = {}});
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Comm Open"));
        w.close();
        setSettingsFilePath({});
        resetLink();
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
