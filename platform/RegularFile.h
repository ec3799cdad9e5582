#pragma once

#include <QByteArray>
#include <QString>

// Reading and saving files that must be regular files. A device, a pipe or a folder in their
// place is refused before it is opened: reading /dev/zero never ends, opening a pipe waits for a
// writer, opening a terminal can make it the program's controlling terminal and opening a serial
// adapter raises its DTR and RTS; and saving must never put a file where a device node was.

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
// then renamed over it, so a failed save leaves the old file as it was. Where the folder takes no
// new file, a file the user may write is overwritten in place instead. Symbolic links are
// followed and kept: the file at the end of the chain is replaced (or created), with the old
// file's permissions. A file that exists and is not a regular file is refused. Returns the reason
// of a failure in the system's words, empty on success.
[[nodiscard]] QString replaceRegularFile(const QString& path, const QByteArray& bytes);

struct AppendFile {
    int fd = -1;     // open for appending; -1 on failure
    qint64 size = 0; // what the file held when it was opened
    QString reason;  // why it could not be opened
};
// Opens a regular file for appending (links followed), creating it when it is missing; what is in
// it stays. Anything else in its place is refused without waiting for a reader.
[[nodiscard]] AppendFile openRegularFileForAppend(const QString& path);

// Writes all the bytes; false, with errno set, when the file takes no more.
[[nodiscard]] bool writeAll(int fd, QByteArrayView bytes);

// The system's words for an errno value.
[[nodiscard]] QString systemReason(int error);
