#include "OpenFailure.h"

#include "RegularFile.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <sys/stat.h>

namespace {
bool isCharDevice(const QString& path, dev_t* device)
{
    struct stat st {};
    // stat follows links, /proc's fd links included, to the file itself.
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    *device = st.st_rdev;
    return true;
}

// "name (PID n)" of every process with the device open, under whatever name it was opened.
// Other users' processes are left out: their fd lists cannot be read, unless by root.
QStringList holdersOf(const QString& devicePath)
{
    dev_t device = 0;
    if (!isCharDevice(devicePath, &device))
        return {};
    QStringList holders;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid.toLongLong() <= 0)
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            dev_t held = 0;
            if (!isCharDevice(fds.filePath(fd), &held) || held != device)
                continue;
            QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
            const QString name =
                comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
            holders << QStringLiteral("%1 (PID %2)").arg(name.isEmpty() ? QStringLiteral("?") : name, pid);
            break;
        }
    }
    return holders;
}
} // namespace

QString openFailureReason(const QString& devicePath, int error)
{
    QString reason;
    switch (error) {
    case EACCES:
        reason = QStringLiteral("no permission. Add your user to the dialout group "
                                "(sudo adduser $USER dialout), then log in again.");
        break;
    case EBUSY: {
        const QStringList holders = holdersOf(devicePath);
        reason =
            holders.isEmpty()
                ? QStringLiteral("the port is busy: another program has it open.")
                : QStringLiteral("the port is busy: %1 has it open.").arg(holders.join(QStringLiteral(", ")));
        break;
    }
    case ENOENT:
    case ENODEV:
    case ENXIO:
        reason =
            QStringLiteral("the device is not there. Is the adapter plugged in, and the port name right?");
        break;
    case ENOTTY:
        reason = QStringLiteral("not a serial port: this is no terminal device.");
        break;
    default:
        reason = systemReason(error);
    }
    return devicePath + QStringLiteral(": ") + reason;
}
