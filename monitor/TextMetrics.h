#pragma once

#include "MonitorLines.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>

#include <array>
#include <vector>

// Advances of the monitor's characters, measured one character at a time and cached, so that a
// line of 16 K characters costs a table look-up per character instead of shaping. Any font works:
// full-width characters take their own advance, a tab moves to the next stop of eight spaces.
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

    [[nodiscard]] qreal spaceWidth() const { return m_bmp[u' ']; }

private:
    [[nodiscard]] qreal advance(char32_t c) const;
    [[nodiscard]] qreal tabWidth(qreal x) const;
    // Walks `text` from (i, x) while the next character ends at or before `limit`.
    void walk(QStringView text, qsizetype& i, qreal& x, qreal limit) const;
    // The same over the bytes of a "Binary" line, a whole byte (" XXh") at a time.
    void walkBytes(QByteArrayView bytes, qsizetype& b, qreal& x, qreal limit) const;

    QFontMetricsF m_metrics;
    mutable std::vector<float> m_bmp;               // advance by UTF-16 unit; negative: not measured
    mutable QHash<char32_t, qreal> m_supplementary; // characters beyond U+FFFF
    std::array<qreal, 256> m_byteWidth{};           // the width of " XXh" by byte
};
