#include "RegularFile.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString notRegularReason()
{
    return QStringLiteral("It is not a regular file.");
}

// Where a save has to write: the end of a chain of symbolic links. Sets `st` when it exists.
bool resolveLinks(QByteArray* path, struct stat* st, bool* exists, int* error)
{
    constexpr int kMaxLinks = 40; // as the kernel allows
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        if (::lstat(path->constData(), st) != 0) {
            *exists = false;
            *error = errno;
            return errno == ENOENT;
        }
        if (!S_ISLNK(st->st_mode)) {
            *exists = true;
            return true;
        }
        QByteArray link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path->constData(), link.data(), size_t(link.size()));
        if (n < 0) {
            *error = errno;
            return false;
        }
        link.truncate(n);
        if (!link.startsWith('/'))
            link.prepend(path->left(path->lastIndexOf('/') + 1));
        *path = link;
    }
    *error = ELOOP;
    return false;
}

// A new file beside the target, created as a file of that name would be (the umask applies).
int createTemporary(const QByteArray& target, QByteArray* name)
{
    const QByteArray stem = target + ".tmp-" + QByteArray::number(::getpid()) + '-';
    for (int attempt = 0;; ++attempt) {
        *name = stem + QByteArray::number(attempt);
        const int fd = ::open(name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
}

struct Opened {
    int fd = -1;
    bool notRegular = false;
    int error = 0; // errno of a failure other than notRegular
    struct stat st {};
};

// Opens a file that stat has shown to be a regular file, or creates one with O_CREAT in `flags`.
// Opening is what does harm: a terminal becomes the controlling terminal of a session leader (and
// its hang-up then ends the program), a serial adapter raises DTR and RTS, a pipe waits for its
// other end. So the type is checked first, every open is O_NOCTTY and O_NONBLOCK, and the opened
// file is checked again in case the path changed in between.
Opened openRegular(const QByteArray& name, int flags)
{
    Opened result;
    if (::stat(name.constData(), &result.st) != 0) {
        result.error = errno;
        if (errno != ENOENT || !(flags & O_CREAT))
            return result;
    } else if (!S_ISREG(result.st.st_mode)) {
        result.notRegular = true;
        return result;
    }
    const bool existed = result.error == 0;
    result.error = 0;
    const struct stat checked = result.st;
    const int fd = ::open(name.constData(), flags | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    if (::fstat(fd, &result.st) != 0 || !S_ISREG(result.st.st_mode) ||
        (existed && (result.st.st_dev != checked.st_dev || result.st.st_ino != checked.st_ino))) {
        ::close(fd);
        result.notRegular = true;
        return result;
    }
    result.fd = fd;
    return result;
}

// Overwrites a file whose folder takes no temporary file: not all-or-nothing, but the only way to
// save a file the user may write in a folder they may not. The reason of a failure, empty on success.
QString writeInPlace(const QByteArray& target, const QByteArray& bytes)
{
    const Opened file = openRegular(target, O_WRONLY);
    if (file.notRegular)
        return notRegularReason();
    if (file.fd < 0)
        return systemReason(file.error);
    bool written =
        writeAll(file.fd, bytes) && ::ftruncate(file.fd, bytes.size()) == 0 && ::fsync(file.fd) == 0;
    int error = errno;
    if (::close(file.fd) != 0 && written) {
        written = false;
        error = errno;
    }
    return written ? QString() : systemReason(error);
}
} // namespace

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

FileContents readRegularFile(const QString& path, qint64 maxBytes)
{
    FileContents result;
    const Opened file = openRegular(QFile::encodeName(path), O_RDONLY);
    if (file.notRegular) {
        result.status = FileContents::Status::NotRegular;
        return result;
    }
    if (file.fd < 0) {
        result.status =
            file.error == ENOENT ? FileContents::Status::Missing : FileContents::Status::CannotOpen;
        result.reason = systemReason(file.error);
        return result;
    }
    const int fd = file.fd;
    const struct stat& st = file.st;
    if (st.st_size > maxBytes) {
        ::close(fd);
        result.status = FileContents::Status::TooLarge;
        result.size = st.st_size;
        return result;
    }
    // Bounded even so: the file may grow while it is read.
    result.bytes.reserve(qsizetype(st.st_size));
    std::array<char, 65536> chunk{};
    while (result.bytes.size() <= maxBytes) {
        const qint64 wanted = std::min<qint64>(qint64(chunk.size()), maxBytes + 1 - result.bytes.size());
        const ssize_t n = ::read(fd, chunk.data(), size_t(wanted));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.status = FileContents::Status::CannotRead;
            result.reason = systemReason(errno);
            break;
        }
        if (n == 0)
            break;
        result.bytes.append(chunk.data(), n);
    }
    ::close(fd);
    if (result.status == FileContents::Status::Read && result.bytes.size() > maxBytes) {
        result.status = FileContents::Status::TooLarge;
        result.size = result.bytes.size();
    }
    if (result.status != FileContents::Status::Read)
        result.bytes.clear();
    return result;
}

QString replaceRegularFile(const QString& path, const QByteArray& bytes)
{
    QByteArray target = QFile::encodeName(path);
    struct stat st {};
    bool exists = false;
    int error = 0;
    if (!resolveLinks(&target, &st, &exists, &error))
        return systemReason(error);
    if (exists && !S_ISREG(st.st_mode))
        return notRegularReason();
    // A file the user may not write is not replaced behind its back.
    if (exists && ::access(target.constData(), W_OK) != 0)
        return systemReason(errno);

    QByteArray temporary;
    const int fd = createTemporary(target, &temporary);
    if (fd < 0)
        return exists ? writeInPlace(target, bytes) : systemReason(errno);
    if (exists) {
        (void)!::fchown(fd, st.st_uid, st.st_gid);
        ::fchmod(fd, st.st_mode & 07777);
    }
    // A full disk may show only when the bytes are flushed or the file is closed.
    bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporary.constData(), target.constData()) == 0)
        return {};
    if (written)
        error = errno;
    ::unlink(temporary.constData());
    return systemReason(error);
}

AppendFile openRegularFileForAppend(const QString& path)
{
    AppendFile result;
    const Opened file = openRegular(QFile::encodeName(path), O_WRONLY | O_APPEND | O_CREAT);
    if (file.fd < 0) {
        result.reason = file.notRegular ? notRegularReason() : systemReason(file.error);
        return result;
    }
    result.fd = file.fd;
    result.size = file.st.st_size;
    return result;
}
