#include "TextMetrics.h"

#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr qreal kUnlimited = std::numeric_limits<qreal>::infinity();
constexpr int kTabStop = 8; // spaces
} // namespace

TextMetrics::TextMetrics(const QFont& font) : m_font(drawingFont(font)), m_metrics(m_font)
{
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

TextMetrics::Glyph TextMetrics::glyph(char32_t c) const
{
    const auto shown = [c] {
        return c < 0x10000 ? QString(shownChar(QChar(char16_t(c)))) : QString::fromUcs4(&c, 1);
    };
    if (c < m_latin1.size()) {
        Glyph& g = m_latin1[c];
        if (g.advance < 0)
            g = lookUp(shown());
        return g;
    }
    auto it = m_others.constFind(c);
    if (it == m_others.constEnd())
        it = m_others.insert(c, lookUp(shown()));
    return *it;
}

TextMetrics::Glyph TextMetrics::lookUp(const QString& shown) const
{
    Glyph g;
    g.advance = m_metrics.horizontalAdvance(shown);
    // Laid out alone, as the text engine lays it out in a line: the glyph of whichever font has it.
    QTextLayout layout(shown, m_font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs.front().glyphIndexes().size() != 1) {
        g.font = runs.isEmpty() ? kNone : kShaped;
        return g;
    }
    const QGlyphRun& run = runs.front();
    auto font = std::find(m_fonts.begin(), m_fonts.end(), run.rawFont());
    if (font == m_fonts.end())
        font = m_fonts.insert(m_fonts.end(), run.rawFont());
    g.font = int(font - m_fonts.begin());
    g.index = run.glyphIndexes().front();
    g.offset = run.positions().front().x();
    return g;
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

void TextMetrics::draw(QPainter& painter, QPointF origin, QStringView run) const
{
    // Consecutive characters of one font go to the painter as one run of glyphs.
    int font = kNone;
    const auto flush = [&] {
        if (m_runGlyphs.empty())
            return;
        QGlyphRun glyphs;
        glyphs.setRawFont(m_fonts[size_t(font)]);
        glyphs.setRawData(m_runGlyphs.data(), m_runPositions.data(), int(m_runGlyphs.size()));
        painter.drawGlyphRun(QPointF(), glyphs);
        m_runGlyphs.clear();
        m_runPositions.clear();
    };
    qreal x = origin.x();
    for (qsizetype i = 0; i < run.size();) {
        char32_t c = run[i].unicode();
        qsizetype length = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < run.size() && run[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(run[i], run[i + 1]);
            length = 2;
        }
        const Glyph g = glyph(c);
        if (g.font != font) {
            flush();
            font = g.font;
        }
        if (g.font >= 0) {
            m_runGlyphs.push_back(g.index);
            m_runPositions.emplace_back(x + g.offset, origin.y());
        } else if (g.font == kShaped) {
            painter.setFont(m_font);
            painter.drawText(QPointF(x, origin.y()), shownText(run.sliced(i, length).toString()));
        }
        x += g.advance;
        i += length;
    }
    flush();
}
