#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <vector>

// A log of monitor lines in a file, kept as a saved monitor file is (code page, CR LF), appended
// to and never truncated. Lines are taken on the GUI thread and written by a thread of the log's
// own, at least once a second and when the log stops. A write to a regular file can block for as
// long as the disk likes (a stalled network share, a dying stick) and regular files know no
// non-blocking writes: only a thread of its own keeps such a disk from freezing the window and
// reception.
class SessionLog {
public:
    static constexpr int kFlushMs = 1000;
    // How long the end of the program waits for a stalled disk.
    static constexpr int kFinishMs = 3000;

    SessionLog() = default;
    // Stops and finishes.
    ~SessionLog();
    SessionLog(const SessionLog&) = delete;
    SessionLog& operator=(const SessionLog&) = delete;

    // Starts logging to the file (a regular file, created when missing). Returns the error
    // message, empty on success.
    [[nodiscard]] QString start(const QString& path);
    // The lines still waiting go to the file and it is closed, by the writer: nobody waits here.
    void stop();
    // Waits, at most kFinishMs, until every stopped log has reached its file.
    void finish();

    [[nodiscard]] bool running() const { return m_writer != nullptr; }
    // Whether the path names the running log's file, under whatever name (links, other folders).
    [[nodiscard]] bool writesTo(const QString& path) const;
    // A line in bytes of the code page, as a monitor file holds it: the writer only writes, so
    // the log keeps up with whatever the disk takes.
    void append(QByteArrayView line);
    // What the file holds: its size at the start and what has been written since.
    [[nodiscard]] qint64 size() const;
    // The message of a failure that has stopped the log (a write failed, the file was removed,
    // the disk stalled), once; empty while the log runs well.
    [[nodiscard]] QString takeFailure();

private:
    struct Writer;
    std::shared_ptr<Writer> m_writer;
    std::vector<std::shared_ptr<Writer>> m_stopped; // still writing their last lines
    QString m_path;
};
