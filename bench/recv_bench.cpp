// Measures the receive path: the real driver, worker, assembler and main window on a
// pseudo-terminal, fed by a child process that plays the module.
//
//   recv_bench                      all runs: idle, key reports at 600 frames/s, frame and text floods
//   recv_bench keys text ...        only the runs named (idle, keys, frames, text), e.g. for a profiler
//   recv_bench linkstats            key reports at 600 frames/s with the Link Statistics window
//                                   closed, then open over a full table (not part of "all runs")
//   recv_bench log                  key reports at 600 frames/s and a frame flood, time-stamped,
//                                   without and with a session log running (not part of "all runs")
//
// Run it under a display (Xvfb) to include painting; offscreen it measures everything else.
#include "CommPort.h"
#include "CommSettings.h"
#include "D_linkstats.h"
#include "D_main.h"
#include "Dialogs.h"
#include "Monitor.h"
#include "SettingsFile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

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

// A key report whose maker-code field carries the low 32 bits of the time it was written (in
// microseconds), so the receiving side can tell its latency; the IDs stay those of one
// transmitter, as in a real stream.
QByteArray keyReport(int64_t stampUs)
{
    QByteArray f = QByteArray::fromHex("0F5A1313"
                                       "00"
                                       "FFFFFFFF"
                                       "12003456"
                                       "83410000"
                                       "0AF5");
    for (int i = 0; i < 4; ++i)
        f[13 + i] = char((uint64_t(stampUs) >> (8 * i)) & 0xFF);
    return f;
}

enum class Feed { KeyReports600, FrameFlood, TextFlood };

