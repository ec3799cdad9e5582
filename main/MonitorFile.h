#pragma once

#include <QString>
#include <QStringList>

// Files larger than this are refused: the monitor is a window onto a thousand lines, and a file of
// hundreds of megabytes would hold the window for a long time. 16 MB still takes back any monitor
// the program saves (1001 lines of at most about 16 400 characters).
constexpr qint64 kMonitorFileLimit = 16 * 1024 * 1024;
// Files of more lines are refused too: each line is kept on its own, and 16 MB of empty lines
// would take gigabytes. A thousand times what the monitor holds of received data.
constexpr qsizetype kMonitorFileLines = 1'000'000;

struct MonitorFileResult {
    QStringList lines;
    QString error; // empty on success
};

// Lines of a monitor file, which must be a regular file: CR LF, lone CR and lone LF all end a
// line; the code page, or UTF-8 when the file starts with a UTF-8 byte-order mark.
[[nodiscard]] MonitorFileResult loadMonitorFile(const QString& path);
[[nodiscard]] QStringList splitMonitorText(const QString& text);

// Lines as a monitor file holds them: in the code page, each followed by CR LF.
[[nodiscard]] QByteArray monitorFileBytes(const QStringList& lines);

// The lines as monitorFileBytes, saved by replaceRegularFile: a failed save leaves the old file
// whole, a link keeps pointing at the file, and anything but a regular file is refused. Returns
// the error message, empty on success.
[[nodiscard]] QString saveMonitorFile(const QString& path, const QStringList& lines);
