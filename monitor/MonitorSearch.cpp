#include "MonitorSearch.h"

#include "BlockText.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>

namespace {
bool sameChar(QChar a, QChar b, Qt::CaseSensitivity cs)
{
    return cs == Qt::CaseSensitive ? a == b : a.toCaseFolded() == b.toCaseFolded();
}

// Control characters show as their pictures: a text holding either is found only in the text as
// shown, which then has to be made.
bool needsShownText(QStringView pattern)
{
    return std::any_of(pattern.begin(), pattern.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t') || u == 0x7F || (u >= 0x2400 && u <= 0x2421);
    });
}

// Where the next match of one place in the cell may start, from byte `from` on; `bytes.size()`
// when there is none.
template <typename Masks>
qsizetype nextCandidate(const Masks& masks, size_t anchor, std::span<const uint8_t> bytes, qsizetype from)
{
    const qsizetype last = qsizetype(bytes.size()) - qsizetype(masks.size());
    const auto [anchorMask, anchorValue] = masks[anchor];
    for (qsizetype b = from; b <= last; ++b) {
        if (anchorMask == 0xFF) {
            // A whole byte is known: let memchr find the places worth a look.
            const auto* found = static_cast<const uint8_t*>(
                std::memchr(bytes.data() + b + qsizetype(anchor), anchorValue, size_t(last - b + 1)));
            if (!found)
                break;
            b = found - bytes.data() - qsizetype(anchor);
        } else if ((bytes[size_t(b) + anchor] & anchorMask) != anchorValue) {
            continue;
        }
        bool all = true;
        for (size_t k = 0; k < masks.size() && all; ++k)
            all = (bytes[size_t(b) + k] & masks[k].first) == masks[k].second;
        if (all)
            return b;
    }
    return qsizetype(bytes.size());
}
} // namespace

void MonitorSearch::setPattern(const QString& pattern, Qt::CaseSensitivity cs)
{
    m_pattern = pattern;
    m_cs = cs;
    m_folded = cs == Qt::CaseSensitive ? pattern : pattern.toCaseFolded();
    m_before.assign(1, 0);
    m_removed = -1;
    m_anchorUnits.clear();
    if (!pattern.isEmpty()) {
        // The rarest character is looked for: the hexadecimal cells make blanks, "h", "0" and "1"
        // the commonest.
        const auto commonness = [](QChar c) {
            const char16_t u = c.toCaseFolded().unicode();
            return u == u' '                    ? 4
                   : u == u'h'                  ? 3
                   : u == u'0' || u == u'1'     ? 2
                   : isxdigit(u < 0x80 ? u : 0) ? 1
                                                : 0;
        };
        m_anchor = std::min_element(pattern.begin(), pattern.end(),
                                    [&](QChar a, QChar b) { return commonness(a) < commonness(b); }) -
                   pattern.begin();
        // Every UTF-16 unit that folds to it: 'a' and 'A'; 'k', 'K' and the Kelvin sign.
        if (cs == Qt::CaseSensitive) {
            m_anchorUnits.push_back(pattern[m_anchor].unicode());
        } else {
            static const std::vector<char16_t> folded = [] {
                std::vector<char16_t> table(0x10000);
                for (char32_t u = 0; u <= 0xFFFF; ++u)
                    table[u] = QChar(char16_t(u)).toCaseFolded().unicode();
                return table;
            }();
            for (char32_t u = 0; u <= 0xFFFF; ++u) {
                if (folded[u] == m_folded[m_anchor])
                    m_anchorUnits.push_back(char16_t(u));
            }
        }
    }
    const qsizetype length = pattern.size();
    for (qsizetype place = 0; place < 4; ++place) {
        CellMatch& cell = m_cells[size_t(place)];
        cell.possible = length > 0;
        cell.masks.assign(size_t((place + length + 3) / 4), {0, 0});
        for (qsizetype i = 0; i < length && cell.possible; ++i) {
            const qsizetype at = place + i;
            auto& [mask, value] = cell.masks[size_t(at / 4)];
            switch (at % 4) {
            case 0:
                cell.possible = sameChar(pattern[i], u' ', cs);
                break;
            case 3:
                cell.possible = sameChar(pattern[i], u'h', cs);
                break;
            default: {
                const char* digit =
                    std::find_if(std::begin(kHexDigits), std::end(kHexDigits) - 1,
                                 [&](char d) { return sameChar(pattern[i], QLatin1Char(d), cs); });
                cell.possible = digit != std::end(kHexDigits) - 1;
                const auto nibble = uint8_t(digit - kHexDigits);
                const int shift = at % 4 == 1 ? 4 : 0;
                mask |= uint8_t(0x0F << shift);
                value |= uint8_t(nibble << shift);
            }
            }
        }
        cell.everyByte =
            std::all_of(cell.masks.begin(), cell.masks.end(), [](const auto& m) { return m.first == 0; });
        const auto fixedBits = [](const std::pair<uint8_t, uint8_t>& m) { return std::popcount(m.first); };
        cell.anchor = size_t(
            std::max_element(cell.masks.begin(), cell.masks.end(),
                             [&](const auto& a, const auto& b) { return fixedBits(a) < fixedBits(b); }) -
            cell.masks.begin());
    }
}

