#pragma once

#include "FrameFilter.h"
#include "FrameLog.h"

#include <QByteArray>
#include <QString>

// Frames as CSV in UTF-8: a header row, one column per field of the table, then the whole entry
// in hexadecimal, which is what reading takes the entry from.
[[nodiscard]] QByteArray framesCsv(const FrameLog& log, const FrameIndex& rows);

struct FramesCsvRead {
    FrameLog log;  // every entry of the file, marked as loaded; empty when refused
    QString error; // "line N: why", empty when read
};
// Reads a whole file's text; a bad line refuses the file, so nothing is ever half read.
[[nodiscard]] FramesCsvRead readFramesCsv(const QByteArray& text);

// The largest file and the most lines it reads: the log keeps a million entries.
constexpr qint64 kMaxFramesCsvBytes = 512LL * 1024 * 1024;
