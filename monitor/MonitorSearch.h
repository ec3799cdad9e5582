#pragma once

#include "MonitorLines.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Finds a text in the monitor's lines as they are shown, without a widget. Matches do not overlap
// and run from the start of each line. Only the number of matches per line is kept (a one-letter
// search through a full monitor of "Binary" lines has millions): the matches of a line are found
// again where they are needed, for the rows in view and for moving from one match to the next.
//
// "Binary" cells are matched on their bytes, without formatting them: at each of the four places a
// match may start within a " XXh" cell, the text to find becomes a mask and a value per byte.
class MonitorSearch {
public:
    void setPattern(const QString& pattern, Qt::CaseSensitivity cs);
    [[nodiscard]] const QString& pattern() const { return m_pattern; }
    [[nodiscard]] qsizetype matchLength() const { return m_pattern.size(); }

    // Counts the matches of the lines appended since the last call, or of all of them when the
    // lines were replaced (Clear, the 1000-line rule, a loaded file).
    void update(const MonitorLines& lines);
    [[nodiscard]] qint64 count() const { return m_before.back(); }

    // The columns where the matches of a line start, in order.
    [[nodiscard]] std::vector<qsizetype> matchesIn(const LineRef& line) const;
    // The first match that starts at or after `from`, else the first of all; the last match that
    // starts before `before`, else the last of all. Lines not yet counted by update() are not searched.
    [[nodiscard]] std::optional<TextPos> next(const MonitorLines& lines, TextPos from) const;
    [[nodiscard]] std::optional<TextPos> previous(const MonitorLines& lines, TextPos before) const;
    // The number of a match, counted from 1 at the first; 0 when no match starts there.
    [[nodiscard]] qint64 ordinal(const MonitorLines& lines, TextPos match) const;

private:
    // What the bytes of a "Binary" line must be for a match to start at one place in a cell.
    struct CellMatch {
        bool possible = false;
        std::vector<std::pair<uint8_t, uint8_t>> masks; // (mask, value) for each byte covered
        size_t anchor = 0;      // the byte the most digits are known of: it is tested first
        bool everyByte = false; // no digit is known: a match may start at every byte
    };
    template <typename Found> void forEachMatch(const LineRef& line, Found found) const;
    // Matches that start in the first `starts` characters; returns where the next may start.
    template <typename Found> qsizetype findInText(QStringView text, qsizetype starts, Found found) const;
    template <typename Found>
    void findInBytes(std::span<const uint8_t> bytes, qsizetype column0, qsizetype free, Found found) const;
    [[nodiscard]] qsizetype rowsCounted() const { return qsizetype(m_before.size()) - 1; }

    QString m_pattern;
    Qt::CaseSensitivity m_cs = Qt::CaseInsensitive;
    QString m_folded; // the pattern as compared: case-folded unless case matters
    // A character of the pattern that text scans look for, and every UTF-16 unit it may be.
    qsizetype m_anchor = 0;
    std::vector<char16_t> m_anchorUnits;
    std::array<CellMatch, 4> m_cells;
    std::vector<qint64> m_before{0}; // matches before each row counted, and after the last
    qint64 m_removed = -1;           // MonitorLines::removed() when last updated
};
