#include "PtyRunner.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace modsim {

namespace {

// While nobody holds the slave the master reports a hang-up on every poll, so it is left out of
// the poll set and looked at this often instead.
constexpr Millis kProbeInterval = 20;
// A terminal that stops reading must not make us grow without end; a real line would lose them.
constexpr qsizetype kMaxQueued = 1 << 20;
constexpr int kReadsPerTurn = 16;

void setNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

PtyRunner::PtyRunner(ModuleOptions module, Scenario scenario, RunnerOptions options)
    : m_module(module), m_scenario(scenario), m_options(std::move(options)), m_commandFd(m_options.commandFd)
{
    m_module.log = [this](const QString& line) { log(line); };
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wake[0] = m_wake[1] = -1;
}

PtyRunner::~PtyRunner()
{
    stop();
    closePty();
    removeLink();
    for (const int fd : m_wake)
        if (fd >= 0)
            ::close(fd);
}

Millis PtyRunner::clock() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now() - m_epoch).count();
}

void PtyRunner::say(const QString& text) const
{
    if (onOutput && !text.isEmpty())
        onOutput(text);
}

void PtyRunner::log(const QString& text) const
{
    if (onLog)
        onLog(text);
}

QString PtyRunner::slavePath() const
{
    std::lock_guard lock(m_pathMutex);
    return m_slavePath;
}

bool PtyRunner::open(QString* error)
{
    return openPty(error) && updateLink(error);
}

bool PtyRunner::openPty(QString* error)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("cannot open a pseudo-terminal: %1")
                         .arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    // The slave is the terminal's to open and close; holding it here would hide its closing.
    ::close(slave);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    setNonBlocking(master);
    m_master = master;
    m_present = false;
    m_lastProbe = std::numeric_limits<Millis>::min() / 2;
    std::lock_guard lock(m_pathMutex);
    m_slavePath = QString::fromLocal8Bit(name);
    return true;
}

void PtyRunner::closePty()
{
    if (m_master < 0)
        return;
    ::close(m_master);
    m_master = -1;
    setPresent(false);
}

bool PtyRunner::updateLink(QString* error)
{
    if (m_options.linkPath.isEmpty())
        return true;
    const QByteArray link = QFile::encodeName(m_options.linkPath);
    struct stat st {};
    if (::lstat(link.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        if (error)
            *error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it")
                         .arg(m_options.linkPath);
        return false;
    }
    // A new link under a temporary name renamed over the old one: the path never goes missing.
    const QByteArray temp = link + ".new" + QByteArray::number(::getpid());
    ::unlink(temp.constData());
    if (::symlink(QFile::encodeName(slavePath()).constData(), temp.constData()) != 0 ||
        ::rename(temp.constData(), link.constData()) != 0) {
        if (error)
            *error = QStringLiteral("cannot make the link %1: %2")
                         .arg(m_options.linkPath, QString::fromLocal8Bit(strerror(errno)));
        ::unlink(temp.constData());
        return false;
    }
    m_linkMade = true;
    return true;
}

void PtyRunner::removeLink()
{
    if (!m_linkMade)
        return;
    // Only our own: another simulator may have taken the name over since.
    const QByteArray link = QFile::encodeName(m_options.linkPath);
    char target[4096];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target);
    if (n > 0 && QFile::decodeName(QByteArray(target, n)) == slavePath())
        ::unlink(link.constData());
    m_linkMade = false;
}

void PtyRunner::setPresent(bool present)
{
    if (m_present.exchange(present) == present)
        return;
    if (present) {
        log(QStringLiteral("terminal opened the port"));
    } else {
        m_module.lineReset();
        m_bytesLost += uint64_t(m_out.size());
        m_out.clear();
        log(QStringLiteral("terminal closed the port"));
        if (m_master >= 0)
            releaseExclusive();
    }
}

