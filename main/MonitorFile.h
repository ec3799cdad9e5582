#pragma once

#include <QString>
#include <QStringList>

// Files larger than this are refused: the monitor is a window onto a thousand lines, and a file of
// hundreds of megabytes would hold the window for a long time. 16 MB still takes back any monitor
// the program saves (1001 lines of at most about 16 400 characters).
constexpr qint64 kMonitorFileLimit = 16 * 1024 * 1024;
// Longer lines are refused too: the text view lays out a line whole, and its cost grows faster than
// the line (a single 16 MB line holds the window for about ten seconds, 16 MB in lines of this
// length for about one and a half). Four times the longest line the monitor makes.
constexpr qsizetype kMonitorLineLimit = 65536;

struct MonitorFileResult {
    QStringList lines;
    QString error; // empty on success
};

// Lines of a monitor file, which must be a regular file: CR LF, lone CR and lone LF all end a
// line; the code page, or UTF-8 when the file starts with a UTF-8 byte-order mark.
[[nodiscard]] MonitorFileResult LoadMonitorFile(const QString& path);
[[nodiscard]] QStringList SplitMonitorText(const QString& text);

// One line as a monitor file holds it: in the code page, followed by CR LF.
[[nodiscard]] QByteArray MonitorFileLine(QStringView line);

// Every line followed by CR LF, in the code page, saved by replaceRegularFile: a failed save leaves
// the old file whole, a link keeps pointing at the file, and anything but a regular file is
// refused. Returns the error message, empty on success.
[[nodiscard]] QString SaveMonitorFile(const QString& path, const QStringList& lines);
