// zelvoctl as scripts run it: the real program in a child process against the module simulator
// on a pseudo-terminal, its standard output read back in each format, its exit statuses.
#include "Frames.h"
#include "OpenFailure.h"
#include "PtyRunner.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {
struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < timeoutMs)
        QTest::qWait(5);
    return condition();
}

// The key reports a listen printed, as "destination key" pairs, whatever the format.
QStringList reportsIn(const QByteArray& out, const QString& format)
{
    QStringList reports;
    QList<QByteArray> lines = out.split('\n');
    lines.removeAll(QByteArray());
    if (format == u"csv") {
        if (lines.isEmpty() ||
            !lines.takeFirst().startsWith("time,kind,bytes,command,sequence,source,destination"))
            return {QStringLiteral("no CSV header")};
        for (const QByteArray& line : lines) {
            const QList<QByteArray> f = line.split(',');
            reports << (f.size() == 11 && f[1] == "frame" && f[3] == "13" && f[10] == "true"
                            ? QString::fromLatin1(f[6] + ' ' + f[9])
                            : QString::fromLatin1(line));
        }
    } else if (format == u"json") {
        for (const QByteArray& line : lines) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            const bool whole = QByteArray::fromHex(o[u"bytes"].toString().toLatin1()).size() == 19 &&
                               QDateTime::fromString(o[u"time"].toString(), Qt::ISODateWithMs).isValid();
            reports << (whole && o[u"kind"].toString() == u"frame" && o[u"command"].toString() == u"13" &&
                                o[u"check"].toBool() && o[u"source"].toString() == u"4D 53 00 01"
                            ? o[u"destination"].toString() + u' ' + QString::number(o[u"key"].toInt())
                            : QString::fromLatin1(line));
        }
    } else {
        static const QRegularExpression row(QStringLiteral(
            R"(^\S+Z  13  \d+ +4D 53 00 01  ((?:[0-9A-F]{2} ){3}[0-9A-F]{2})  .*  key (\d+)  complement ok$)"));
        for (const QByteArray& line : lines) {
            const auto m = row.match(QString::fromLatin1(line));
            reports << (m.hasMatch() ? m.captured(1) + u' ' + m.captured(2) : QString::fromLatin1(line));
        }
    }
    return reports;
}
} // namespace

class ZelvoctlTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<modsim::PtyRunner> m_sim;

    modsim::PtyRunner& simulator(int transmitters = 1, const QString& link = QStringLiteral("module"))
    {
        modsim::Scenario scenario;
        scenario.transmitters = transmitters;
        m_sim = std::make_unique<modsim::PtyRunner>(modsim::ModuleOptions{}, scenario,
                                                    modsim::RunnerOptions{m_dir.filePath(link), -1});
        QString error;
        if (!m_sim->open(&error))
            qFatal("simulator: %s", qPrintable(error));
        m_sim->start();
        return *m_sim;
    }

    // zelvoctl with an empty settings file of its own, so that no user's file is read.
    void start(QProcess& p, QStringList args)
    {
        args << QStringLiteral("--settings") << m_dir.filePath(QStringLiteral("none.ini"));
        p.start(QStringLiteral(ZELVOCTL_BINARY), args);
        QVERIFY(p.waitForStarted());
    }
    Run finish(QProcess& p, int timeoutMs = 10000)
    {
        p.closeWriteChannel();
        if (!p.waitForFinished(timeoutMs))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
                p.readAllStandardError()};
    }
    Run run(const QStringList& args)
    {
        QProcess p;
        start(p, args);
        return finish(p);
    }

