// The module simulator: its answers, transmitters and line faults, read back through the
// terminal's own frame assembler, and its runner over a real pseudo-terminal.
#include "Commands.h"
#include "FrameAssembler.h"
#include "Module.h"
#include "PtyRunner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <map>
#include <poll.h>
#include <set>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace modsim;

namespace {

// What the terminal makes of the simulator's bytes: its blocks, and which of them are frames.
class TerminalSide : public FrameSink {
public:
    void feed(const QByteArray& bytes, uint32_t tick)
    {
        for (const char c : bytes)
            m_assembler.feed(uint8_t(c), tick);
    }
    void idle(uint32_t tick) { m_assembler.idle(tick, 100); }
    void blockEnded(std::span<const uint8_t> block) override
    {
        blocks.append(QByteArray(reinterpret_cast<const char*>(block.data()), qsizetype(block.size())));
    }
    void idsReceived() override {}
    void frameCompleted() override { ++frames; }

    QList<QByteArray> blocks;
    int frames = 0;

private:
    FrameState m_state;
    FrameAssembler m_assembler{m_state, *this};
};

QByteArray request(uint8_t command, int payloadLength, uint8_t sequence = 5)
{
    return encodeFrame({.command = command,
                        .sequence = sequence,
                        .src = {0x12, 0x34, 0x56, 0x78},
                        .dst = kBroadcastId,
                        .payload = QByteArray(payloadLength, char(0x21))});
}

// Ticks the module every `step` ms through [from, to] and keeps the time each output came at.
std::vector<std::pair<Millis, QByteArray>> run(Module& m, Millis from, Millis to, Millis step = 1)
{
    std::vector<std::pair<Millis, QByteArray>> out;
    for (Millis t = from; t <= to; t += step) {
        m.tick(t);
        if (QByteArray bytes = m.takeOutput(); !bytes.isEmpty())
            out.emplace_back(t, bytes);
    }
    return out;
}

std::vector<Frame> framesOf(const QByteArray& bytes)
{
    TerminalSide terminal;
    terminal.feed(bytes, 0);
    std::vector<Frame> frames;
    for (const QByteArray& block : terminal.blocks)
        if (auto f = decodeFrame(block))
            frames.push_back(*f);
    return frames;
}

int openSlave(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    return fd;
}

QByteArray readFor(int fd, int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 5);
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
    }
    return got;
}

bool waitFor(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 2000)
        QTest::qSleep(5);
    return condition();
}

} // namespace

