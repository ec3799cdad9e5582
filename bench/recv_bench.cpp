// Measures the receive path as a user meets it: the real driver, worker, assembler and main window
// on a pseudo-terminal, fed by a child process that plays the module. Each run reports the time
// from the last byte written to the last byte painted, the CPU from the first byte until the
// program is idle again, the worst event-loop stall over the whole run, tail included (the steady
// key-report run gives the worst latency to the screen instead), and the peak memory; and it
// checks that the monitor shows the lines that were sent.
//
//   recv_bench                 all runs
//   recv_bench keys burst ...  only the runs named: idle, keys, text115k, text921k, burst, load
//   recv_bench linkstats       key reports at 600 frames/s with the Link Statistics window closed,
//                              then open over a full table (not part of "all runs")
//   recv_bench log             key reports at 600 frames/s and a 4 MB burst without and with a
//                              session log running, then 64 MB at the pty's full speed with the
//                              log running (not part of "all runs")
//   recv_bench frames          key reports at 600 frames/s without the Frames window, with it
//                              closed, and open and filtered by one ID; a 4 MB burst of key
//                              reports into its table; then a million key reports held: memory
//                              and the time a filter change takes (not part of "all runs")
//   recv_bench find            the find bar over a full monitor (1001 lines of 16 K characters,
//                              "Binary" and Text): the time from a text typed to its matches
//                              painted; then key reports at 600 frames/s and a 4 MB burst with the
//                              bar closed and open on a text every line holds (not part of "all runs")
//
// Run it under a display (Xvfb) to include painting; offscreen it measures everything else.
#include "BlockText.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "Dialogs.h"
#include "FramesWindow.h"
#include "LinkStatsWindow.h"
#include "MainWindow.h"
#include "MonitorFile.h"
#include "MonitorFindBar.h"
#include "MonitorView.h"
#include "SettingsFile.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

// Microseconds of the monotonic clock, the same in the feeder process.
int64_t nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The peak resident memory is reset before each run where the kernel allows it.
bool resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

double residentMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return 0;
}

double peakMemoryMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return 0;
}

// Key report number n: IDs that change with every frame (many transmitters), and in the
// maker-code field the low 32 bits of the time it was written, so that its latency can be told.
QByteArray keyReport(uint32_t n, int64_t stampUs)
{
    QByteArray f = QByteArray::fromHex("0F5A1313"
                                       "00"
                                       "00000000"
                                       "00000000"
                                       "00000000"
                                       "0AF5");
    f[4] = char(n & 0xFF);
    for (int i = 0; i < 4; ++i) {
        f[5 + i] = char(n >> (24 - 8 * i));
        f[9 + i] = char(~n >> (24 - 8 * i));
        f[13 + i] = char((uint64_t(stampUs) >> (8 * i)) & 0xFF);
    }
    return f;
}
constexpr int kKeyReportSize = 19;

