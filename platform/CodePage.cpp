#include "CodePage.h"

#include <QStringDecoder>

#include <array>
#include <cstdint>
#include <memory>

namespace {
constexpr bool isLeadByte(uint8_t b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr int kLeadBytes = 0x9F - 0x81 + 1 + 0xFC - 0xE0 + 1;

constexpr int leadIndex(uint8_t lead)
{
    return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + (0x9F - 0x81 + 1);
}

// A lead byte that no trail byte follows becomes a private-use character of its own, which
// encodes back to that byte. The table below never gives a character in this range (its
// private-use characters are U+E000-U+E757), so saved text keeps the bytes that were received.
constexpr char16_t kStandInBase = 0xF700;

constexpr uint16_t kNotInCodePage = 0xFFFF;

// The code page as lookup tables, built once: the monitor renders every block through them.
struct Tables {
    std::array<char16_t, 256> single{};
    // The character of each lead and trail byte pair; 0 where the pair has none.
    std::array<char16_t, kLeadBytes * 256> pairs{};
    // The byte, or lead byte * 256 + trail byte, of each character.
    std::array<uint16_t, 0x10000> bytes{};
};

std::unique_ptr<Tables> buildTables()
{
    auto t = std::make_unique<Tables>();
    // Qt's converter of this name is ICU's IBM-943 table, which swaps the control codes 1A, 1C
    // and 7F and has no character for 80, A0 and FD-FF: the single bytes are set here as the
    // Windows code page has them.
    for (int b = 0; b < 0x80; ++b)
        t->single[size_t(b)] = char16_t(b);
    t->single[0x80] = 0x0080;
    t->single[0xA0] = 0xF8F0;
    for (int b = 0xA1; b <= 0xDF; ++b)
        t->single[size_t(b)] = char16_t(0xFF61 + b - 0xA1);
    for (int b = 0xFD; b <= 0xFF; ++b)
        t->single[size_t(b)] = char16_t(0xF8F1 + b - 0xFD);
    for (int b = 0x81; b <= 0xFC; ++b) {
        if (isLeadByte(uint8_t(b)))
            t->single[size_t(b)] = char16_t(kStandInBase + b);
    }
    t->bytes.fill(kNotInCodePage);
    for (int b = 0; b < 256; ++b)
        t->bytes[t->single[size_t(b)]] = uint16_t(b);

    // Where several pairs stand for one character, Windows writes the first of them in this
    // order, which takes the NEC-selected IBM extensions (lead bytes ED and EE) last.
    std::array<uint8_t, kLeadBytes> leads{};
    size_t n = 0;
    for (int b = 0x81; b <= 0xFC; ++b) {
        if (isLeadByte(uint8_t(b)) && b != 0xED && b != 0xEE)
            leads[n++] = uint8_t(b);
    }
    leads[n++] = 0xED;
    leads[n++] = 0xEE;
    QStringDecoder decoder("windows-31j");
    for (const uint8_t lead : leads) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const char pair[] = {char(lead), char(trail)};
            const QString c = decoder.decode(QByteArrayView(pair, 2));
            if (c.size() != 1 || c[0] == QChar::ReplacementCharacter)
                continue;
            const char16_t u = c[0].unicode();
            t->pairs[size_t(leadIndex(lead) * 256 + trail)] = u;
            if (t->bytes[u] == kNotInCodePage)
                t->bytes[u] = uint16_t(lead << 8 | trail);
        }
    }
    return t;
}

const Tables& tables()
{
    static const std::unique_ptr<Tables> t = buildTables();
    return *t;
}
} // namespace

QByteArray toCodePage(QStringView text)
{
    const Tables& t = tables();
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A character beyond the 16-bit range is one character the code page lacks.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        const uint16_t b = c.isSurrogate() ? kNotInCodePage : t.bytes[c.unicode()];
        if (b == kNotInCodePage) {
            out.append('?'); // as Windows writes a character its code page lacks
        } else if (b > 0xFF) {
            out.append(char(b >> 8));
            out.append(char(b & 0xFF));
        } else {
            out.append(char(b));
        }
    }
    return out;
}

CodePageChar codePageCharAt(QByteArrayView bytes, qsizetype at)
{
    const Tables& t = tables();
    const auto b = uint8_t(bytes[at]);
    if (isLeadByte(b) && at + 1 < bytes.size()) {
        const auto trail = uint8_t(bytes[at + 1]);
        if (const char16_t c = t.pairs[size_t(leadIndex(b) * 256 + trail)])
            return {c, 2, true, t.bytes[c] == uint16_t(b << 8 | trail)};
    }
    const char16_t c = t.single[b];
    return {c, 1, b < 0x80 || (b >= 0xA1 && b <= 0xDF), true};
}

QString fromCodePage(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size();) {
        const CodePageChar c = codePageCharAt(bytes, i);
        *out++ = QChar(c.unicode);
        i += c.size;
    }
    text.truncate(out - text.constData());
    return text;
}
