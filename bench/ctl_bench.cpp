// Measures `zelvoctl listen` as a script runs it: key reports at 600 frames/s on a
// pseudo-terminal, IDs changing every frame, its output read through a pipe. Reports the share
// of a core the program used while the reports came, and checks that every report was printed.
//
//   ctl_bench ZELVOCTL [SECONDS] [FORMAT]     defaults: 30 s, json
#include <QByteArray>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int kPerSecond = 600;

// Key report n, from transmitter n: the IDs change with every frame.
QByteArray keyReport(uint32_t n)
{
    QByteArray f = QByteArray::fromHex("0F5A1313004D530001000000008341000001FE");
    f[4] = char(n & 0xFF);
    for (int i = 0; i < 4; ++i)
        f[9 + i] = char(n >> (24 - 8 * i));
    return f;
}

// User and system time of a process, in seconds.
double cpuSecondsOf(pid_t pid)
{
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f)
        return -1;
    char buf[1024] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    // The fields after the command name, which is in parentheses and may hold spaces.
    const char* p = std::strrchr(buf, ')');
    if (!p || n == 0)
        return -1;
    unsigned long utime = 0;
    unsigned long stime = 0;
    if (std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return -1;
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ctl_bench ZELVOCTL [SECONDS] [FORMAT]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    const char* format = argc > 3 ? argv[3] : "json";
    int master = -1;
    int slave = -1;
    char slaveName[256] = {};
    if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    close(slave);

    int out[2];
    if (pipe(out) != 0)
        return 1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(argv[1], argv[1], "listen", "--port", slaveName, "--format", format, "--settings", "/dev/null",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    // The reader stands in for the script: it counts the lines as they come.
    uint64_t lines = 0;
    std::thread reader([&] {
        char buf[65536];
        ssize_t n = 0;
        while ((n = read(out[0], buf, sizeof buf)) > 0)
            for (ssize_t i = 0; i < n; ++i)
                lines += buf[i] == '\n';
    });

    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double cpuStart = cpuSecondsOf(child);
    const auto start = std::chrono::steady_clock::now();
    const uint32_t total = uint32_t(seconds * kPerSecond);
    for (uint32_t n = 0; n < total; ++n) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(int64_t(n) * 1'000'000 / kPerSecond));
        const QByteArray f = keyReport(n + 1);
        if (write(master, f.constData(), size_t(f.size())) != f.size()) {
            std::perror("write");
            break;
        }
    }
    // The last reports are printed within a pass or two.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuSecondsOf(child) - cpuStart;
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    reader.join();
    std::printf("zelvoctl listen --format %s, %d key reports/s for %d s: %.2f %% of a core "
                "(%.3f CPU-s in %.1f s); %llu of %u reports printed; exit status %d\n",
                format, kPerSecond, seconds, 100.0 * cpu / elapsed, cpu, elapsed,
                static_cast<unsigned long long>(lines), total, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return lines == total ? 0 : 1;
}