std::span<const uint8_t> bytesOf(const QByteArray& bytes)
{
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

// The text of the text runs: numbered lines without blanks, so that a check can ignore the
// blanks that block boundaries add in Text mode.
QByteArray textStream(qsizetype size)
{
    QByteArray text;
    text.reserve(size + 32);
    for (int i = 0; text.size() < size; ++i)
        text += "ZelvoTerm-flood-line-" + QByteArray::number(i) + "\r\n";
    text.truncate(size);
    return text;
}

struct Feed {
    enum class Kind { None, Keys, Text } kind = Kind::None;
    int seconds = 0;
    int bytesPerSecond = 0; // 0: as fast as the line takes them
    qsizetype bytes = 0;    // a burst: this many, then stop (key reports: as fast as they go)
};

struct FeedReport {
    int64_t sent = 0;
    int64_t lastWriteUs = 0;
};

// The module, in a child process: writes to the master side as told, then reports.
pid_t startFeeder(int master, const Feed& feed, int reportFd)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int64_t start = nowUs();
    const int64_t end = start + int64_t(feed.seconds) * 1'000'000;
    const QByteArray text =
        feed.kind == Feed::Kind::Text
            ? textStream(feed.bytes > 0 ? feed.bytes : qsizetype(feed.bytesPerSecond) * feed.seconds)
            : QByteArray();
    FeedReport report;
    uint32_t frames = 0;
    while (nowUs() < end + 5'000'000) {
        QByteArray chunk;
        if (feed.kind == Feed::Kind::Keys && feed.bytes > 0) {
            if (report.sent >= feed.bytes)
                break;
            for (int i = 0; i < 64 && report.sent + chunk.size() < feed.bytes; ++i)
                chunk += keyReport(frames++, nowUs());
        } else if (feed.kind == Feed::Kind::Keys) {
            if (nowUs() >= end)
                break;
            const int64_t due = start + int64_t(frames) * 1'000'000 / 600;
            if (due > nowUs())
                usleep(useconds_t(due - nowUs()));
            chunk = keyReport(frames++, nowUs());
        } else {
            if (report.sent >= text.size())
                break;
            qsizetype take = text.size() - report.sent;
            if (feed.bytesPerSecond > 0) {
                usleep(5000);
                const int64_t due = (nowUs() - start) * feed.bytesPerSecond / 1'000'000;
                take = std::min<qsizetype>(take, qsizetype(due - report.sent));
            }
            chunk = text.mid(report.sent, take);
        }
        qsizetype done = 0;
        while (done < chunk.size()) {
            const ssize_t n = write(master, chunk.constData() + done, size_t(chunk.size() - done));
            if (n > 0) {
                done += n;
                report.lastWriteUs = nowUs();
                continue;
            }
            pollfd p{master, POLLOUT, 0};
            poll(&p, 1, 100);
        }
        report.sent += done;
    }
    (void)!write(reportFd, &report, sizeof report);
    _exit(0);
}

class BenchWindow : public MainWindow {
public:
    int64_t appended = 0; // lines appended to the monitor since start, as the monitor counts them
    int64_t runBlocks = 0;
    int64_t runBytes = 0;
    int64_t coveredUs = 0; // first paint that showed the last line appended, 0 until then
    int64_t lastAppendUs = 0;
    int64_t worstLatencyUs = 0;
    bool stampsCarryTime = false;

    BenchWindow()
    {
        connect(monitor(), &MonitorView::painted, this, [this] { painted(monitor()->paintedThrough()); });
    }

    void displayReceivedBlock(std::span<const uint8_t> block) override
    {
        ++runBlocks;
        runBytes += int64_t(block.size());
        MainWindow::displayReceivedBlock(block);
        ++appended;
        lastAppendUs = nowUs();
        coveredUs = 0;
        if (stampsCarryTime && block.size() == kKeyReportSize) {
            uint32_t low = 0;
            for (int i = 0; i < 4; ++i)
                low |= uint32_t(block[size_t(13 + i)]) << (8 * i);
            pendingStamps.push_back(
                {appended, lastAppendUs - int64_t(uint32_t(uint32_t(lastAppendUs) - low))});
        }
    }

    void startRun()
    {
        onMonitorClearClicked();
        runBlocks = runBytes = 0;
        coveredUs = lastAppendUs = 0;
        worstLatencyUs = 0;
        pendingStamps.clear();
    }

private:
    void painted(qint64 through)
    {
        const int64_t now = nowUs();
        if (through >= appended && coveredUs == 0)
            coveredUs = now;
        while (!pendingStamps.empty() && pendingStamps.front().first <= through) {
            worstLatencyUs = std::max(worstLatencyUs, now - pendingStamps.front().second);
            pendingStamps.pop_front();
        }
    }

    std::deque<std::pair<int64_t, int64_t>> pendingStamps; // (line, written at) not yet painted
};

// Answers the session log's file dialog and keeps its messages (a log that stops shows one).
class LogFileAnswer : public Dialogs {
public:
    explicit LogFileAnswer(QString path) : m_path(std::move(path)) {}
    QString saveFileName(QWidget*, const FileRequest&) override { return m_path; }
    Answer message(QWidget*, const QString& text, const QString&, Icon, Buttons) override
    {
        messages << text;
        return Answer::Ok;
    }
    QStringList messages;

private:
    QString m_path;
};

