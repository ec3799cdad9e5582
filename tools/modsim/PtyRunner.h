#pragma once

#include "Commands.h"
#include "Module.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

namespace modsim {

struct RunnerOptions {
    QString linkPath;   // a symbolic link kept pointing at the slave; empty: none
    int commandFd = -1; // where command lines come from (standard input); -1: none
};

// Puts a Module on the master side of a pseudo-terminal: the terminal opens the slave as its
// serial port. The master is read whenever it has bytes and written without blocking from a
// queue, so the terminal's writes never wait on us. While no one holds the slave, output is
// dropped, as bytes sent on a line nobody listens to are lost; otherwise the terminal would read
// a backlog of stale frames when it opens the port.
class PtyRunner {
public:
    PtyRunner(ModuleOptions module, Scenario scenario, RunnerOptions options = {});
    ~PtyRunner();
    PtyRunner(const PtyRunner&) = delete;
    PtyRunner& operator=(const PtyRunner&) = delete;

    // Opens the pseudo-terminal and makes the link; false with the reason in *error.
    [[nodiscard]] bool open(QString* error = nullptr);
    [[nodiscard]] QString slavePath() const;
    [[nodiscard]] QString linkPath() const { return m_options.linkPath; }

    // Runs in the calling thread until stopped, told to quit, or the scenario's duration is over.
    void run();
    // The same on a thread of its own, for tests and benchmarks.
    void start();
    void stop();
    // Safe in a signal handler.
    void requestStop();

    // Runs one command line on the runner's thread and returns the reply. Never call these two
    // from the callbacks below: they wait for the runner's thread.
    [[nodiscard]] QString command(const QString& line);
    void withModule(const std::function<void(Module&, Millis now)>& fn);

    [[nodiscard]] bool terminalPresent() const { return m_present.load(); }

    // Replies to commands and changes of the line (a new slave path after a replug).
    std::function<void(const QString&)> onOutput;
    // What the module hears and does; noisy, so it has its own callback.
    std::function<void(const QString&)> onLog;

private:
    [[nodiscard]] Millis clock() const;
    void loop();
    [[nodiscard]] bool openPty(QString* error);
    void closePty();
    [[nodiscard]] bool updateLink(QString* error);
    void removeLink();
    void probe(Millis now);
    void readTerminal(Millis now);
    void writeTerminal();
    void pump(Millis now);
    void setPresent(bool present);
    void releaseExclusive();
    void readCommands();
    void handleLine(const QByteArray& line);
    [[nodiscard]] QString commandHere(const QString& line);
    [[nodiscard]] QString runCommand(const Command& c, Millis now);
    [[nodiscard]] QString replug();
    [[nodiscard]] bool post(std::function<void()> task);
    void runPosted();
    void wake();
    void say(const QString& text) const;
    void log(const QString& text) const;

    Module m_module;
    Scenario m_scenario;
    RunnerOptions m_options;
    std::chrono::steady_clock::time_point m_epoch = std::chrono::steady_clock::now();

    int m_master = -1;
    QString m_slavePath;
    mutable std::mutex m_pathMutex;
    bool m_linkMade = false;

    std::atomic<bool> m_present = false;
    Millis m_lastProbe = std::numeric_limits<Millis>::min() / 2;
    std::optional<Millis> m_replugAt;
    QByteArray m_out;
    uint64_t m_bytesLost = 0;

    int m_commandFd = -1;
    QByteArray m_commandBuf;

    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stopRequested = false;
    std::mutex m_taskMutex;
    std::deque<std::function<void()>> m_tasks;
    bool m_accepting = false;
    std::thread m_thread;
};

} // namespace modsim
