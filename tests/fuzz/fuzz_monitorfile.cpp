// Received blocks, cut and moded by the input, go into the monitor's lines as the main window
// puts them there; the lines are saved, opened and saved again. The second save must give the
// same bytes, and the opened lines must be those shown, unless the file reads as UTF-8 (a byte-order
// mark first and valid UTF-8 after it), whose lines keep only their bytes.
#include "BlockText.h"
#include "MonitorFile.h"
#include "MonitorLines.h"

#include <QStringDecoder>

#include <cstdlib>
#include <span>

namespace {
bool readsAsUtf8(QByteArrayView file)
{
    if (!file.startsWith("\xEF\xBB\xBF"))
        return false;
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString text = utf8.decode(file.sliced(3));
    return !utf8.hasError();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MonitorLines shown;
    const QString stamp = QStringLiteral("2026/01/02 03:04:05.0678 =>");
    // Each block: a byte of length (0 to 63) and mode, then that many bytes.
    for (size_t i = 0; i < size;) {
        const uint8_t head = data[i++];
        const size_t length = std::min<size_t>(size - i, (head & 0x3F) + 1);
        const std::span<const uint8_t> block(data + i, length);
        i += length;
        const QString prefix = head & 0x40 ? stamp : QString();
        if (head & 0x80)
            shown.append(prefix, QByteArray(reinterpret_cast<const char*>(block.data()), qsizetype(length)));
        else
            shown.appendText(prefix.toLatin1() + renderTextBytes(block));
    }
    const QByteArray saved = monitorFileBytes(shown);
    const MonitorFileResult opened = monitorFileLines(saved);
    if (!readsAsUtf8(saved) && opened.lines != shown.all())
        std::abort();
    MonitorLines loaded;
    loaded.assign(opened.lines, opened.original);
    if (monitorFileBytes(loaded) != saved)
        std::abort();
    return 0;
}
