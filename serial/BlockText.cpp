#include "BlockText.h"

#include "CodePage.h"

#include <QByteArray>

namespace {
bool isControlCode(uint8_t b)
{
    return b < 0x20 || b == 0x7F;
}
} // namespace

QString renderBinary(std::span<const uint8_t> block)
{
    QString line(qsizetype(block.size() * 4), Qt::Uninitialized);
    QChar* out = line.data();
    for (const uint8_t b : block) {
        *out++ = u' ';
        *out++ = QLatin1Char(kHexDigits[b >> 4]);
        *out++ = QLatin1Char(kHexDigits[b & 0x0F]);
        *out++ = u'h';
    }
    return line;
}

QString renderText(std::span<const uint8_t> block)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(block.size() * 2));
    bool lastWasText = true;
    for (const uint8_t b : block) {
        if (isControlCode(b)) {
            const char item[] = {' ', kHexDigits[b >> 4], kHexDigits[b & 0x0F], 'h'};
            bytes.append(item, 4);
            lastWasText = false;
        } else {
            if (!lastWasText) {
                bytes.append(' ');
                lastWasText = true;
            }
            bytes.append(char(b));
        }
    }
    return fromCodePage(bytes);
}

QString formatId(const std::array<uint8_t, 4>& id)
{
    // By hand: the ID panels take two IDs with every frame.
    QString text(qsizetype(id.size() * 3), Qt::Uninitialized);
    QChar* out = text.data();
    for (const uint8_t b : id) {
        *out++ = QLatin1Char(kHexDigits[b >> 4]);
        *out++ = QLatin1Char(kHexDigits[b & 0x0F]);
        *out++ = u' ';
    }
    return text;
}