void PtyRunner::releaseExclusive()
{
    // A program that made the port exclusive and died without undoing it leaves the pty locked
    // against every later open but root's, while a real port forgets that with its last handle.
    const int fd =
        ::open(QFile::encodeName(slavePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return;
    }
    if (errno != EBUSY)
        return;
    // Locked, and we may not unlock it: a new pty behind the same link is the next best thing.
    ::close(m_master);
    m_master = -1;
    say(QStringLiteral("the port was left locked by a program that ended without closing it; ") + replug());
}

void PtyRunner::probe(Millis now)
{
    m_lastProbe = now;
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return;
    const bool hungUp = (p.revents & POLLHUP) != 0;
    if (!hungUp)
        setPresent(true);
    // What the terminal wrote just before it closed is still worth reading.
    if ((p.revents & POLLIN) != 0)
        readTerminal(now);
    if (hungUp)
        setPresent(false);
}

void PtyRunner::readTerminal(Millis now)
{
    char buf[4096];
    for (int i = 0; i < kReadsPerTurn && m_master >= 0; ++i) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            m_module.feedFromTerminal(QByteArrayView(buf, n), now);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            setPresent(false); // EIO: nobody holds the slave any more
        break;
    }
}

void PtyRunner::writeTerminal()
{
    if (m_master < 0 || !m_present) {
        m_bytesLost += uint64_t(m_out.size());
        m_out.clear();
        return;
    }
    if (m_out.size() > kMaxQueued) {
        const qsizetype excess = m_out.size() - kMaxQueued;
        m_bytesLost += uint64_t(excess);
        m_out.remove(0, excess);
    }
    qsizetype done = 0;
    while (done < m_out.size()) {
        const ssize_t n = ::write(m_master, m_out.constData() + done, size_t(m_out.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            m_out.remove(0, done);
            setPresent(false);
            return;
        }
        break;
    }
    m_out.remove(0, done);
}

void PtyRunner::pump(Millis now)
{
    m_module.tick(now);
    m_out += m_module.takeOutput();
    writeTerminal();
}

void PtyRunner::readCommands()
{
    char buf[1024];
    const ssize_t n = ::read(m_commandFd, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n > 0) {
        m_commandBuf.append(buf, n);
        for (qsizetype end = m_commandBuf.indexOf('\n'); end >= 0; end = m_commandBuf.indexOf('\n')) {
            const QByteArray line = m_commandBuf.first(end);
            m_commandBuf.remove(0, end + 1);
            handleLine(line);
        }
        return;
    }
    // Input closed (a script finished, or started in the background): the line goes on.
    if (!m_commandBuf.isEmpty())
        handleLine(std::exchange(m_commandBuf, {}));
    m_commandFd = -1;
    log(QStringLiteral("command input closed; running on until the end of the run or a signal"));
}

void PtyRunner::handleLine(const QByteArray& line)
{
    say(commandHere(QString::fromLocal8Bit(line)));
}

QString PtyRunner::commandHere(const QString& line)
{
    const ParsedCommand parsed = parseCommand(line);
    if (!parsed.command)
        return parsed.error;
    return runCommand(*parsed.command, clock());
}

QString PtyRunner::runCommand(const Command& c, Millis now)
{
    switch (c.kind) {
    case Command::Kind::Quit:
        m_stopRequested = true;
        return QStringLiteral("quitting");
    case Command::Kind::Unplug:
        if (m_master < 0)
            return QStringLiteral("already unplugged");
        closePty();
        if (c.duration > 0) {
            m_replugAt = now + c.duration;
            return QStringLiteral("unplugged for %1 ms").arg(c.duration);
        }
        return QStringLiteral("unplugged; replug to plug in again");
    case Command::Kind::Replug:
        if (m_master >= 0)
            return QStringLiteral("already plugged in");
        return replug();
    case Command::Kind::Status:
        return execute(m_module, c, now) +
               QStringLiteral("\nline: %1, %2; %3 byte(s) lost while nobody listened")
                   .arg(m_master < 0 ? QStringLiteral("unplugged") : slavePath(),
                        m_present ? QStringLiteral("port open") : QStringLiteral("port closed"))
                   .arg(m_bytesLost);
    default:
        return execute(m_module, c, now);
    }
}

QString PtyRunner::replug()
{
    m_replugAt.reset();
    QString error;
    if (!openPty(&error) || !updateLink(&error))
        return error;
    return QStringLiteral("plugged in: %1").arg(slavePath());
}

bool PtyRunner::post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_taskMutex);
        if (!m_accepting)
            return false;
        m_tasks.push_back(std::move(task));
    }
    wake();
    return true;
}

void PtyRunner::runPosted()
{
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_taskMutex);
        tasks.swap(m_tasks);
    }
    for (auto& task : tasks)
        task();
}