// Read a piece at a time: the whole file would swell the peak memory this program reports.
qsizetype linesIn(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    qsizetype lines = 0;
    while (!f.atEnd())
        lines += f.read(1 << 20).count('\n');
    return lines;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Result {
    FeedReport feed;
    double cpu = 0;
    double seconds = 0;
    double tailMs = -1;
    int64_t worstStallMs = -1;
    double peakMb = 0;
};

// One run: from the first byte until the last line is painted and the program has been quiet
// for a moment. The stall probe is a 10 ms timer; it costs a little CPU of its own, which the
// "stall probe alone" run shows.
Result measure(BenchWindow& w, int master, const Feed& feed, bool endsByTimeout, bool probeStalls = true)
{
    const bool peakReset = resetPeakMemory();
    QElapsedTimer sinceProbe;
    int64_t worstStall = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { worstStall = std::max<int64_t>(worstStall, sinceProbe.restart() - 10); });
    if (probeStalls) {
        sinceProbe.start();
        probe.start(10);
    }
    int fds[2];
    (void)!pipe(fds);
    const double cpu0 = cpuSeconds();
    const int64_t start = nowUs();
    Result r;
    if (feed.kind == Feed::Kind::None) {
        runFor(feed.seconds * 1000);
    } else {
        const pid_t child = startFeeder(master, feed, fds[1]);
        // Until the feeder has finished, the last line is painted and nothing came for a while.
        const int64_t quietUs = (endsByTimeout ? commSettings.receiveTimeoutMs * 1000 : 0) + 300'000;
        bool fed = false;
        while (nowUs() - start < int64_t(feed.seconds + 600) * 1'000'000) {
            runFor(100);
            if (!fed) {
                pollfd p{fds[0], POLLIN, 0};
                if (poll(&p, 1, 0) > 0 && read(fds[0], &r.feed, sizeof r.feed) == sizeof r.feed)
                    fed = true;
            }
            if (fed && w.coveredUs != 0 && nowUs() - std::max(w.lastAppendUs, r.feed.lastWriteUs) > quietUs)
                break;
        }
        waitpid(child, nullptr, 0);
        if (w.coveredUs != 0)
            r.tailMs = double(w.coveredUs - r.feed.lastWriteUs) / 1000.0 -
                       (endsByTimeout ? commSettings.receiveTimeoutMs : 0);
    }
    r.cpu = cpuSeconds() - cpu0;
    // The share of a core is taken over the time until the last paint; the quiet moment after it
    // costs next to nothing.
    r.seconds = double((w.coveredUs != 0 ? std::max(w.coveredUs, w.lastAppendUs) : nowUs()) - start) / 1e6;
    if (probeStalls)
        r.worstStallMs = worstStall;
    r.peakMb = peakReset ? peakMemoryMb() : 0;
    close(fds[0]);
    close(fds[1]);
    return r;
}

// The monitor against what was written: every key report in order, or the tail of the text.
QString check(BenchWindow& w, const Feed& feed, const FeedReport& sent)
{
    const QStringList lines = w.monitor()->lines();
    if (w.runBytes != sent.sent)
        return QStringLiteral("LOST: %1 of %2 bytes shown").arg(w.runBytes).arg(sent.sent);
    if (feed.kind == Feed::Kind::Keys) {
        const int64_t frames = sent.sent / kKeyReportSize;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const int64_t n = frames - lines.size() + i;
            // Everything but the time stamp: header, sequence and both IDs.
            const QString expected = renderBinary(bytesOf(keyReport(uint32_t(n), 0)).first(13));
            if (!lines[i].startsWith(expected))
                return QStringLiteral("WRONG line %1").arg(i);
        }
        return QStringLiteral("ok, %1 frames shown, %2 lines held").arg(w.runBlocks).arg(lines.size());
    }
    const QByteArray stream = textStream(sent.sent);
    const std::span<const uint8_t> all = bytesOf(stream);
    QString shown = lines.join(QString());
    QString expected;
    if (w.binaryMode()) {
        expected = renderBinary(all.last(std::min<size_t>(all.size(), size_t(shown.size() / 4))));
    } else {
        // Block boundaries add or drop blanks in Text mode; the text has none of its own.
        shown.remove(u' ');
        expected = renderText(all).remove(u' ');
        expected = expected.right(shown.size());
    }
    return shown == expected ? QStringLiteral("ok, %1 lines held").arg(lines.size())
                             : QStringLiteral("WRONG text");
}