class ModuleSimulatorTest : public QObject {
    Q_OBJECT

private slots:
    void answersSetUpCommandsFromItsOwnIdToTheSender_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("payloadLength");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("status");
        QTest::newRow("RF parameters, 920 MHz") << 0x2A << 23 << 20 << 0x00;
        QTest::newRow("RF parameters, Vinta-24A") << 0x2A << 22 << 20 << 0x00;
        QTest::newRow("initialisation") << 0x7E << 23 << 20 << 0x00;
        QTest::newRow("initialisation, slow module") << 0x7E << 23 << 250 << 0x00;
        QTest::newRow("initialisation, Vinta-24B") << 0x74 << 9 << 20 << 0x00;
        QTest::newRow("RF channel") << 0x20 << 1 << 20 << 0x00;
        QTest::newRow("RF power") << 0x21 << 1 << 20 << 0x00;
        QTest::newRow("To RFch") << 0x17 << 4 << 20 << 0x00;
        QTest::newRow("RF parameters of a wrong length") << 0x2A << 5 << 20 << 0x01;
    }
    void answersSetUpCommandsFromItsOwnIdToTheSender()
    {
        QFETCH(int, command);
        QFETCH(int, payloadLength);
        QFETCH(int, delay);
        QFETCH(int, status);
        Module m({.answerDelay = delay});
        const QByteArray frame = request(uint8_t(command), payloadLength);
        // Header and payload come as two writes, as the terminal sends them.
        m.feedFromTerminal(QByteArrayView(frame).first(kFrameHeader), 1000);
        m.feedFromTerminal(QByteArrayView(frame).sliced(kFrameHeader), 1001);

        const auto out = run(m, 1001, 1001 + delay + 500);
        QCOMPARE(out.size(), size_t(1));
        QCOMPARE(out[0].first, 1001 + delay);
        TerminalSide terminal;
        terminal.feed(out[0].second, 0);
        QCOMPARE(terminal.frames, 1);
        QCOMPARE(terminal.blocks.size(), 1);
        const auto answer = decodeFrame(terminal.blocks[0]);
        QVERIFY(answer);
        QCOMPARE(answer->command, uint8_t(command));
        QCOMPARE(answer->sequence, uint8_t(5));
        QCOMPARE(answer->src, kDefaultModuleId);
        QCOMPARE(answer->dst, (DeviceId{0x12, 0x34, 0x56, 0x78}));
        QCOMPARE(answer->payload, QByteArray().append(char(command)).append(char(status)));
    }

    void keyReportsAndForeignCommandsGetNoAnswer()
    {
        Module m;
        m.feedFromTerminal(encodeFrame({.command = cmd::kKeyReport,
                                        .sequence = 0,
                                        .src = kBroadcastId,
                                        .dst = kBroadcastId,
                                        .payload = keyReportPayload(kDefaultMaker, 5)}),
                           0);
        m.feedFromTerminal(request(0x11, 2), 10);
        m.feedFromTerminal(request(0x44, 0), 20);
        QVERIFY(run(m, 20, 2000).empty());
        QCOMPARE(m.receivedFrames().size(), size_t(3));
        QCOMPARE(m.receivedFrames()[1].command, uint8_t(0x11));
    }

    void garbageDoesNotBreakFramingOfTheNextCommand_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTest::addColumn<int>("pause");
        QTest::newRow("a text line") << QByteArray("hello\r\n") << 0;
        QTest::newRow("0F without 5A") << QByteArray::fromHex("0F4142") << 0;
        QTest::newRow("doubled start byte") << QByteArray::fromHex("0F") << 0;
        QTest::newRow("impossible length") << QByteArray::fromHex("0F5AF5") << 0;
        QTest::newRow("length shorter than a header") << QByteArray::fromHex("0F5A0501") << 0;
        QTest::newRow("frame cut off, then a pause") << QByteArray::fromHex("0F5A30010203") << 150;
        QByteArray noise;
        for (int i = 0; i < 3000; ++i)
            noise.append(char((i * 7919 + i / 13) & 0xFF));
        QTest::newRow("noise, then a pause") << noise << 150;
    }
    void garbageDoesNotBreakFramingOfTheNextCommand()
    {
        QFETCH(QByteArray, garbage);
        QFETCH(int, pause);
        Module m;
        m.feedFromTerminal(garbage, 0);
        m.feedFromTerminal(request(cmd::kInit, 23), pause);
        std::vector<Frame> answers;
        for (const auto& [t, bytes] : run(m, pause, pause + 1000))
            for (const Frame& f : framesOf(bytes))
                answers.push_back(f);
        QCOMPARE(answers.size(), size_t(1));
        QCOMPARE(answers[0].command, cmd::kInit);
        QVERIFY(m.stats().bytesIgnored > 0);
    }

    void scenarioSendsTheExpectedKeyReports()
    {
        Module m({.seed = 42});
        m.setScenario({.transmitters = 20, .keys = 4, .pressesPerSecond = 5, .duration = 30'000}, 0);
        std::set<DeviceId> fleet;
        for (int i = 1; i <= 20; ++i)
            fleet.insert(m.transmitter(i).id);
        QCOMPARE(fleet.size(), size_t(20));

        QByteArray all;
        for (const auto& [t, bytes] : run(m, 0, 32'000, 10)) {
            QCOMPARE(t % 200, Millis(0)); // 5/s: one press every 200 ms
            QVERIFY(t < 30'000);
            all += bytes;
        }
        TerminalSide terminal;
        terminal.feed(all, 0);
        QCOMPARE(terminal.frames, 150);
        QCOMPARE(terminal.blocks.size(), 150);
        std::set<DeviceId> seen;
        for (const QByteArray& block : terminal.blocks) {
            const auto f = decodeFrame(block);
            QVERIFY(f);
            QCOMPARE(f->command, cmd::kKeyReport);
            QCOMPARE(f->payload.first(4), QByteArray::fromHex("83410000"));
            const auto key = uint8_t(f->payload[4]);
            QVERIFY(key >= 1 && key <= 4);
            QCOMPARE(uint8_t(f->payload[5]), uint8_t(~key));
            QVERIFY(fleet.contains(f->dst));
            seen.insert(f->dst);
        }
        QVERIFY(seen.size() > 10);

        // The seed replays a run; another seed gives another.
        const auto replay = [](uint32_t seed) {
            Module r({.seed = seed});
            r.setScenario({.transmitters = 20, .keys = 4, .pressesPerSecond = 5, .duration = 30'000}, 0);
            QByteArray bytes;
            for (const auto& [t, b] : run(r, 0, 32'000, 10))
                bytes += b;
            return bytes;
        };
        QCOMPARE(replay(42), all);
        QVERIFY(replay(43) != all);
    }

    void heldKeyRepeatsEvery100ms()
    {
        Module m;
        QVERIFY(m.hold(1, 3, 2000, 1000));
        std::vector<Millis> times;
        for (const auto& [t, bytes] : run(m, 1000, 4000)) {
            const auto frames = framesOf(bytes);
            QCOMPARE(frames.size(), size_t(1));
            QCOMPARE(uint8_t(frames[0].payload[4]), uint8_t(3));
            times.push_back(t);
        }
        QCOMPARE(times.size(), size_t(20));
        for (size_t i = 0; i < times.size(); ++i)
            QCOMPARE(times[i], Millis(1000 + 100 * i));

        // A press releases the held key.
        QVERIFY(m.hold(1, 2, 2000, 5000));
        QVERIFY(m.press(1, 4, 5050));
        QCOMPARE(framesOf(m.takeOutput()).size(), size_t(2));
        QVERIFY(run(m, 5051, 8000).empty());
    }

    void keyCodesAreBoundedByTypeExceptClearAndColourReset()
    {
        Module m;
        m.setScenario({.transmitters = 2, .keys = 8}, 0);
        QVERIFY(!m.press(1, 9, 0));
        QVERIFY(!m.press(3, 1, 0));
        QVERIFY(m.takeOutput().isEmpty());
        QVERIFY(m.press(2, 8, 0));
        QVERIFY(m.sendCode(1, 0xCC, 0));
        QVERIFY(m.sendCode(1, 0xFF, 0));
        const auto frames = framesOf(m.takeOutput());
        QCOMPARE(frames.size(), size_t(3));
        QCOMPARE(frames[0].payload.sliced(4), QByteArray::fromHex("08F7"));
        QCOMPARE(frames[0].dst, m.transmitter(2).id);
        QCOMPARE(frames[1].payload.sliced(4), QByteArray::fromHex("CC33"));
        QCOMPARE(frames[2].payload.sliced(4), QByteArray::fromHex("FF00"));
        QCOMPARE(frames[1].sequence + 1, int(frames[2].sequence)); // each transmitter numbers its own
    }

    void surveyPrintsTheTotalsItsTransmittersProduce()
    {
        Module m({.seed = 7});
        const auto parsed = parseCommand(u"survey 12");
        QVERIFY(parsed.command);
        const QString reply = execute(m, *parsed.command, 0);

        std::map<DeviceId, int> keyOf;
        int frames = 0;
        for (const auto& [t, bytes] : run(m, 0, 2000)) {
            for (const Frame& f : framesOf(bytes)) {
                ++frames;
                const int key = uint8_t(f.payload[4]);
                QVERIFY(key >= 1 && key <= 4);
                QCOMPARE(f.payload.first(2), QByteArray::fromHex("8341"));
                QVERIFY(f.dst != m.transmitter(1).id);
                keyOf[f.dst] = key;
            }
        }
        QCOMPARE(frames, 12);
        QCOMPARE(keyOf.size(), size_t(12));
        std::array<int, 4> totals{};
        for (const auto& [id, key] : keyOf)
            ++totals[size_t(key - 1)];
        QVERIFY2(reply.contains(QStringLiteral("key 1: %1, key 2: %2, key 3: %3, key 4: %4")
                                    .arg(totals[0])
                                    .arg(totals[1])
                                    .arg(totals[2])
                                    .arg(totals[3])),
                 qPrintable(reply));
    }

    // A lost report still takes its sequence number: what arrives is the lossless run's frames,
    // byte for byte, less some of the lossy transmitter's.
    void aLossyTransmitterLeavesGapsInItsOwnSequence()
    {
        struct Result {
            std::vector<Frame> frames;
            uint64_t dropped = 0;
            DeviceId second{};
        };
        const auto play = [](std::map<int, double> drops) {
            Module m({.seed = 11});
            m.setScenario(
                {.transmitters = 4, .pressesPerSecond = 100, .duration = 10'000, .dropPercent = drops}, 0);
            QByteArray all;
            for (const auto& [t, bytes] : run(m, 0, 10'000, 10))
                all += bytes;
            return Result{framesOf(all), m.stats().keyReportsDropped, m.transmitter(2).id};
        };
        const Result full = play({});
        const Result lossy = play({{2, 20}});
        QCOMPARE(full.frames.size(), size_t(1000));
        QCOMPARE(full.dropped, uint64_t(0));
        QCOMPARE(lossy.frames.size() + lossy.dropped, full.frames.size());
        size_t arrived = 0;
        int ofSecond = 0;
        int lostOfSecond = 0;
        for (const Frame& f : full.frames) {
            ofSecond += f.dst == full.second;
            if (arrived < lossy.frames.size() && encodeFrame(lossy.frames[arrived]) == encodeFrame(f)) {
                ++arrived;
                continue;
            }
            QCOMPARE(f.dst, full.second);
            ++lostOfSecond;
        }
        QCOMPARE(arrived, lossy.frames.size());
        // About a fifth of its roughly 250 reports; the seed fixes which.
        QVERIFY2(lostOfSecond > ofSecond / 10 && lostOfSecond < ofSecond * 3 / 10,
                 qPrintable(QStringLiteral("%1 of %2").arg(lostOfSecond).arg(ofSecond)));
        QCOMPARE(encodeFrame(play({{2, 20}}).frames.back()), encodeFrame(lossy.frames.back()));

        Module m;
        m.setScenario({.transmitters = 2}, 0);
        QCOMPARE(execute(m, *parseCommand(u"drop 2 100%").command, 0),
                 QStringLiteral("transmitter 2 (%1): loses 100 % of its key reports")
                     .arg(idText(m.transmitter(2).id)));
        QVERIFY(m.press(2, 1, 0));
        QVERIFY(m.takeOutput().isEmpty());
        QVERIFY(execute(m, *parseCommand(u"drop 2 0").command, 0)
                    .endsWith(QStringLiteral("loses no key reports")));
        QVERIFY(m.press(2, 1, 0));
        QCOMPARE(framesOf(m.takeOutput()).at(0).sequence, uint8_t(1));
        QCOMPARE(execute(m, *parseCommand(u"drop 3 5").command, 0),
                 QStringLiteral("no transmitter 3 (there are 2)"));
    }

    void burstOverflowsTheTerminalsBuffer()
    {
        Module m;
        m.sendBurst(5000, 0);
        const QByteArray burst = m.takeOutput();
        QCOMPARE(burst.size(), 5000);
        QVERIFY(!burst.contains(char(0x0F)));
        TerminalSide terminal;
        terminal.feed(burst, 0);
        terminal.idle(200);
        QCOMPARE(terminal.blocks.size(), 2);
        QCOMPARE(terminal.blocks[0].size(), 4097);
        QCOMPARE(terminal.blocks[1].size(), 5000 - 4097);
    }

    void cutFrameArrivesInTwoPartsAndHoldsBackWhatFollows()
    {
        Module m;
        m.sendCutFrame(300, 0);
        QVERIFY(m.press(1, 2, 10));
        const auto out = run(m, 0, 1000);
        QCOMPARE(out.size(), size_t(2));
        QCOMPARE(out[0].first, Millis(0));
        QCOMPARE(out[1].first, Millis(300));
        const QByteArray first = out[0].second;
        QVERIFY(first.size() < 19);
        const auto frames = framesOf(first + out[1].second);
        QCOMPARE(frames.size(), size_t(2));
        QCOMPARE(uint8_t(frames[0].payload[4]), uint8_t(1));
        QCOMPARE(uint8_t(frames[1].payload[4]), uint8_t(2));

        // The terminal shows the first part on its own once the line has been quiet.
        TerminalSide terminal;
        terminal.feed(first, 0);
        terminal.idle(150);
        QCOMPARE(terminal.blocks, QList<QByteArray>{first});
        QCOMPARE(terminal.frames, 0);
    }

    void textTravelsInCodePage932AndUnknownCommandsAsFrames()
    {
        Module m;
        m.sendText(QStringLiteral("こんにちは 920MHz"), 0);
        QCOMPARE(m.takeOutput(), QByteArray::fromHex("82B182F182C982BF82CD") + " 920MHz\r\n");
        m.sendUnknownCommand(0x44, 0);
        const auto frames = framesOf(m.takeOutput());
        QCOMPARE(frames.size(), size_t(1));
        QCOMPARE(frames[0].command, uint8_t(0x44));
        QCOMPARE(frames[0].src, kDefaultModuleId);
    }

    void commandLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("transmitter");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("percent");
        using K = Command::Kind;
        const auto ok = [](const char* name, const char* line, K kind, int key = 0, int t = 1, qint64 d = 0,
                           int count = 0, double percent = 0) {
            QTest::newRow(name) << QString::fromUtf8(line) << true << int(kind) << key << t << d << count
                                << percent;
        };
        const auto bad = [](const char* name, const char* line) {
            QTest::newRow(name) << QString::fromUtf8(line) << false << 0 << 0 << 0 << qint64(0) << 0 << 0.0;
        };
        ok("press", "press 3", K::Press, 3);
        ok("press on transmitter 2", "  PRESS 70 2 ", K::Press, 70, 2);
        ok("hold", "hold 5 2s", K::Hold, 5, 1, 2000);
        ok("hold in ms on 3", "hold 5 250ms 3", K::Hold, 5, 3, 250);
        ok("hold fractional", "hold 1 1.5s", K::Hold, 1, 1, 1500);
        ok("clear", "clear 2", K::Clear, 0, 2);
        ok("reset colour", "reset-colour", K::ResetColour);
        ok("burst", "burst 5000", K::Burst, 0, 1, 0, 5000);
        ok("cut", "cut", K::Cut, 0, 1, 300);
        ok("cut with pause", "cut 1s", K::Cut, 0, 1, 1000);
        ok("survey", "survey 12", K::Survey, 0, 1, 0, 12);
        ok("unplug", "unplug", K::Unplug);
        ok("unplug for a while", "unplug 2s", K::Unplug, 0, 1, 2000);
        ok("quit", "quit", K::Quit);
        ok("drop", "drop 2 20", K::Drop, 0, 2, 0, 0, 20);
        ok("drop a fraction", "drop 3 12.5%", K::Drop, 0, 3, 0, 0, 12.5);
        bad("press without key", "press");
        bad("key 0", "press 0");
        bad("key 71", "press 71");
        bad("hold without time", "hold 5");
        bad("hold for nothing", "hold 5 0s");
        bad("empty burst", "burst 0");
        bad("survey beyond the grid", "survey 101");
        bad("command beyond a byte", "unknown 1ff");
        bad("text without text", "text");
        bad("no such command", "frobnicate");
        bad("drop without a share", "drop 2");
        bad("drop more than all", "drop 2 101");
    }
    void commandLines()
    {
        QFETCH(QString, line);
        QFETCH(bool, valid);
        const ParsedCommand parsed = parseCommand(line);
        QCOMPARE(bool(parsed.command), valid);
        QCOMPARE(parsed.error.isEmpty(), valid);
        if (!valid)
            return;
        QTEST(int(parsed.command->kind), "kind");
        QTEST(parsed.command->key, "key");
        QTEST(parsed.command->transmitter, "transmitter");
        QTEST(qint64(parsed.command->duration), "duration");
        QTEST(parsed.command->count, "count");
        QTEST(parsed.command->percent, "percent");
    }

    void optionValues()
    {
        QCOMPARE(parseRate(u"5/s"), 5.0);
        QCOMPARE(parseRate(u"120/min"), 2.0);
        QCOMPARE(parseRate(u"0.5"), 0.5);
        QVERIFY(!parseRate(u"fast"));
        QCOMPARE(parseDuration(u"30s"), Millis(30'000));
        QCOMPARE(parseDuration(u"2min"), Millis(120'000));
        QCOMPARE(parseDuration(u"45"), Millis(45'000));
        QVERIFY(!parseDuration(u"-1s"));
        QCOMPARE(parsePadType(u"pad04"), 4);
        QCOMPARE(parsePadType(u"Pad70"), 70);
        QVERIFY(!parsePadType(u"pad05"));
        QCOMPARE(parseId(u"83h 41h 00h 00h"), kDefaultMaker);
        QVERIFY(!parseId(u"83 41 00"));
        QCOMPARE(parseDrop(u"2:20"), std::pair(2, 20.0));
        QVERIFY(!parseDrop(u"0:20"));
        QVERIFY(!parseDrop(u"2:150"));
        QVERIFY(!parseDrop(u"2"));
        QCOMPARE(execute(*std::make_unique<Module>(), *parseCommand(u"press 5").command, 0),
                 QStringLiteral("transmitter 1 has no key 5 (Pad04: keys 1 to 4)"));
    }

    void runnerAnswersAFrameWrittenToTheSlaveWithinTheDelay()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("modsim"));
        {
            PtyRunner runner({}, {}, {.linkPath = link});
            QString error;
            QVERIFY2(runner.open(&error), qPrintable(error));
            QCOMPARE(QFile::symLinkTarget(link), runner.slavePath());
            runner.start();
            const int fd = openSlave(link);
            QVERIFY(fd >= 0);
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(::write(fd, request(cmd::kRfParameters, 23).constData(), 36), ssize_t(36));
            const QByteArray answer = readFor(fd, 15, 2000);
            const qint64 elapsed = timer.elapsed();
            QCOMPARE(answer.size(), 15);
            QVERIFY(decodeFrame(answer));
            QVERIFY2(elapsed >= 18 && elapsed < 20 + 150, qPrintable(QString::number(elapsed)));
            ::close(fd);
        }
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }

    void runnerSurvivesFloodsReopensAndItsInputClosing()
    {
        int commands[2];
        QVERIFY(::pipe(commands) == 0);
        ::close(commands[1]); // standard input closed at once
        PtyRunner runner({}, {}, {.linkPath = {}, .commandFd = commands[0]});
        QVERIFY(runner.open());
        runner.start();

        // A flood of garbage is read as fast as it comes: the terminal's writes never stall.
        int fd = openSlave(runner.slavePath());
        QVERIFY(fd >= 0);
        QByteArray flood(256 * 1024, 'x');
        qsizetype written = 0;
        QElapsedTimer timer;
        timer.start();
        while (written < flood.size() && timer.elapsed() < 5000) {
            const ssize_t n = ::write(fd, flood.constData() + written, size_t(flood.size() - written));
            if (n > 0)
                written += n;
            else
                QTest::qSleep(1);
        }
        QCOMPARE(written, flood.size());
        ::close(fd);

        // Pressed while the port is closed: lost, not delivered stale on the next open.
        QTest::qWait(100);
        QVERIFY(!runner.terminalPresent());
        QCOMPARE(runner.command(QStringLiteral("press 1")).left(13), QStringLiteral("transmitter 1"));
        fd = openSlave(runner.slavePath());
        QVERIFY(fd >= 0);
        QVERIFY(readFor(fd, 1, 200).isEmpty());
        QCOMPARE(::write(fd, request(cmd::kInit, 23).constData(), 36), ssize_t(36));
        QCOMPARE(readFor(fd, 15, 2000).size(), 15);
        runner.withModule([](Module& m, Millis) { QVERIFY(m.stats().bytesIgnored >= 256 * 1024); });
        ::close(fd);
        ::close(commands[0]);
    }

    void aPortLeftExclusiveByADeadProgramIsReleased()
    {
        PtyRunner runner({}, {});
        QVERIFY(runner.open());
        runner.start();
        int fd = openSlave(runner.slavePath());
        QVERIFY(fd >= 0);
        QVERIFY(::ioctl(fd, TIOCEXCL) == 0);
        QVERIFY(waitFor([&] { return runner.terminalPresent(); }));
        ::close(fd); // without TIOCNXCL, as a crash leaves it
        QVERIFY(waitFor([&] { return !runner.terminalPresent(); }));
        QTest::qWait(50);
        fd = openSlave(runner.slavePath());
        QVERIFY(fd >= 0);
        int exclusive = 1;
        QVERIFY(::ioctl(fd, TIOCGEXCL, &exclusive) == 0);
        QCOMPARE(exclusive, 0);
        ::close(fd);
    }

    void unplugHangsUpTheLineAndReplugRestoresIt()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("modsim"));
        PtyRunner runner({}, {}, {.linkPath = link});
        QVERIFY(runner.open());
        runner.start();
        int fd = openSlave(link);
        QVERIFY(fd >= 0);
        QVERIFY(runner.command(QStringLiteral("unplug")).startsWith(QStringLiteral("unplugged")));
        pollfd p{fd, POLLIN, 0};
        QCOMPARE(::poll(&p, 1, 1000), 1);
        QVERIFY(p.revents & POLLHUP);
        ::close(fd);

        QVERIFY(runner.command(QStringLiteral("replug")).startsWith(QStringLiteral("plugged in")));
        QCOMPARE(QFile::symLinkTarget(link), runner.slavePath());
        fd = openSlave(link);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, request(cmd::kRfParameters, 23).constData(), 36), ssize_t(36));
        QCOMPARE(readFor(fd, 15, 2000).size(), 15);
        ::close(fd);
    }
};

QTEST_GUILESS_MAIN(ModuleSimulatorTest)
#include "tst_modsim.moc"