// The module: writes to the master side until the time is up, then reports the bytes it wrote.
pid_t startFeeder(int master, Feed feed, int seconds, int reportFd)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int64_t end = nowUs() + int64_t(seconds) * 1'000'000;
    int64_t sent = 0;
    QByteArray text;
    for (int i = 0; text.size() < 4000; ++i)
        text += "ZelvoTerm flood line " + QByteArray::number(i) + "\r\n";
    int64_t next = nowUs();
    while (nowUs() < end) {
        QByteArray chunk;
        if (feed == Feed::KeyReports600) {
            const int64_t wait = next - nowUs();
            if (wait > 0)
                usleep(useconds_t(wait));
            next += 1'000'000 / 600;
            chunk = keyReport(nowUs());
        } else if (feed == Feed::FrameFlood) {
            for (int i = 0; i < 200; ++i)
                chunk += keyReport(nowUs());
        } else {
            chunk = text;
        }
        qsizetype done = 0;
        while (done < chunk.size()) {
            const ssize_t n = write(master, chunk.constData() + done, size_t(chunk.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            pollfd p{master, POLLOUT, 0};
            poll(&p, 1, 100);
            if (nowUs() > end + 2'000'000)
                break;
        }
        sent += done;
    }
    (void)!write(reportFd, &sent, sizeof sent);
    _exit(0);
}

class BenchWindow : public TfrmMain {
public:
    int64_t blocks = 0;
    int64_t bytes = 0;
    int64_t worstLatencyUs = 0;
    std::vector<int64_t> pendingStamps; // of frames handed to the monitor but not yet painted
    bool stampsCarryTime = false;

    BenchWindow()
    {
        connect(monitor()->document(), &QTextDocument::contentsChanged, this, [this] {
            const int64_t now = nowUs();
            for (const int64_t s : pendingStamps)
                worstLatencyUs = std::max(worstLatencyUs, now - s);
            pendingStamps.clear();
        });
    }
    void DisplayRecvFrame(std::span<const uint8_t> block) override
    {
        ++blocks;
        bytes += int64_t(block.size());
        if (stampsCarryTime && block.size() == 19) {
            uint32_t low = 0;
            for (int i = 0; i < 4; ++i)
                low |= uint32_t(block[size_t(13 + i)]) << (8 * i);
            const int64_t now = nowUs();
            pendingStamps.push_back(now - int64_t(uint32_t(uint32_t(now) - low)));
        }
        TfrmMain::DisplayRecvFrame(block);
    }
};

// Answers the session log's file dialog.
class LogFileAnswer : public Dialogs {
public:
    explicit LogFileAnswer(QString path) : m_path(std::move(path)) {}
    QString saveFileName(QWidget*, const FileRequest&) override { return m_path; }

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

struct Run {
    double cpuShare;
    int64_t sent;
    int64_t worstStallMs;
    double seconds;
};

// The stall probe wakes the event loop 100 times a second, so it runs only where stalls matter.
Run measure(BenchWindow& w, int master, std::optional<Feed> feed, int seconds, bool probeStalls)
{
    int pipeFds[2];
    (void)!pipe(pipeFds);
    QElapsedTimer stall;
    int64_t worstStall = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { worstStall = std::max<int64_t>(worstStall, stall.restart() - 10); });
    stall.start();
    if (probeStalls)
        probe.start(10);
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    pid_t child = -1;
    if (feed)
        child = startFeeder(master, *feed, seconds, pipeFds[1]);
    runFor(seconds * 1000);
    int64_t sent = 0;
    if (child > 0) {
        // Let the last bytes through before the books are closed.
        const int64_t before = w.bytes;
        runFor(300);
        while (w.bytes != before && wall.elapsed() < (seconds + 10) * 1000) {
            const int64_t b = w.bytes;
            runFor(300);
            if (w.bytes == b)
                break;
        }
        (void)!read(pipeFds[0], &sent, sizeof sent);
        waitpid(child, nullptr, 0);
    }
    const double elapsed = double(wall.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    close(pipeFds[0]);
    close(pipeFds[1]);
    return {cpu / elapsed, sent, worstStall, elapsed};
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
    std::printf("platform: %s, port %s\n", qPrintable(QGuiApplication::platformName()), name);

    QList<QByteArray> runs;
    for (int i = 1; i < argc; ++i)
        runs << QByteArray(argv[i]);
    const auto wanted = [&](const char* run) { return runs.isEmpty() || runs.contains(run); };
    if (wanted("idle")) {
        const Run idle = measure(w, master, std::nullopt, 10, false);
        std::printf("idle, port open, 10 s: CPU %.2f %% of one core\n", idle.cpuShare * 100);
    }

    if (wanted("keys")) {
        w.blocks = 0;
        w.bytes = 0;
        w.stampsCarryTime = true;
        const Run keys = measure(w, master, Feed::KeyReports600, 10, false);
        std::printf(
            "key reports at 600 frames/s, 10 s: CPU %.2f %% of one core; frames shown %lld / sent %lld; "
            "worst latency to the screen %.1f ms\n",
            keys.cpuShare * 100, (long long)w.blocks, (long long)(keys.sent / 19),
            double(w.worstLatencyUs) / 1000.0);
        w.stampsCarryTime = false;
    }

    for (const Feed feed : {Feed::FrameFlood, Feed::TextFlood}) {
        if (!wanted(feed == Feed::FrameFlood ? "frames" : "text"))
            continue;
        w.blocks = 0;
        w.bytes = 0;
        const Run flood = measure(w, master, feed, 5, true);
        std::printf("%s flood, 5 s: bytes shown %lld / sent %lld; %.2f MB/s; CPU %.1f %% of one core; worst "
                    "event-loop stall %lld ms\n",
                    feed == Feed::FrameFlood ? "frame" : "text", (long long)w.bytes, (long long)flood.sent,
                    double(w.bytes) / flood.seconds / 1e6, flood.cpuShare * 100,
                    (long long)flood.worstStallMs);
    }
    if (runs.contains("linkstats")) {
        // A thousand transmitters fill the table first, so the open window refreshes its largest table.
        w.createToolWindows();
        QByteArray report = QByteArray::fromHex("0F5A1313 00 4D530001 00000000 83410000 01FE");
        for (int id = 0; id < 1000; ++id) {
            report[11] = char(id >> 8);
            report[12] = char(id);
            frmLinkStats->CountRecvBlock(
                {reinterpret_cast<const uint8_t*>(report.constData()), size_t(report.size())});
        }
        w.stampsCarryTime = true;
        for (const bool open : {false, true, false, true}) {
            frmLinkStats->setVisible(open);
            frmLinkStats->findChild<QTableView*>("sGrid")->sortByColumn(LinkStatsModel::SilentFor,
                                                                        Qt::DescendingOrder);
            w.blocks = 0;
            w.worstLatencyUs = 0;
            const Run keys = measure(w, master, Feed::KeyReports600, 10, false);
            std::printf(
                "key reports at 600 frames/s, 10 s, Link Statistics %s: CPU %.2f %% of one core; frames "
                "shown %lld / sent %lld; worst latency to the screen %.1f ms\n",
                open ? "open  " : "closed", keys.cpuShare * 100, (long long)w.blocks,
                (long long)(keys.sent / 19), double(w.worstLatencyUs) / 1000.0);
        }
        w.stampsCarryTime = false;
    }
    if (runs.contains("log")) {
        const QString logPath = dir.filePath(QStringLiteral("session.Txt"));
        LogFileAnswer answer(logPath);
        setDialogs(&answer);
        auto* logItem = w.findChild<QAction*>(QStringLiteral("mmLog"));
        w.findChild<QCheckBox*>(QStringLiteral("ckLogTime"))->setChecked(true);
        // Twice each, alternating, so that the noise of a shared machine shows.
        for (const bool logging : {false, true, false, true}) {
            const qsizetype before = linesIn(logPath);
            if (logging)
                logItem->trigger();
            const char* label = logging ? "log running" : "no log     ";
            w.blocks = 0;
            w.worstLatencyUs = 0;
            w.stampsCarryTime = true;
            const Run keys = measure(w, master, Feed::KeyReports600, 10, false);
            w.stampsCarryTime = false;
            std::printf("key reports at 600 frames/s, 10 s, %s: CPU %.2f %% of one core; frames shown %lld / "
                        "sent %lld; worst latency to the screen %.1f ms\n",
                        label, keys.cpuShare * 100, (long long)w.blocks, (long long)(keys.sent / 19),
                        double(w.worstLatencyUs) / 1000.0);
            const int64_t keyBlocks = w.blocks;
            w.blocks = 0;
            w.bytes = 0;
            const Run flood = measure(w, master, Feed::FrameFlood, 5, true);
            std::printf("frame flood, 5 s, %s: bytes shown %lld / sent %lld; CPU %.1f %% of one core, %.2f "
                        "CPU-s per MB; worst event-loop stall %lld ms\n",
                        label, (long long)w.bytes, (long long)flood.sent, flood.cpuShare * 100,
                        flood.cpuShare * flood.seconds / (double(w.bytes) / 1e6),
                        (long long)flood.worstStallMs);
            if (!logging)
                continue;
            logItem->trigger();
            // The writer finishes on its own thread once the log is stopped.
            const int64_t expected = keyBlocks + w.blocks;
            QElapsedTimer wait;
            wait.start();
            while (linesIn(logPath) - before < expected && wait.elapsed() < 10000)
                runFor(100);
            std::printf("log: %lld lines of %lld blocks, file %.1f MB\n",
                        (long long)(linesIn(logPath) - before), (long long)expected,
                        double(QFileInfo(logPath).size()) / 1e6);
        }
        setDialogs(nullptr);
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("peak resident memory: %.1f MB\n", double(u.ru_maxrss) / 1024.0);
    CommClose();
    return 0;
}
