#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class MonitorLines;

// Files larger than this are refused: the monitor is a window onto a thousand lines, and a file of
// hundreds of megabytes would hold the window for a long time. 16 MB still takes back any monitor
// the program saves (1001 lines of at most about 16 400 characters).
constexpr qint64 kMonitorFileLimit = 16 * 1024 * 1024;
// Files of more lines are refused too: each line is kept on its own, and 16 MB of empty lines
// would take gigabytes. A thousand times what the monitor holds of received data.
constexpr qsizetype kMonitorFileLines = 1'000'000;

struct MonitorFileResult {
    QStringList lines;
    // The bytes of each line whose text does not encode back to them, for MonitorLines::assign.
    QList<QByteArray> original;
    QString error; // empty on success
};

// Lines of a monitor file, which must be a regular file: CR LF, lone CR and lone LF all end a
// line. UTF-8 when the file starts with a UTF-8 byte-order mark and the rest is valid UTF-8,
// otherwise the code page, shown as decodeLine shows it.
[[nodiscard]] MonitorFileResult loadMonitorFile(const QString& path);
// The lines of a monitor file's bytes, as loadMonitorFile reads them.
[[nodiscard]] MonitorFileResult monitorFileLines(QByteArrayView bytes);

// A line as a monitor file holds it: its bytes, then CR LF.
void appendMonitorFileLine(QByteArray& file, QByteArrayView line);
[[nodiscard]] QByteArray monitorFileBytes(const MonitorLines& lines);

// The lines as monitorFileBytes, saved by replaceRegularFile: a failed save leaves the old file
// whole, a link keeps pointing at the file, and anything but a regular file is refused. Returns
// the error message, empty on success.
[[nodiscard]] QString saveMonitorFile(const QString& path, const MonitorLines& lines);
