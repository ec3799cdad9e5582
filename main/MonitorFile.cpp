#include "MonitorFile.h"

#include "CodePage.h"
#include "RegularFile.h"

MonitorFileResult LoadMonitorFile(const QString& path)
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
    const QByteArray bom("\xEF\xBB\xBF");
    const QString text =
        bytes.startsWith(bom) ? QString::fromUtf8(bytes.mid(bom.size())) : fromCodePage(bytes);
    QStringList lines = SplitMonitorText(text);
    for (const QString& line : lines) {
        if (line.size() > kMonitorLineLimit) {
            result.error =
                QStringLiteral("\"%1\" has a line of %2 characters; the monitor loads lines up to %3.")
                    .arg(path)
                    .arg(line.size())
                    .arg(kMonitorLineLimit);
            return result;
        }
    }
    result.lines = std::move(lines);
    return result;
}

QStringList SplitMonitorText(const QString& text)
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

QByteArray MonitorFileLine(QStringView line)
{
    return toCodePage(line) + "\r\n";
}

QString SaveMonitorFile(const QString& path, const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += MonitorFileLine(line);
    if (const QString reason = replaceRegularFile(path, bytes); !reason.isEmpty())
        return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
    return {};
}
