#include "MonitorFile.h"

#include "CodePage.h"

#include <QFile>
#include <QSaveFile>

MonitorFileResult LoadMonitorFile(const QString& path)
{
    MonitorFileResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString());
        return result;
    }
    if (file.size() > kMonitorFileLimit) {
        result.error = QStringLiteral("\"%1\" is too large to load (%2 MB); the monitor loads files up to %3 MB.")
                           .arg(path)
                           .arg(file.size() / (1024 * 1024))
                           .arg(kMonitorFileLimit / (1024 * 1024));
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString());
        return result;
    }
    const QByteArray bom("\xEF\xBB\xBF");
    const QString text = bytes.startsWith(bom) ? QString::fromUtf8(bytes.mid(bom.size())) : fromCodePage(bytes);
    result.lines = SplitMonitorText(text);
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

QString SaveMonitorFile(const QString& path, const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += toCodePage(line) + "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
    return {};
}