template <typename Found>
qsizetype MonitorSearch::findInText(QStringView text, qsizetype starts, Found found) const
{
    const qsizetype length = m_pattern.size();
    const qsizetype last = std::min(text.size() - length, starts - 1);
    // The next place of each form of the anchor character, found by QStringView::indexOf, which
    // scans many characters at a time; the whole pattern is compared where one is.
    std::array<qsizetype, 8> next{};
    const size_t forms = std::min(m_anchorUnits.size(), next.size());
    for (size_t i = 0; i < forms; ++i)
        next[i] = last < 0 ? -1 : text.indexOf(QChar(m_anchorUnits[i]), m_anchor);
    qsizetype free = 0;
    for (;;) {
        size_t form = forms;
        for (size_t i = 0; i < forms; ++i) {
            if (next[i] >= 0 && (form == forms || next[i] < next[form]))
                form = i;
        }
        if (form == forms || next[form] - m_anchor > last)
            return free;
        const qsizetype at = next[form] - m_anchor;
        qsizetype k = 0;
        if (m_cs == Qt::CaseSensitive) {
            while (k < length && text[at + k] == m_folded[k])
                ++k;
        } else {
            while (k < length && text[at + k].toCaseFolded() == m_folded[k])
                ++k;
        }
        if (k == length) {
            found(at);
            free = at + length;
        }
        next[form] = text.indexOf(QChar(m_anchorUnits[form]), std::max(at + 1, free) + m_anchor);
    }
}

template <typename Found>
void MonitorSearch::findInBytes(std::span<const uint8_t> bytes, qsizetype column0, qsizetype free,
                                Found found) const
{
    const qsizetype length = m_pattern.size();
    const qsizetype end = qsizetype(bytes.size());
    std::array<size_t, 4> places{};
    size_t possible = 0;
    for (size_t place = 0; place < 4; ++place) {
        if (m_cells[place].possible)
            places[possible++] = place;
    }
    if (possible == 1 && length <= 4) {
        // Matches of one place are four columns apart: they cannot overlap one another.
        const CellMatch& cell = m_cells[places[0]];
        const qsizetype last = end - qsizetype(cell.masks.size());
        qsizetype b = std::max<qsizetype>(0, (free - column0 - qsizetype(places[0]) + 3) / 4);
        for (; b <= last; ++b) {
            if (!cell.everyByte && (b = nextCandidate(cell.masks, cell.anchor, bytes, b)) > last)
                return;
            found(column0 + 4 * b + qsizetype(places[0]));
        }
        return;
    }
    // The next candidate of each place in the cell, taken in the order of their columns.
    std::array<qsizetype, 4> candidate{end, end, end, end};
    for (size_t i = 0; i < possible; ++i)
        candidate[places[i]] = nextCandidate(m_cells[places[i]].masks, m_cells[places[i]].anchor, bytes, 0);
    for (;;) {
        size_t place = 0;
        for (size_t p = 1; p < 4; ++p) {
            if (4 * candidate[p] + qsizetype(p) < 4 * candidate[place] + qsizetype(place))
                place = p;
        }
        if (candidate[place] >= end)
            return;
        const qsizetype column = column0 + 4 * candidate[place] + qsizetype(place);
        qsizetype from = candidate[place] + 1;
        if (column >= free) {
            found(column);
            free = column + length;
        } else {
            // Overlapped by the last match: look on from the first byte that can start after it.
            from = std::max(from, (free - column0 - qsizetype(place) + 3) / 4);
        }
        const CellMatch& cell = m_cells[place];
        candidate[place] = nextCandidate(cell.masks, cell.anchor, bytes, from);
    }
}

