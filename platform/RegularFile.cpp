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
        const int fd = ::open(name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
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
    // Without O_NONBLOCK, opening a pipe would wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.status = errno == ENOENT ? FileContents::Status::Missing : FileContents::Status::CannotOpen;
        result.reason = systemReason(errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.status = FileContents::Status::NotRegular;
        return result;
    }
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
        return systemReason(errno);
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
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    // Without O_NONBLOCK, opening a pipe would wait for a reader.
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        // A pipe without a reader refuses the open; it is no regular file either way.
        const int error = errno;
        result.reason = ::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode) ? notRegularReason()
                                                                                   : systemReason(error);
        return result;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.reason = notRegularReason();
        return result;
    }
    result.fd = fd;
    result.size = st.st_size;
    return result;
}
