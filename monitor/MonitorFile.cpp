#include "MonitorFile.h"

#include "BlockText.h"
#include "CodePage.h"
#include "MonitorLines.h"
#include "RegularFile.h"

#include <QStringDecoder>

namespace {
// Calls `line` with the bytes of each line: CR LF, a lone CR and a lone LF end a line, and bytes
// after the last line end are a line too. CR and LF are single bytes in the code page and in
// UTF-8, never part of a character.
template <typename Line> void forEachLine(QByteArrayView bytes, Line&& line)
{
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes[i] != '\n' && bytes[i] != '\r')
            continue;
        line(bytes.sliced(start, i - start));
        if (bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        line(bytes.sliced(start));
}

// A file the program saved may start with these bytes too (they came first): only UTF-8 that is
// valid throughout is taken for UTF-8.
bool isUtf8WithBom(QByteArrayView bytes)
{
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return false;
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString text = utf8.decode(bytes.sliced(3));
    return !utf8.hasError();
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
    qsizetype lines = 0;
    forEachLine(bytes, [&](QByteArrayView) { ++lines; });
    if (lines > kMonitorFileLines) {
        result.error = QStringLiteral("\"%1\" has %2 lines; the monitor loads files of up to %3 lines.")
                           .arg(path)
                           .arg(lines)
                           .arg(kMonitorFileLines);
        return result;
    }
    return monitorFileLines(bytes);
}

MonitorFileResult monitorFileLines(QByteArrayView bytes)
{
    MonitorFileResult result;
    const bool utf8 = isUtf8WithBom(bytes);
    forEachLine(bytes, [&](QByteArrayView line) {
        LineText shown;
        if (utf8) {
            // The first line's bytes begin with the byte-order mark, which is no part of its text.
            const bool first = result.lines.isEmpty();
            shown.text = QString::fromUtf8(first ? line.sliced(3) : line);
            shown.exact = !first && toCodePage(shown.text) == line;
        } else {
            shown = decodeLine(line);
        }
        if (!shown.exact) {
            result.original.resize(result.lines.size());
            result.original.append(line.toByteArray());
        }
        result.lines.append(std::move(shown.text));
    });
    return result;
}

void appendMonitorFileLine(QByteArray& file, QByteArrayView line)
{
    file.append(line);
    file.append("\r\n");
}

QByteArray monitorFileBytes(const MonitorLines& lines)
{
    QByteArray bytes;
    for (qsizetype row = 0; row < lines.count(); ++row)
        appendMonitorFileLine(bytes, lines.fileLine(row));
    return bytes;
}

QString saveMonitorFile(const QString& path, const MonitorLines& lines)
{
    if (const QString reason = replaceRegularFile(path, monitorFileBytes(lines)); !reason.isEmpty())
        return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
    return {};
}