template <typename Found> void MonitorSearch::forEachMatch(const LineRef& line, Found found) const
{
    const qsizetype length = m_pattern.size();
    if (length == 0)
        return;
    // Matches that start in the text may run on into the bytes' cells.
    const qsizetype textSize = line.text.size();
    qsizetype free = 0; // where the next match may start: matches do not overlap
    if (textSize > 0) {
        if (line.bytes.isEmpty() && !needsShownText(m_pattern)) {
            free = findInText(line.text, textSize, found);
        } else {
            const QString shown = shownText(line.text.toString()) + line.mid(textSize, length - 1);
            free = findInText(shown, textSize, found);
        }
    }
    if (!line.bytes.isEmpty())
        findInBytes({reinterpret_cast<const uint8_t*>(line.bytes.data()), size_t(line.bytes.size())},
                    textSize, free, found);
}

void MonitorSearch::update(const MonitorLines& lines)
{
    if (m_pattern.isEmpty())
        return;
    if (lines.removed() != m_removed || lines.count() < rowsCounted()) {
        m_removed = lines.removed();
        m_before.assign(1, 0);
    }
    m_before.reserve(size_t(lines.count()) + 1);
    for (qsizetype row = rowsCounted(); row < lines.count(); ++row) {
        qint64 n = 0;
        forEachMatch(lines.line(row), [&n](qsizetype) { ++n; });
        m_before.push_back(m_before.back() + n);
    }
}

std::vector<qsizetype> MonitorSearch::matchesIn(const LineRef& line) const
{
    std::vector<qsizetype> columns;
    forEachMatch(line, [&columns](qsizetype column) { columns.push_back(column); });
    return columns;
}

std::optional<TextPos> MonitorSearch::next(const MonitorLines& lines, TextPos from) const
{
    if (count() == 0)
        return std::nullopt;
    for (qsizetype row = std::max<qsizetype>(from.row, 0); row < rowsCounted(); ++row) {
        if (m_before[size_t(row) + 1] == m_before[size_t(row)])
            continue;
        for (const qsizetype column : matchesIn(lines.line(row))) {
            if (row > from.row || column >= from.column)
                return TextPos{row, column};
        }
    }
    const auto first = std::upper_bound(m_before.begin(), m_before.end(), 0);
    const qsizetype row = first - m_before.begin() - 1;
    return TextPos{row, matchesIn(lines.line(row)).front()};
}

std::optional<TextPos> MonitorSearch::previous(const MonitorLines& lines, TextPos before) const
{
    if (count() == 0)
        return std::nullopt;
    for (qsizetype row = std::min(before.row, rowsCounted() - 1); row >= 0; --row) {
        if (m_before[size_t(row) + 1] == m_before[size_t(row)])
            continue;
        const std::vector<qsizetype> columns = matchesIn(lines.line(row));
        for (auto c = columns.rbegin(); c != columns.rend(); ++c) {
            if (row < before.row || *c < before.column)
                return TextPos{row, *c};
        }
    }
    const auto last = std::lower_bound(m_before.begin(), m_before.end(), count());
    const qsizetype row = last - m_before.begin() - 1;
    return TextPos{row, matchesIn(lines.line(row)).back()};
}

qint64 MonitorSearch::ordinal(const MonitorLines& lines, TextPos match) const
{
    if (match.row < 0 || match.row >= rowsCounted() ||
        m_before[size_t(match.row) + 1] == m_before[size_t(match.row)])
        return 0;
    const std::vector<qsizetype> columns = matchesIn(lines.line(match.row));
    const auto at = std::lower_bound(columns.begin(), columns.end(), match.column);
    return at != columns.end() && *at == match.column
               ? m_before[size_t(match.row)] + (at - columns.begin()) + 1
               : 0;
}
