#include "MonitorFile.h"

#include "CodePage.h"
#include "RegularFile.h"

namespace {
// As splitMonitorText counts them: CR LF, a lone CR and a lone LF end a line, and text after
// the last line end is a line too. CR and LF are single bytes in the code page and in UTF-8.
qsizetype countLines(QByteArrayView bytes)
{
    qsizetype lines = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes[i] == '\n' || bytes[i] == '\r') {
            ++lines;
            if (bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n')
                ++i;
        }
    }
    return n > 0 && bytes[n - 1] != '\n' && bytes[n - 1] != '\r' ? lines + 1 : lines;
}
} // namespace

MonitorFileResult loadMonitorFile(const QString& path)
{
    MonitorFileResult result;
    const FileContents file = readRegularFile(path, kMonitorFileLimit);
    switch (file.status) {
    case FileContents::Status::Read:
        break;
    case FileContents::Status::NotRegular:
        result.error = QStringLiteral("Cannot open file \"%1\". It is not a regular file.").arg(path);
        return result;
    case FileContents::Status::TooLarge:
        result.error =
            QStringLiteral("\"%1\" is too large to load (%2 bytes); the monitor loads files up to %3 MB.")
                .arg(path)
                .arg(file.size)
                .arg(kMonitorFileLimit / (1024 * 1024));
        return result;
    case FileContents::Status::Missing:
    case FileContents::Status::CannotOpen:
        result.error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.reason);
        return result;
    case FileContents::Status::CannotRead:
        result.error = QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.reason);
        return result;
    }
    const QByteArray& bytes = file.bytes;
    if (const qsizetype lines = countLines(bytes); lines > kMonitorFileLines) {
        result.error = QStringLiteral("\"%1\" has %2 lines; the monitor loads files of up to %3 lines.")
                           .arg(path)
                           .arg(lines)
                           .arg(kMonitorFileLines);
        return result;
    }
    const QByteArray bom("\xEF\xBB\xBF");
    const QString text =
        bytes.startsWith(bom) ? QString::fromUtf8(bytes.mid(bom.size())) : fromCodePage(bytes);
    result.lines = splitMonitorText(text);
    return result;
}

QStringList splitMonitorText(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QByteArray monitorFileBytes(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += toCodePage(line) + "\r\n";
    return bytes;
}

QString saveMonitorFile(const QString& path, const QStringList& lines)
{
    if (const QString reason = replaceRegularFile(path, monitorFileBytes(lines)); !reason.isEmpty())
        return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
    return {};
}