private slots:
    void cleanup() { m_sim.reset(); }

    void listenPrintsTheSimulatorsReportsInOrder_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("text") << QStringLiteral("text");
        QTest::newRow("json") << QStringLiteral("json");
        QTest::newRow("csv") << QStringLiteral("csv");
    }
    void listenPrintsTheSimulatorsReportsInOrder()
    {
        QFETCH(QString, format);
        auto& sim = simulator(2);
        QProcess p;
        start(p, {"listen", "--port", sim.linkPath(), "--count", "6", "--format", format});
        QVERIFY(waitFor([&] { return sim.terminalPresent(); }));
        QStringList expected;
        sim.withModule([&](modsim::Module& m, modsim::Millis now) {
            // Two more than it waits for: exactly the first six are printed.
            for (int i = 0; i < 8; ++i) {
                const int t = 1 + i % 2;
                const int key = 1 + (i * 3) % 4;
                QVERIFY(m.press(t, key, now));
                if (i < 6)
                    expected << modsim::idText(m.transmitter(t).id) + u' ' + QString::number(key);
            }
        });
        const Run r = finish(p);
        QCOMPARE(r.status, 0);
        QCOMPARE(reportsIn(r.out, format), expected);
        QCOMPARE(r.err, QByteArray("6 blocks\n"));
    }

    // A text block is no frame: JSON says so and gives its bytes; --command keeps frames only.
    void listenTellsFramesFromOtherBlocksAndFilters()
    {
        auto& sim = simulator(2);
        QProcess all;
        QProcess filtered;
        start(all, {"listen", "--port", sim.linkPath(), "--count", "2", "--format", "json"});
        QVERIFY(waitFor([&] { return sim.terminalPresent(); }));
        (void)sim.command("text hi");
        // A pause ends the text block, as a module's quiet line does.
        QTest::qWait(250);
        sim.withModule([&](modsim::Module& m, modsim::Millis now) { QVERIFY(m.press(2, 3, now)); });
        const Run r = finish(all);
        QCOMPARE(r.status, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        const QJsonObject text = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(text[u"kind"].toString(), QStringLiteral("not a frame"));
        QCOMPARE(text[u"bytes"].toString(), QStringLiteral("68 69 0D 0A"));
        QVERIFY(!text.contains(u"command"));
        QCOMPARE(QJsonDocument::fromJson(lines[1]).object()[u"key"].toInt(), 3);

        QString secondId;
        sim.withModule(
            [&](modsim::Module& m, modsim::Millis) { secondId = modsim::idText(m.transmitter(2).id); });
        start(filtered, {"listen", "--port", sim.linkPath(), "--count", "1", "--format", "csv", "--command",
                         "13", "--id", secondId});
        QVERIFY(waitFor([&] { return sim.terminalPresent(); }));
        (void)sim.command("text hi");
        sim.withModule([&](modsim::Module& m, modsim::Millis now) {
            QVERIFY(m.press(1, 1, now));
            QVERIFY(m.press(2, 4, now));
        });
        const Run f = finish(filtered);
        QCOMPARE(reportsIn(f.out, QStringLiteral("csv")), QStringList{secondId + QStringLiteral(" 4")});
    }

    // Ctrl+C, kill and a reader that has gone away end a listen with status 0 and the count on
    // standard error; a pulled cable ends it with status 1.
    void listenEndsOnSignalsAClosedPipeAndAPulledCable_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("status");
        QTest::newRow("SIGINT") << QStringLiteral("SIGINT") << 0;
        QTest::newRow("SIGTERM") << QStringLiteral("SIGTERM") << 0;
        QTest::newRow("closed pipe") << QStringLiteral("pipe") << 0;
        QTest::newRow("pulled cable") << QStringLiteral("unplug") << 1;
    }
    void listenEndsOnSignalsAClosedPipeAndAPulledCable()
    {
        QFETCH(QString, end);
        QFETCH(int, status);
        auto& sim = simulator();
        QProcess p;
        if (end == u"pipe") {
            p.start(QStringLiteral("bash"),
                    {"-c", QStringLiteral("'%1' listen --port '%2' --settings '%3' | head -3; "
                                          "exit ${PIPESTATUS[0]}")
                               .arg(QStringLiteral(ZELVOCTL_BINARY), sim.linkPath(),
                                    m_dir.filePath(QStringLiteral("none.ini")))});
            QVERIFY(p.waitForStarted());
        } else {
            start(p, {"listen", "--port", sim.linkPath()});
        }
        QVERIFY(waitFor([&] { return sim.terminalPresent(); }));
        for (int i = 0; i < 5 && p.state() == QProcess::Running; ++i) {
            sim.withModule([&](modsim::Module& m, modsim::Millis now) { QVERIFY(m.press(1, 2, now)); });
            QTest::qWait(120);
        }
        if (end != u"pipe") {
            QVERIFY2(waitFor([&] { return p.canReadLine(); }), p.readAllStandardError().constData());
            if (end == u"unplug")
                (void)sim.command("unplug");
            else
                ::kill(pid_t(p.processId()), end == u"SIGINT" ? SIGINT : SIGTERM);
        }
        const Run r = finish(p);
        QCOMPARE(r.status, status);
        if (end == u"pipe")
            QCOMPARE(r.out.count('\n'), 3);
        else
            QVERIFY2(QRegularExpression(QStringLiteral("[1-9]\\d* blocks\n$"))
                         .match(QString::fromLatin1(r.err))
                         .hasMatch(),
                     r.err.constData());
    }

    void sendWithExpectAnswerExitsByWhetherTheModuleAnswered_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("answer");
        QTest::newRow("RF parameters, answered")
            << QStringList{"--command", "2A", "--payload",
                           QStringLiteral(
                               "03 21 07 05 01 01 04 05 00 FF FF FF FF FF FF FF FF FF FF 00 00 00 00")}
            << 0 << "2A";
        QTest::newRow("unknown command, silent")
            << QStringList{"--command", "55", "--timeout", "0.3"} << 1 << QString();
    }
    void sendWithExpectAnswerExitsByWhetherTheModuleAnswered()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, answer);
        auto& sim = simulator();
        const Run r =
            run(QStringList{"send", "--port", sim.linkPath(), "--expect-answer", "--format", "json"} + args);
        QCOMPARE(r.status, status);
        if (answer.isEmpty())
            QCOMPARE(r.out, QByteArray());
        else
            QCOMPARE(QJsonDocument::fromJson(r.out).object()[u"command"].toString(), answer);
        // The frame went out as the send line builds it: IDs FF FF FF FF by default.
        sim.withModule([&](modsim::Module& m, modsim::Millis) {
            QVERIFY(!m.receivedFrames().empty());
            const modsim::Frame& sent = m.receivedFrames().back();
            QCOMPARE(sent.command, uint8_t(args[1].toUInt(nullptr, 16)));
            QCOMPARE(modsim::idText(sent.src), QStringLiteral("FF FF FF FF"));
            QCOMPARE(modsim::idText(sent.dst), QStringLiteral("FF FF FF FF"));
        });
    }

    // The same frames, in the same order, as "Init" in the main window with these values: the RF
    // parameters, then the initialisation, both from the 920 MHz module's block.
    void setupInitWritesTheRfParametersThenTheInitialisation()
    {
        auto& sim = simulator();
        const Run r = run({"setup", "--port", sim.linkPath(), "--channel", "30", "--power", "2", "--rate",
                           "500k", "--init"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray());
        const QByteArray block =
            QByteArray::fromHex("02 1E 0A 05 01 01 04 05 00 FF FF FF FF FF FF FF FF FF FF 00 00 00 00");
        sim.withModule([&](modsim::Module& m, modsim::Millis) {
            const auto& frames = m.receivedFrames();
            QCOMPARE(frames.size(), size_t(2));
            QCOMPARE(frames[0].command, uint8_t(0x2A));
            QCOMPARE(frames[1].command, uint8_t(0x7E));
            QCOMPARE(frames[0].payload, block);
            QCOMPARE(frames[1].payload, block);
            QCOMPARE(uint8_t(frames[1].sequence), uint8_t(frames[0].sequence + 1));
        });
    }

    // The system's ports, one a line in JSON and after a header row in CSV; the fields are the
    // settings dialog's port table.
    void portsListsTheSameFieldsInEveryFormat()
    {
        const Run json = run({"ports", "--format", "json"});
        const Run csv = run({"ports", "--format", "csv"});
        QCOMPARE(json.status, 0);
        QCOMPARE(csv.status, 0);
        const QList<QByteArray> rows = csv.out.trimmed().split('\n');
        QCOMPARE(rows[0], QByteArray("port,product,manufacturer,serial,vid_pid,by_id"));
        const QList<QByteArray> objects =
            json.out.isEmpty() ? QList<QByteArray>() : json.out.trimmed().split('\n');
        QCOMPARE(objects.size(), rows.size() - 1);
        for (qsizetype i = 0; i < objects.size(); ++i) {
            const QJsonObject o = QJsonDocument::fromJson(objects[i]).object();
            QCOMPARE(o.keys(),
                     (QStringList{"by_id", "manufacturer", "port", "product", "serial", "vid_pid"}));
            QCOMPARE(rows[i + 1].split(',').value(0), o[u"port"].toString().toUtf8());
        }
    }

    // What a command is not given comes from ZelvoTerm's settings file, read as the windows read it.
    void sendAndSetupTakeWhatTheyAreNotGivenFromTheSettingsFile_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("text line with the header and delimiter")
            << QByteArray("[COMPORT]\r\nSendHead=STX\r\nSendDlmt=CRLF\r\n")
            << QStringList{"send", "--text", "hi"} << QByteArray::fromHex("02 68 69 0D 0A");
        QTest::newRow("RF settings")
            << QByteArray("[Dev.920M]\r\nRFch____=25\r\nRFpw____=1\r\nRFbp____=2\r\n") << QStringList{"setup"}
            << QByteArray::fromHex("01 19 02 05 01 01 04 05 00 FF FF FF FF FF FF FF FF FF FF 00 00 00 00");
        QTest::newRow("RF settings the module cannot take, as the window corrects them")
            << QByteArray("[Dev.920M]\r\nRFch____=40\r\nRFpw____=9\r\nRFbp____=99\r\n")
            << QStringList{"setup", "--power", "0"}
            << QByteArray::fromHex("00 21 07 05 01 01 04 05 00 FF FF FF FF FF FF FF FF FF FF 00 00 00 00");
    }
    void sendAndSetupTakeWhatTheyAreNotGivenFromTheSettingsFile()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, written);
        // A bare pseudo-terminal that answers nothing shows exactly the bytes written.
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString slave = QString::fromLocal8Bit(::ptsname(master));
        QFile file(m_dir.filePath(QStringLiteral("given.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
        file.close();
        QProcess p;
        p.start(QStringLiteral(ZELVOCTL_BINARY),
                args + QStringList{"--port", slave, "--settings", file.fileName()});
        const Run r = finish(p);
        QByteArray got(4096, 0);
        const ssize_t n = ::read(master, got.data(), size_t(got.size()));
        ::close(master);
        got.resize(std::max<qsizetype>(n, 0));
        // Text goes out as it is; a frame after its 13-byte header. Nothing answers a set-up.
        QCOMPARE(r.status, args[0] == u"send" ? 0 : 1);
        QCOMPARE(args[0] == u"send" ? got : got.mid(13), written);
    }

    void searchFindsTheSimulatorAmongOtherPtys()
    {
        auto& sim = simulator();
        const int other = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0);
        QVERIFY(::grantpt(other) == 0 && ::unlockpt(other) == 0);
        const QString silent = QString::fromLocal8Bit(::ptsname(other));
        const Run found = run({"search", "/dev/no-such-port", silent, sim.slavePath(), "--format", "csv"});
        QCOMPARE(found.status, 0);
        QCOMPARE(found.out.split('\n').value(1).split(',').value(0), sim.slavePath().toLatin1());
        const Run none = run({"search", silent});
        ::close(other);
        QCOMPARE(none.status, 1);
        QCOMPARE(none.out, QByteArray());
    }

    // The second transmitter loses a fifth of its reports on the way.
    void statsCountsWhatTheSimulatorSentAndDropped()
    {
        auto& sim = simulator(2);
        QProcess p;
        start(p, {"stats", "--port", sim.linkPath(), "--duration", "3", "--format", "json"});
        QVERIFY(waitFor([&] { return sim.terminalPresent(); }));
        QStringList ids;
        sim.withModule([&](modsim::Module& m, modsim::Millis now) {
            m.setScenario(
                {.transmitters = 2, .pressesPerSecond = 400, .duration = 2000, .dropPercent = {{2, 20}}},
                now);
            ids << modsim::idText(m.transmitter(1).id) << modsim::idText(m.transmitter(2).id);
        });
        const Run r = finish(p);
        QCOMPARE(r.status, 0);
        modsim::ModuleStats done;
        sim.withModule([&](modsim::Module& m, modsim::Millis) { done = m.stats(); });
        QCOMPARE(done.keyReportsSent + done.keyReportsDropped, uint64_t(800));
        QHash<QString, QJsonObject> rows;
        for (const QByteArray& line : r.out.trimmed().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            rows.insert(o[u"device"].toString(), o);
        }
        QCOMPARE(uint64_t(rows[ids[0]][u"frames"].toInteger() + rows[ids[1]][u"frames"].toInteger()),
                 done.keyReportsSent);
        QCOMPARE(rows[ids[0]][u"lost"].toInteger(), 0);
        // About 400 reports at 20 %: within 6 points for nearly any draw (see tst_e2e).
        QVERIFY2(qAbs(rows[ids[1]][u"loss_percent"].toDouble() - 20.0) <= 6.0, r.out.constData());
        // Lost reports after the last one received are invisible; the others are counted.
        QVERIFY(uint64_t(rows[ids[1]][u"lost"].toInteger()) <= done.keyReportsDropped);
        QVERIFY(uint64_t(rows[ids[1]][u"lost"].toInteger()) + 10 >= done.keyReportsDropped);
    }

    // zelvoctl found on the PATH, its port in ZelvoTerm's settings file beside it, as installed
    // programs find theirs.
    void theReadmesScriptingExamplesRunAsWritten_data()
    {
        QFile readme(QStringLiteral(ZELVO_README));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        const qsizetype from = text.indexOf(QStringLiteral("\n## Scripting\n"));
        const QString section = text.mid(from, text.indexOf(QStringLiteral("\n## "), from + 1) - from);
        static const QRegularExpression block(QStringLiteral("\n```(python|sh)\n(.*?)```"),
                                              QRegularExpression::DotMatchesEverythingOption);
        QStringList languages;
        QStringList scripts;
        for (auto it = block.globalMatch(section); it.hasNext();) {
            const auto m = it.next();
            languages << m.captured(1);
            scripts << m.captured(2);
        }
        // The first block only lists the commands.
        QCOMPARE(scripts.size(), 4);
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("output");
        QTest::newRow("Python loop over listen") << languages[1] << scripts[1] << QString();
        QTest::newRow("shell check with send") << languages[2] << scripts[2] << QString();
        QTest::newRow("set-up with setup --init")
            << languages[3] << scripts[3] << QStringLiteral("module set up");
    }
    void theReadmesScriptingExamplesRunAsWritten()
    {
        QFETCH(QString, language);
        QFETCH(QString, script);
        QFETCH(QString, output);
        auto& sim = simulator();
        sim.withModule(
            [](modsim::Module& m, modsim::Millis now) { m.setScenario({.pressesPerSecond = 20}, now); });
        const QDir bin(m_dir.filePath(QStringLiteral("bin")));
        QVERIFY(bin.mkpath(QStringLiteral(".")));
        const QString installed = bin.filePath(QStringLiteral("zelvoctl"));
        QVERIFY(QFile::exists(installed) || QFile::copy(QStringLiteral(ZELVOCTL_BINARY), installed));
        QFile ini(bin.filePath(QStringLiteral("zelvoterm.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[COMPORT]\r\nPortName=" + sim.linkPath().toLocal8Bit() + "\r\n");
        ini.close();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), bin.path() + u':' + env.value(QStringLiteral("PATH")));
        p.setProcessEnvironment(env);
        p.start(language == u"python" ? QStringLiteral("python3") : QStringLiteral("sh"), {"-c", script});
        const Run r = finish(p);
        QVERIFY2(r.status == 0, r.err.constData());
        if (language == u"python")
            QCOMPARE(r.out.count(" key "), 5);
        else
            QCOMPARE(QString::fromUtf8(r.out).trimmed(), output);
    }

    void refusalsAreOneLineAndPrintNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, QStringList args, int status, const char* error) {
            QTest::newRow(name) << args << status << QString::fromUtf8(error);
        };
        row("no command", {}, 2, "zelvoctl: a command is missing; see zelvoctl --help\n");
        row("unknown command", {"lsiten"}, 2, "zelvoctl: unknown command 'lsiten'; see zelvoctl --help\n");
        row("unknown option", {"listen", "--cuont", "3"}, 2,
            "zelvoctl: unknown option --cuont; see zelvoctl --help\n");
        row("option of another command", {"send", "--init", "--command", "13"}, 2,
            "zelvoctl: send does not take --init; see zelvoctl --help\n");
        row("missing value", {"listen", "--count"}, 2, "zelvoctl: --count wants a value\n");
        row("count of none", {"listen", "--count", "0"}, 2,
            "zelvoctl: --count wants a number of blocks above 0, not '0'\n");
        row("bad format", {"listen", "--format", "xml"}, 2,
            "zelvoctl: --format wants text, json or csv, not 'xml'\n");
        row("command too long", {"send", "--command", "123"}, 2,
            "zelvoctl: --command wants a command byte in hexadecimal, e.g. 13, not '123'\n");
        row("short id", {"listen", "--id", "12 34"}, 2,
            "zelvoctl: --id wants four bytes in hexadecimal, e.g. \"12 34 56 78\", not '12 34'\n");
        row("payload pair no number", {"send", "--command", "13", "--payload", "1 2"}, 2,
            "zelvoctl: '0x1 ' は整数ではありません\n");
        row("payload too long", {"send", "--command", "13", "--payload", QByteArray(81, 'A').toHex(' ')}, 2,
            "zelvoctl: 81 bytes are too many: a frame carries at most 80 bytes in each box.\n");
        row("text and frame", {"send", "--text", "hi", "--command", "13"}, 2,
            "zelvoctl: send takes either --text or a frame's --command, --src, --dst and --payload\n");
        row("channel off the module", {"setup", "--channel", "39"}, 2,
            "zelvoctl: --channel wants a channel from 24 to 38, not '39'\n");
        row("rate", {"setup", "--rate", "250k"}, 2,
            "zelvoctl: --rate wants 9600, 100k or 500k, not '250k'\n");
        row("baud", {"listen", "--baud", "250000"}, 2,
            "zelvoctl: --baud wants one of 1200 2400 4800 9600 19200 38400 56000 57600 76800 115200, not "
            "'250000'\n");
        row("longer than a timer waits", {"listen", "--duration", "1e7"}, 2,
            "zelvoctl: --duration wants seconds above 0, at most 2000000, not '1e7'\n");
        row("stats without time", {"stats"}, 2, "zelvoctl: stats wants --duration S\n");
    }
    void refusalsAreOneLineAndPrintNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, error);
        QProcess p;
        p.start(QStringLiteral(ZELVOCTL_BINARY), args);
        const Run r = finish(p);
        QCOMPARE(r.status, status);
        QCOMPARE(QString::fromUtf8(r.err), error);
        QCOMPARE(r.out, QByteArray());
    }

    // The reason is the one the windows' box gives, after its caption and first line.
    void aPortThatWillNotOpenExitsWith3AndTheWindowsReason()
    {
        const QString path = m_dir.filePath(QStringLiteral("no-such-port"));
        const Run r = run({"listen", "--port", path});
        QCOMPARE(r.status, 3);
        QCOMPARE(
            QString::fromUtf8(r.err),
            QStringLiteral("zelvoctl: Comm Open: INVALID HANDLE: %1\n").arg(openFailureReason(path, ENOENT)));
        QCOMPARE(r.out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(ZelvoctlTest)
#include "tst_zelvoctl.moc"
