#pragma once

#include <QByteArray>
#include <QString>

// Reading and saving files that must be regular files. A device, a pipe or a folder in their
// place is refused: reading /dev/zero never ends, opening a pipe waits for a writer, and saving
// must never put a file where a device node was.

struct FileContents {
    enum class Status { Read, Missing, NotRegular, TooLarge, CannotOpen, CannotRead };
    Status status = Status::Read;
    QByteArray bytes;
    qint64 size = 0; // of a file that is too large
    QString reason;  // the system's reason, for Missing, CannotOpen and CannotRead
};

// The whole file, if it is a regular file of at most maxBytes. Never waits for a writer.
[[nodiscard]] FileContents readRegularFile(const QString& path, qint64 maxBytes);

// Replaces the file with the bytes as a whole: they go to a temporary file beside it, which is
// then renamed over it, so a failed save leaves the old file as it was. Symbolic links are
// followed and kept: the file at the end of the chain is replaced (or created), with the old
// file's permissions. A file that exists and is not a regular file is refused. Returns the reason
// of a failure in the system's words, empty on success.
[[nodiscard]] QString replaceRegularFile(const QString& path, const QByteArray& bytes);
