#include "TextMetrics.h"

#include <cmath>
#include <limits>

namespace {
constexpr qreal kUnlimited = std::numeric_limits<qreal>::infinity();
constexpr int kTabStop = 8; // spaces
} // namespace

TextMetrics::TextMetrics(const QFont& font) : m_metrics(drawingFont(font)), m_bmp(0x10000, -1.0f)
{
    for (char16_t u = 0; u < 0x100; ++u)
        (void)advance(u);
    for (int b = 0; b < 0x100; ++b) {
        const char byte = char(b);
        const LineRef cell{QStringView(), QByteArrayView(&byte, 1)};
        for (qsizetype c = 0; c < cell.length(); ++c)
            m_byteWidth[size_t(b)] += advance(cell.at(c).unicode());
    }
}

QFont TextMetrics::drawingFont(QFont font)
{
    font.setKerning(false);
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    return font;
}

qreal TextMetrics::advance(char32_t c) const
{
    if (c < 0x10000) {
        float& a = m_bmp[c];
        if (a < 0)
            a = float(m_metrics.horizontalAdvance(QString(shownChar(QChar(char16_t(c))))));
        return a;
    }
    auto it = m_supplementary.constFind(c);
    if (it == m_supplementary.constEnd())
        it = m_supplementary.insert(c, m_metrics.horizontalAdvance(QString::fromUcs4(&c, 1)));
    return *it;
}

qreal TextMetrics::tabWidth(qreal x) const
{
    const qreal stop = std::max<qreal>(1, kTabStop * spaceWidth());
    return (std::floor(x / stop) + 1) * stop - x;
}

TextMetrics::Step TextMetrics::step(QStringView text, qsizetype i, qreal x) const
{
    const char16_t u = text[i].unicode();
    if (u == u'\t')
        return {1, tabWidth(x)};
    if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return {2, advance(QChar::surrogateToUcs4(u, text[i + 1].unicode()))};
    return {1, advance(u)};
}

void TextMetrics::walk(QStringView text, qsizetype& i, qreal& x, qreal limit) const
{
    while (i < text.size()) {
        const Step s = step(text, i, x);
        if (x + s.width > limit)
            return;
        x += s.width;
        i += s.length;
    }
}

void TextMetrics::walkBytes(QByteArrayView bytes, qsizetype& b, qreal& x, qreal limit) const
{
    for (; b < bytes.size(); ++b) {
        const qreal w = m_byteWidth[uint8_t(bytes[b])];
        if (x + w > limit)
            return;
        x += w;
    }
}

qreal TextMetrics::width(const LineRef& line) const
{
    qsizetype i = 0;
    qsizetype b = 0;
    qreal x = 0;
    walk(line.text, i, x, kUnlimited);
    walkBytes(line.bytes, b, x, kUnlimited);
    return x;
}

qreal TextMetrics::xOf(const LineRef& line, qsizetype column) const
{
    qreal x = 0;
    qsizetype i = 0;
    while (i < std::min(column, line.text.size())) {
        const Step s = step(line.text, i, x);
        x += s.width;
        i += s.length;
    }
    const qsizetype cell = std::clamp<qsizetype>(column - line.text.size(), 0, 4 * line.bytes.size());
    for (qsizetype b = 0; b < cell / 4; ++b)
        x += m_byteWidth[uint8_t(line.bytes[b])];
    for (qsizetype c = cell - cell % 4; c < cell; ++c)
        x += advance(line.at(line.text.size() + c).unicode());
    return x;
}

qsizetype TextMetrics::columnAt(const LineRef& line, qreal x) const
{
    qsizetype i = 0;
    qreal left = 0;
    walk(line.text, i, left, x);
    if (i < line.text.size()) {
        const Step s = step(line.text, i, left);
        return x - left > s.width / 2 ? i + s.length : i;
    }
    qsizetype b = 0;
    walkBytes(line.bytes, b, left, x);
    qsizetype column = line.text.size() + 4 * b;
    for (; column < line.length(); ++column) {
        const qreal w = advance(line.at(column).unicode());
        if (x - left <= w / 2)
            return column;
        left += w;
    }
    return column;
}

TextMetrics::Slice TextMetrics::slice(const LineRef& line, qreal left, qreal right) const
{
    Slice s;
    qsizetype i = 0;
    qreal x = 0;
    qsizetype b = 0;
    walk(line.text, i, x, left);
    if (i < line.text.size()) {
        s.column = i;
        s.x = x;
        qsizetype end = i;
        while (end < line.text.size() && x < right) {
            const Step st = step(line.text, end, x);
            x += st.width;
            end += st.length;
        }
        s.text = line.text.sliced(i, end - i).toString();
        if (x >= right)
            return s;
    } else {
        walkBytes(line.bytes, b, x, left);
        s.column = line.text.size() + 4 * b;
        s.x = x;
    }
    const qsizetype first = b;
    for (; b < line.bytes.size() && x < right; ++b)
        x += m_byteWidth[uint8_t(line.bytes[b])];
    s.text += line.mid(line.text.size() + 4 * first, 4 * (b - first));
    return s;
}