void printRow(const char* run, const Result& r, const QString& note)
{
    const double mb = double(r.feed.sent) / 1e6;
    std::printf("%-24s %9s %8.2f %8s %7s %7.1f  %s\n", run,
                r.tailMs < 0 ? "-" : qPrintable(QString::number(r.tailMs, 'f', 1)), 100 * r.cpu / r.seconds,
                mb > 0 ? qPrintable(QString::number(r.cpu / mb, 'f', 3)) : "-",
                r.worstStallMs < 0 ? "-" : qPrintable(QString::number(r.worstStallMs)), r.peakMb,
                qPrintable(note));
    std::fflush(stdout);
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("bench.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[COMPORT]\r\nPortName=" + QByteArray(name) + "\r\nBaudRate=115200\r\n");
    ini.close();
    setSettingsFilePath(ini.fileName());

    BenchWindow w;
    w.show();
    runFor(500);
    std::printf("platform: %s, port %s, receive time-out %d ms (subtracted where a run ends by it)\n",
                qPrintable(QGuiApplication::platformName()), name, commSettings.receiveTimeoutMs);
    std::printf("%-24s %9s %8s %8s %7s %7s  %s\n", "run", "tail ms", "CPU %", "CPU s/MB", "stall", "peak MB",
                "check");

    QList<QByteArray> runs;
    for (int i = 1; i < argc; ++i)
        runs << QByteArray(argv[i]);
    const auto wanted = [&](const char* run) { return runs.isEmpty() || runs.contains(run); };
    const auto setBinary = [&](bool binary) {
        if (w.binaryMode() != binary)
            w.toggleSendMode();
    };
    const auto run = [&](const char* label, const Feed& feed, bool binary, bool endsByTimeout,
                         bool probeStalls = true) -> Result {
        setBinary(binary);
        w.startRun();
        runFor(300);
        const Result r = measure(w, master, feed, endsByTimeout, probeStalls);
        QString note = check(w, feed, r.feed);
        if (feed.kind == Feed::Kind::Keys)
            note += QStringLiteral("; worst latency to the screen %1 ms")
                        .arg(double(w.worstLatencyUs) / 1000, 0, 'f', 1);
        printRow(label, r, note);
        return r;
    };

    if (wanted("idle")) {
        w.startRun();
        runFor(300);
        printRow("idle, port open, 10 s", measure(w, master, {Feed::Kind::None, 10}, false, false),
                 QString());
        printRow("stall probe alone, 10 s", measure(w, master, {Feed::Kind::None, 10}, false), QString());
    }
    if (wanted("keys")) {
        w.stampsCarryTime = true;
        // Without the stall probe, whose wake-ups would be a fifth of what is measured; what the
        // user meets here is the latency to the screen.
        run("600 key reports/s, 10 s", {Feed::Kind::Keys, 10}, true, false, false);
        w.stampsCarryTime = false;
    }
    for (const auto& [label, rate, binary] :
         {std::tuple{"115200 bit/s Binary", 11520, true}, std::tuple{"115200 bit/s Text", 11520, false},
          std::tuple{"921600 bit/s Binary", 92160, true}, std::tuple{"921600 bit/s Text", 92160, false}}) {
        if (wanted(rate == 11520 ? "text115k" : "text921k"))
            run(label, {Feed::Kind::Text, 30, rate}, binary, true);
    }
    if (wanted("burst")) {
        // 976 blocks of 4097 bytes: fewer than 1001 lines, so all of them stay to be painted, and
        // the last byte ends a block at once.
        const Feed burst{Feed::Kind::Text, 0, 0, 976 * 4097};
        run("4 MB burst Binary", burst, true, false);
        run("4 MB burst Text", burst, false, false);
    }
    if (wanted("load")) {
        // The largest files the monitor loads (a million lines, one line), and 16 MB of
        // one-character lines, which it refuses.
        for (const auto& [label, file, contents] :
             {std::tuple{"load 16 MB, 1M lines", "lines.Txt",
                         QByteArray("0123456789ABCD\r\n").repeated(1'000'000)},
              std::tuple{"load 16 MB, one line", "wide.Txt", QByteArray(kMonitorFileLimit, 'W')},
              std::tuple{"load 16 MB, 8M lines", "short.Txt",
                         QByteArray("x\n").repeated(kMonitorFileLimit / 2)}}) {
            const QString path = dir.filePath(QLatin1String(file));
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly))
                return 1;
            f.write(contents);
            f.close();
            w.startRun();
            runFor(300);
            const bool peakReset = resetPeakMemory();
            const double cpu0 = cpuSeconds();
            const int64_t start = nowUs();
            const MonitorFileResult loaded = loadMonitorFile(path);
            int64_t paintedUs = 0;
            if (loaded.error.isEmpty()) {
                QMetaObject::Connection c =
                    QObject::connect(w.monitor(), &MonitorView::painted, [&] { paintedUs = nowUs(); });
                w.monitor()->setLines(loaded.lines, loaded.original);
                while (paintedUs == 0 && nowUs() - start < 60'000'000)
                    runFor(5);
                QObject::disconnect(c);
            }
            Result r;
            r.feed.sent = contents.size();
            r.tailMs = double((paintedUs ? paintedUs : nowUs()) - start) / 1000.0;
            r.cpu = cpuSeconds() - cpu0;
            r.seconds = double(nowUs() - start) / 1e6;
            r.peakMb = peakReset ? peakMemoryMb() : 0;
            printRow(label, r,
                     loaded.error.isEmpty()
                         ? QStringLiteral("shown after the time in the tail column, %1 lines")
                               .arg(w.monitor()->lineCount())
                         : QStringLiteral("refused: ") + loaded.error.section(u';', 1).trimmed());
            QFile::remove(path);
        }
    }
    if (runs.contains("linkstats")) {
        // A thousand transmitters fill the table first, so the open window refreshes its largest table.
        w.createToolWindows();
        QByteArray report = QByteArray::fromHex("0F5A1313 00 4D530001 00000000 83410000 01FE");
        for (int id = 0; id < 1000; ++id) {
            report[11] = char(id >> 8);
            report[12] = char(id);
            w.linkStatsWindow()->countReceivedBlock(bytesOf(report));
        }
        w.stampsCarryTime = true;
        for (const bool open : {false, true, false, true}) {
            w.linkStatsWindow()->setVisible(open);
            w.linkStatsWindow()
                ->findChild<QTableView*>("statsTable")
                ->sortByColumn(LinkStatsModel::SilentFor, Qt::DescendingOrder);
            run(open ? "600 key reports/s, Link Statistics open"
                     : "600 key reports/s, Link Statistics closed",
                {Feed::Kind::Keys, 10}, true, false);
        }
        w.stampsCarryTime = false;
    }
    if (runs.contains("log")) {
        const QString logPath = dir.filePath(QStringLiteral("session.Txt"));
        LogFileAnswer answer(logPath);
        setDialogs(&answer);
        auto* logItem = w.findChild<QAction*>(QStringLiteral("logAction"));
        w.stampsCarryTime = true;
        // Twice each, alternating, so that the noise of a shared machine shows.
        for (const bool logging : {false, true, false, true}) {
            const qsizetype before = linesIn(logPath);
            if (logging)
                logItem->trigger();
            run(logging ? "600 key reports/s, log running" : "600 key reports/s, no log",
                {Feed::Kind::Keys, 10}, true, false);
            const int64_t keyBlocks = w.runBlocks;
            run(logging ? "4 MB burst Binary, log running" : "4 MB burst Binary, no log",
                {Feed::Kind::Text, 0, 0, 976 * 4097}, true, false);
            if (!logging)
                continue;
            logItem->trigger();
            // The writer finishes on its own thread once the log is stopped.
            const int64_t expected = keyBlocks + w.runBlocks;
            QElapsedTimer wait;
            wait.start();
            while (linesIn(logPath) - before < expected && wait.elapsed() < 10000)
                runFor(100);
            std::printf("log: %lld lines of %lld blocks, file %.1f MB\n",
                        (long long)(linesIn(logPath) - before), (long long)expected,
                        double(QFileInfo(logPath).size()) / 1e6);
        }
        // Long enough at full speed that a log which falls behind the reception stops.
        logItem->trigger();
        const Result full =
            run("64 MB burst Binary, log running", {Feed::Kind::Text, 0, 0, 16384 * 4097}, true, false);
        std::printf("log: %.1f MB/s received, %s\n", double(full.feed.sent) / 1e6 / full.seconds,
                    logItem->isChecked() ? "log running"
                                         : qPrintable(QStringLiteral("log stopped: ") +
                                                      answer.messages.join(u' ').simplified()));
        if (logItem->isChecked())
            logItem->trigger();
        w.stampsCarryTime = false;
        setDialogs(nullptr);
    }
    if (runs.contains("frames")) {
        w.stampsCarryTime = true;
        for (int i = 0; i < 2; ++i)
            run("600 key reports/s, no Frames window", {Feed::Kind::Keys, 10}, true, false);
        // Only the Frames window: Link Statistics would count the frames as well.
        w.createToolWindows();
        delete w.linkStatsWindow();
        FramesWindow& frames = *w.framesWindow();
        auto* table = frames.findChild<QTableView*>(QStringLiteral("framesTable"));
        for (const bool open : {false, true, false, true}) {
            frames.setVisible(open);
            // One transmitter out of the many: the feed's IDs change with every frame.
            frames.findChild<QLineEdit*>(QStringLiteral("idFilterEdit"))
                ->setText(open ? QStringLiteral("00 00 01 00") : QString());
            run(open ? "600 key reports/s, Frames open, ID filter" : "600 key reports/s, Frames closed",
                {Feed::Kind::Keys, 10}, true, false);
        }
        w.stampsCarryTime = false;
        frames.findChild<QLineEdit*>(QStringLiteral("idFilterEdit"))->clear();
        frames.show();
        for (int i = 0; i < 2; ++i) {
            int64_t tableUs = 0;
            const QMetaObject::Connection c = QObject::connect(
                &frames.model(), &QAbstractItemModel::rowsInserted, [&] { tableUs = nowUs(); });
            const int rowsBefore = frames.model().rowCount();
            const Feed burst{Feed::Kind::Keys, 30, 0, 4 * 1024 * 1024};
            w.startRun();
            runFor(300);
            Result r = measure(w, master, burst, false);
            QObject::disconnect(c);
            const int rows = frames.model().rowCount() - rowsBefore;
            const QString note =
                check(w, burst, r.feed) + QStringLiteral("; table: %1 rows, %2 ms after the last byte")
                                              .arg(rows)
                                              .arg(double(tableUs - r.feed.lastWriteUs) / 1000, 0, 'f', 1);
            printRow("4 MB burst of key reports, Frames open", r, note);
        }

        // A million key reports held, as 19-byte frames, then filters changed over them.
        frames.hide();
        runFor(100);
        const double before = residentMb();
        const int64_t fillStart = nowUs();
        for (uint32_t n = 0; n < 1'000'000; ++n)
            frames.recordReceived(bytesOf(keyReport(n, n)));
        const double fillMs = double(nowUs() - fillStart) / 1000;
        frames.show();
        frames.refresh();
        runFor(300);
        std::printf("frames: a million key reports recorded in %.0f ms; held with the index: %.1f MB more "
                    "resident (%zu frames held, %llu dropped out)\n",
                    fillMs, residentMb() - before, size_t(frames.log().size()),
                    (unsigned long long)frames.log().droppedOut());
        const auto timed = [&](const char* what, const std::function<void()>& change) {
            const int64_t t0 = nowUs();
            change();
            // The window filters in slices between events; the result counts once it is painted.
            while (frames.model().filtering())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            table->viewport()->repaint();
            const double ms = double(nowUs() - t0) / 1000;
            std::printf("frames: filter %-44s %7.1f ms, %d rows shown\n", what, ms,
                        frames.model().rowCount());
            std::fflush(stdout);
        };
        auto* idEdit = frames.findChild<QLineEdit*>(QStringLiteral("idFilterEdit"));
        auto* textEdit = frames.findChild<QLineEdit*>(QStringLiteral("textFilterEdit"));
        auto* directionBox = frames.findChild<QComboBox*>(QStringLiteral("directionBox"));
        auto* commandBox = frames.findChild<QComboBox*>(QStringLiteral("commandBox"));
        timed("ID \"00 0F 42 3F\" (one frame)", [&] { idEdit->setText(QStringLiteral("00 0F 42 3F")); });
        timed("ID \"00 0F\" (a prefix)", [&] { idEdit->setText(QStringLiteral("00 0F")); });
        timed("ID cleared", [&] { idEdit->clear(); });
        timed("text \"0A F5\" (every payload)", [&] { textEdit->setText(QStringLiteral("0A F5")); });
        timed("text \"complement BAD\" (decoded, none)",
              [&] { textEdit->setText(QStringLiteral("complement BAD")); });
        timed("text cleared", [&] { textEdit->clear(); });
        timed("direction sent (none)", [&] { directionBox->setCurrentIndex(1); });
        timed("direction all", [&] { directionBox->setCurrentIndex(0); });
        timed("command 13h", [&] { commandBox->setCurrentIndex(1); });
        timed("command all", [&] { commandBox->setCurrentIndex(0); });
        std::printf("frames: resident %.1f MB with the window shown over a million rows\n", residentMb());
    }
    if (runs.contains("find")) {
        auto* findEdit = w.findChild<QLineEdit*>(QStringLiteral("findEdit"));
        auto* countLabel = w.findChild<QLabel*>(QStringLiteral("matchCountLabel"));
        auto* findBar = w.findChild<MonitorFindBar*>(QStringLiteral("findBar"));
        QRandomGenerator random(1);
        for (const bool binary : {true, false}) {
            setBinary(binary);
            w.startRun();
            // 1001 blocks of 4097 bytes: "Binary" lines of 16 388 characters; in Text mode control
            // codes (" XXh" each) around one numbered name, lines of 16 353 characters.
            for (int line = 0; line < 1001; ++line) {
                QByteArray block(4097, Qt::Uninitialized);
                for (char& b : block)
                    b = char(random.bounded(binary ? 256 : 32));
                if (!binary)
                    block.replace(4000, 12, "Zelvo-" + QByteArray::number(line % 100).rightJustified(6, '0'));
                w.displayReceivedBlock(bytesOf(block));
            }
            w.monitor()->refresh();
            runFor(300);
            const QString longest = QString::number(w.monitor()->content().line(0).length());
            for (const QString& text : binary
                                           ? QStringList{"0Fh 5Ah", "5A", "h", "0F 5A"}
                                           : QStringList{"zelvo-000042", "zelvo-", "0Dh 0Ah", "a", "~~~~~"}) {
                findBar->open();
                findEdit->clear();
                runFor(100);
                const int64_t t0 = nowUs();
                findEdit->setText(text);
                w.monitor()->viewport()->repaint();
                const double ms = double(nowUs() - t0) / 1000;
                std::printf(
                    "find: %-6s %4d lines of %s characters, \"%s\" %36s typed to painted in %6.1f ms: %s\n",
                    binary ? "Binary" : "Text", w.monitor()->lineCount(), qPrintable(longest),
                    qPrintable(text), "", ms, qPrintable(countLabel->text()));
                const int64_t t1 = nowUs();
                w.findChild<QAction*>(QStringLiteral("findNextAction"))->trigger();
                w.monitor()->viewport()->repaint();
                std::printf("find: %-6s F3 to the next match painted in %6.1f ms: %s\n",
                            binary ? "Binary" : "Text", double(nowUs() - t1) / 1000,
                            qPrintable(countLabel->text()));
            }
            findBar->hide();
            findEdit->clear();
        }
        // A text every key report holds: each line that arrives is searched and counted.
        w.stampsCarryTime = true;
        for (const bool open : {false, true, false, true}) {
            if (open) {
                findBar->open();
                findEdit->setText(QStringLiteral("0Fh 5Ah 13h"));
            } else {
                findEdit->clear();
                findBar->hide();
            }
            run(open ? "600 key reports/s, find open" : "600 key reports/s, find closed",
                {Feed::Kind::Keys, 10}, true, false);
            run(open ? "4 MB burst Binary, find open" : "4 MB burst Binary, find closed",
                {Feed::Kind::Text, 0, 0, 976 * 4097}, true, false);
            if (open)
                std::printf("find: %s after the runs\n", qPrintable(countLabel->text()));
        }
        w.stampsCarryTime = false;
        findEdit->clear();
        findBar->hide();
    }
    commClose();
    return 0;
}
