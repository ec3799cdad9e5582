#pragma once

#include "MonitorLines.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPointF>
#include <QRawFont>

#include <array>
#include <vector>

class QPainter;

// Where the monitor's characters go and what they look like, looked up one character at a time
// and kept, so that a line of 16 K characters costs a table look-up per character instead of
// shaping, whether it is measured, hit-tested or painted. Any font works: full-width characters
// take their own advance, a tab moves to the next stop of eight spaces, a character the font
// lacks is drawn from the font that has it.
// Text is drawn without shaping (see drawingFont) so that it lands where these advances say.
class TextMetrics {
public:
    explicit TextMetrics(const QFont& font);

    // The font to draw with: kerning and optional shaping off, so each character takes exactly
    // its own advance.
    [[nodiscard]] static QFont drawingFont(QFont font);

    // The width of one character (a surrogate pair is one) that starts at x.
    struct Step {
        qsizetype length;
        qreal width;
    };
    [[nodiscard]] Step step(QStringView text, qsizetype i, qreal x) const;

    [[nodiscard]] qreal width(const LineRef& line) const;
    [[nodiscard]] qreal xOf(const LineRef& line, qsizetype column) const;
    // The character boundary nearest to x.
    [[nodiscard]] qsizetype columnAt(const LineRef& line, qreal x) const;

    // The characters of a line that meet [left, right), formatted, with where they start.
    struct Slice {
        QString text;
        qsizetype column = 0;
        qreal x = 0;
    };
    [[nodiscard]] Slice slice(const LineRef& line, qreal left, qreal right) const;

    // Draws a run of characters without a tab from `origin` on the baseline, each where step()
    // puts it, in the painter's pen (control codes as their pictures).
    void draw(QPainter& painter, QPointF origin, QStringView run) const;

    [[nodiscard]] qreal spaceWidth() const { return advance(u' '); }

private:
    struct Glyph {
        qreal advance = -1; // negative: not looked up yet
        qreal offset = 0;   // from the pen position
        quint32 index = 0;
        // Into m_fonts; kNone for a character without a glyph, kShaped for one the font draws
        // as several.
        int font = kNone;
    };
    static constexpr int kNone = -1;
    static constexpr int kShaped = -2;

    [[nodiscard]] Glyph glyph(char32_t c) const;
    [[nodiscard]] Glyph lookUp(const QString& shown) const;
    [[nodiscard]] qreal advance(char32_t c) const { return glyph(c).advance; }
    [[nodiscard]] qreal tabWidth(qreal x) const;
    // Walks `text` from (i, x) while the next character ends at or before `limit`.
    void walk(QStringView text, qsizetype& i, qreal& x, qreal limit) const;
    // The same over the bytes of a "Binary" line, a whole byte (" XXh") at a time.
    void walkBytes(QByteArrayView bytes, qsizetype& b, qreal& x, qreal limit) const;

    QFont m_font;
    QFontMetricsF m_metrics;
    // Filled as characters are met: those below U+0100 in a table, the rest by hash.
    mutable std::array<Glyph, 256> m_latin1;
    mutable QHash<char32_t, Glyph> m_others;
    mutable std::vector<QRawFont> m_fonts; // each font a glyph has come from
    std::array<qreal, 256> m_byteWidth{};  // the width of " XXh" by byte
    // Reused by each draw, so that painting a row allocates nothing.
    mutable std::vector<quint32> m_runGlyphs;
    mutable std::vector<QPointF> m_runPositions;
};