void PtyRunner::wake()
{
    if (m_wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &byte, 1);
    }
}

void PtyRunner::requestStop()
{
    m_stopRequested = true;
    wake();
}

QString PtyRunner::command(const QString& line)
{
    std::promise<QString> reply;
    auto future = reply.get_future();
    if (!post([&] { reply.set_value(commandHere(line)); }))
        return commandHere(line);
    return future.get();
}

void PtyRunner::withModule(const std::function<void(Module&, Millis)>& fn)
{
    std::promise<void> done;
    auto future = done.get_future();
    if (!post([&] {
            fn(m_module, clock());
            done.set_value();
        })) {
        fn(m_module, clock());
        return;
    }
    future.get();
}

void PtyRunner::start()
{
    if (m_thread.joinable())
        return;
    {
        // Accepting before the thread runs: a command posted now waits for it instead of
        // running here at the same time as the loop's start.
        std::lock_guard lock(m_taskMutex);
        m_accepting = true;
    }
    m_thread = std::thread([this] { run(); });
}

void PtyRunner::stop()
{
    requestStop();
    if (m_thread.joinable())
        m_thread.join();
}

void PtyRunner::run()
{
    {
        std::lock_guard lock(m_taskMutex);
        m_accepting = true;
    }
    const Millis start = clock();
    m_module.setScenario(m_scenario, start);
    for (int i = 1; i <= m_module.transmitterCount(); ++i)
        log(QStringLiteral("transmitter %1: %2, %3")
                .arg(i)
                .arg(idText(m_module.transmitter(i).id), padTypeName(m_module.transmitter(i).keys)));
    const std::optional<Millis> end =
        m_scenario.duration > 0 ? std::optional(start + m_scenario.duration) : std::nullopt;

    while (!m_stopRequested) {
        Millis now = clock();
        if (end && now >= *end)
            break;
        if (m_replugAt && now >= *m_replugAt)
            say(replug());
        if (m_master >= 0 && !m_present && now - m_lastProbe >= kProbeInterval)
            probe(now);
        pump(now);

        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        fds[count++] = {m_wake[0], POLLIN, 0};
        const nfds_t commandIndex = m_commandFd >= 0 ? count++ : nfds_t(-1);
        if (commandIndex != nfds_t(-1))
            fds[commandIndex] = {m_commandFd, POLLIN, 0};
        const bool watchMaster = m_master >= 0 && m_present;
        const nfds_t masterIndex = watchMaster ? count++ : nfds_t(-1);
        if (watchMaster)
            fds[masterIndex] = {m_master, short(POLLIN | (m_out.isEmpty() ? 0 : POLLOUT)), 0};

        std::optional<Millis> wakeAt = m_module.nextEventAt();
        const auto consider = [&wakeAt](std::optional<Millis> t) {
            if (t && (!wakeAt || *t < *wakeAt))
                wakeAt = t;
        };
        consider(end);
        consider(m_replugAt);
        if (m_master >= 0 && !m_present)
            consider(m_lastProbe + kProbeInterval);
        const int timeout = wakeAt ? int(std::clamp<Millis>(*wakeAt - now, 0, INT_MAX)) : -1;

        if (::poll(fds.data(), count, timeout) < 0 && errno != EINTR)
            break;
        now = clock();
        if ((fds[0].revents & POLLIN) != 0) {
            char drain[64];
            while (::read(m_wake[0], drain, sizeof drain) > 0) {
            }
            runPosted();
        }
        if (commandIndex != nfds_t(-1) && fds[commandIndex].revents != 0 && m_commandFd >= 0)
            readCommands();
        // What the commands made goes out (or is lost) with the line as it is now, before a
        // later probe can find the port reopened.
        pump(clock());
        if (watchMaster && m_master >= 0) {
            const short ev = fds[masterIndex].revents;
            if ((ev & POLLIN) != 0)
                readTerminal(now);
            else if ((ev & (POLLHUP | POLLERR)) != 0)
                setPresent(false);
            if ((ev & POLLOUT) != 0)
                writeTerminal();
        }
    }

    pump(clock());
    {
        std::lock_guard lock(m_taskMutex);
        m_accepting = false;
    }
    runPosted(); // nobody waiting on a reply is left hanging
}

} // namespace modsim
