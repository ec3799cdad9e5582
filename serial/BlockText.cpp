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

QByteArray renderBinaryBytes(std::span<const uint8_t> block)
{
    QByteArray line(qsizetype(block.size() * 4), Qt::Uninitialized);
    char* out = line.data();
    for (const uint8_t b : block) {
        *out++ = ' ';
        *out++ = kHexDigits[b >> 4];
        *out++ = kHexDigits[b & 0x0F];
        *out++ = 'h';
    }
    return line;
}

QByteArray renderTextBytes(std::span<const uint8_t> block)
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
    return bytes;
}

LineText decodeLine(QByteArrayView bytes)
{
    LineText line;
    line.text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        // Most text is ASCII, which is the same in the code page: a run of it is taken at once.
        qsizetype ascii = i;
        while (ascii < bytes.size() && uint8_t(bytes[ascii]) < 0x80)
            ++ascii;
        if (ascii > i) {
            line.text.append(QLatin1StringView(bytes.sliced(i, ascii - i)));
            i = ascii;
            continue;
        }
        const auto b = uint8_t(bytes[i]);
        const CodePageChar c = codePageCharAt(bytes, i);
        if (c.defined) {
            line.text.append(QChar(c.unicode));
        } else {
            const char16_t item[] = {u' ', char16_t(kHexDigits[b >> 4]), char16_t(kHexDigits[b & 0x0F]),
                                     u'h'};
            line.text.append(QStringView(item, 4));
        }
        line.exact = line.exact && c.defined && c.canonical;
        i += c.size;
    }
    return line;
}

QString renderText(std::span<const uint8_t> block)
{
    return decodeLine(renderTextBytes(block)).text;
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
