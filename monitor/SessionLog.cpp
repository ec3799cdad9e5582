#include "SessionLog.h"

#include "MonitorFile.h"
#include "RegularFile.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {
// A flood wakes the writer before its second is up, so the lines waiting stay few.
constexpr qsizetype kWakeBytes = 256 * 1024;
// A disk that has not taken this much while it piled up does not keep up: the log stops rather
// than fill the memory. More than a second of the port at full speed in "Binary" mode.
constexpr qsizetype kMaxPendingBytes = 32 * 1024 * 1024;
// Stands for a stalled disk among the errno values a writer can end with.
constexpr int kStalled = -1;
} // namespace

struct SessionLog::Writer {
    explicit Writer(int fd) : fd(fd) {}

    void run();
    [[nodiscard]] int write(const QByteArray& bytes);
    void cutToLastWholeLine(QByteArrayView bytes);

    const int fd;
    dev_t device = 0;
    ino_t inode = 0;
    std::atomic<qint64> size = 0;

    std::mutex mutex;
    std::condition_variable cv;
    QByteArray pending; // whole lines, each with its line end
    bool stopping = false;
    bool done = false;
    int error = 0; // the errno value that ended it, or kStalled
};

void SessionLog::Writer::run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        cv.wait_for(lock, std::chrono::milliseconds(kFlushMs),
                    [this] { return stopping || error != 0 || pending.size() >= kWakeBytes; });
        if (error != 0)
            break;
        const QByteArray bytes = std::exchange(pending, {});
        const bool last = stopping;
        lock.unlock();
        const int failed = write(bytes);
        lock.lock();
        if (failed != 0) {
            error = failed;
            pending.clear();
            break;
        }
        if (last)
            break;
    }
    ::close(fd);
    done = true;
    cv.notify_all();
}

int SessionLog::Writer::write(const QByteArray& bytes)
{
    // A removed file takes writes without complaint, and they are lost with it.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_nlink == 0)
        return ENOENT;
    if (bytes.isEmpty())
        return 0;
    errno = 0;
    if (!writeAll(fd, bytes)) {
        const int error = errno != 0 ? errno : EIO;
        cutToLastWholeLine(bytes);
        return error;
    }
    size += bytes.size();
    return 0;
}

// A full disk takes part of the bytes: what it took is cut back to the end of the last whole
// line, so the log does not end in half a line that the next session's lines would run on from.
void SessionLog::Writer::cutToLastWholeLine(QByteArrayView bytes)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return;
    const qint64 before = size;
    const qint64 taken = std::clamp<qint64>(st.st_size - before, 0, bytes.size());
    const qsizetype lineEnd = bytes.first(taken).lastIndexOf("\r\n");
    const qint64 keep = before + (lineEnd < 0 ? 0 : lineEnd + 2);
    if (st.st_size > keep && ::ftruncate(fd, keep) == 0)
        size = keep;
}

SessionLog::~SessionLog()
{
    stop();
    finish();
}

QString SessionLog::start(const QString& path)
{
    stop();
    const AppendFile file = openRegularFileForAppend(path);
    if (file.fd < 0)
        return QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.reason);
    m_writer = std::make_shared<Writer>(file.fd);
    m_writer->size = file.size;
    if (struct stat st{}; ::fstat(file.fd, &st) == 0) {
        m_writer->device = st.st_dev;
        m_writer->inode = st.st_ino;
    }
    m_path = path;
    std::thread([writer = m_writer] { writer->run(); }).detach();
    return {};
}

void SessionLog::stop()
{
    if (!m_writer)
        return;
    {
        std::lock_guard lock(m_writer->mutex);
        m_writer->stopping = true;
    }
    m_writer->cv.notify_all();
    std::erase_if(m_stopped, [](const std::shared_ptr<Writer>& w) {
        std::lock_guard lock(w->mutex);
        return w->done;
    });
    m_stopped.push_back(std::move(m_writer));
}

void SessionLog::finish()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFinishMs);
    for (const std::shared_ptr<Writer>& w : m_stopped) {
        std::unique_lock lock(w->mutex);
        w->cv.wait_until(lock, deadline, [&] { return w->done; });
    }
    m_stopped.clear();
}

void SessionLog::append(QByteArrayView line)
{
    if (!m_writer)
        return;
    Writer& w = *m_writer;
    bool wake = false;
    {
        std::lock_guard lock(w.mutex);
        if (w.error != 0)
            return;
        if (w.pending.size() > kMaxPendingBytes) {
            w.error = kStalled;
            wake = true;
        } else {
            appendMonitorFileLine(w.pending, line);
            wake = w.pending.size() >= kWakeBytes;
        }
    }
    if (wake)
        w.cv.notify_all();
}

bool SessionLog::writesTo(const QString& path) const
{
    struct stat st {};
    return m_writer && ::stat(QFile::encodeName(path).constData(), &st) == 0 &&
           st.st_dev == m_writer->device && st.st_ino == m_writer->inode;
}

qint64 SessionLog::size() const
{
    return m_writer ? m_writer->size.load() : 0;
}

QString SessionLog::takeFailure()
{
    if (!m_writer)
        return {};
    int error = 0;
    {
        std::lock_guard lock(m_writer->mutex);
        error = m_writer->error;
    }
    if (error == 0)
        return {};
    stop();
    const QString reason =
        error == kStalled ? QStringLiteral("The disk does not keep up with the log.") : systemReason(error);
    return QStringLiteral("Cannot write file \"%1\". %2\nThe log has stopped.").arg(m_path, reason);
}
