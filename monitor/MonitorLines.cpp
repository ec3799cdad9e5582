#include "MonitorLines.h"

#include "BlockText.h"
#include "CodePage.h"

#include <algorithm>
#include <span>

namespace {
std::span<const uint8_t> byteSpan(QByteArrayView bytes)
{
    return {reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size())};
}

// Lists of bytes by row that only some lines have: `value` at `row`, or an empty entry while
// the list is in use.
void keepAt(QList<QByteArray>& list, qsizetype row, QByteArray value)
{
    if (!value.isEmpty()) {
        list.resize(row);
        list.append(std::move(value));
    } else if (!list.isEmpty()) {
        list.append(QByteArray());
    }
}
} // namespace

QChar LineRef::at(qsizetype column) const
{
    if (column < text.size())
        return text[column];
    const qsizetype cell = column - text.size();
    const auto byte = uint8_t(bytes[cell / 4]);
    switch (cell % 4) {
    case 0:
        return u' ';
    case 1:
        return QLatin1Char(kHexDigits[byte >> 4]);
    case 2:
        return QLatin1Char(kHexDigits[byte & 0x0F]);
    default:
        return u'h';
    }
}

QString LineRef::mid(qsizetype from, qsizetype count) const
{
    from = std::clamp<qsizetype>(from, 0, length());
    count = std::clamp<qsizetype>(count, 0, length() - from);
    QString out = text.mid(std::min(from, text.size()), std::min(count, text.size() - from)).toString();
    const qsizetype cellFrom = std::max<qsizetype>(from - text.size(), 0);
    const qsizetype cellTo = from + count - text.size();
    if (cellTo > cellFrom) {
        const qsizetype firstByte = cellFrom / 4;
        const qsizetype lastByte = (cellTo + 3) / 4;
        const QString cells = renderBinary(byteSpan(bytes.sliced(firstByte, lastByte - firstByte)));
        out += QStringView(cells).sliced(cellFrom - 4 * firstByte, cellTo - cellFrom);
    }
    return out;
}

qsizetype LineRef::nextColumn(qsizetype column) const
{
    if (column >= length())
        return length();
    if (column + 1 < text.size() && text[column].isHighSurrogate() && text[column + 1].isLowSurrogate())
        return column + 2;
    return column + 1;
}

qsizetype LineRef::previousColumn(qsizetype column) const
{
    if (column <= 0)
        return 0;
    if (column >= 2 && column <= text.size() && text[column - 1].isLowSurrogate() &&
        text[column - 2].isHighSurrogate())
        return column - 2;
    return column - 1;
}

void MonitorLines::append(QString text, QByteArray bytes)
{
    add(std::move(text), std::move(bytes), QByteArray());
}

void MonitorLines::appendText(QByteArrayView line)
{
    LineText shown = decodeLine(line);
    add(std::move(shown.text), QByteArray(), shown.exact ? QByteArray() : line.toByteArray());
}

void MonitorLines::add(QString text, QByteArray bytes, QByteArray original)
{
    if (count() > kLimit)
        clear();
    const qsizetype row = count();
    keepAt(m_bytes, row, std::move(bytes));
    keepAt(m_original, row, std::move(original));
    m_text.append(std::move(text));
    m_ends.push_back((m_ends.empty() ? 0 : m_ends.back()) + line(row).length() + 1);
}

void MonitorLines::assign(QStringList lines, QList<QByteArray> original)
{
    clear();
    m_text = std::move(lines);
    m_original = std::move(original);
    m_ends.reserve(size_t(m_text.size()));
    qsizetype end = 0;
    for (const QString& t : std::as_const(m_text)) {
        end += t.size() + 1;
        m_ends.push_back(end);
    }
}

void MonitorLines::clear()
{
    m_removed += count();
    m_text.clear();
    m_bytes.clear();
    m_original.clear();
    m_ends.clear();
    m_ends.shrink_to_fit();
}

LineRef MonitorLines::line(qsizetype row) const
{
    return {m_text[row], row < m_bytes.size() ? QByteArrayView(m_bytes[row]) : QByteArrayView()};
}

QStringList MonitorLines::all() const
{
    QStringList out = m_text;
    for (qsizetype row = 0; row < m_bytes.size(); ++row) {
        if (!m_bytes[row].isEmpty())
            out[row] = line(row).toString();
    }
    return out;
}

QByteArray MonitorLines::fileLine(qsizetype row) const
{
    if (row < m_original.size() && !m_original[row].isEmpty())
        return m_original[row];
    const LineRef l = line(row);
    return toCodePage(l.text) + renderBinaryBytes(byteSpan(l.bytes));
}

qsizetype MonitorLines::offsetOf(TextPos pos) const
{
    if (pos.row <= 0 || m_ends.empty())
        return pos.row == 0 ? pos.column : 0;
    return m_ends[size_t(std::min(pos.row, count()) - 1)] + pos.column;
}

TextPos MonitorLines::posAt(qsizetype offset) const
{
    if (m_ends.empty() || offset <= 0)
        return {};
    const auto after = std::upper_bound(m_ends.begin(), m_ends.end(), offset);
    if (after == m_ends.end())
        return end();
    const qsizetype row = after - m_ends.begin();
    return {row, offset - (row == 0 ? 0 : m_ends[size_t(row - 1)])};
}

TextPos MonitorLines::end() const
{
    return count() == 0 ? TextPos{} : TextPos{count() - 1, line(count() - 1).length()};
}

QString MonitorLines::text(TextPos from, TextPos to, QStringView lineEnd) const
{
    if (count() == 0 || !(from < to))
        return {};
    to = std::min(to, end());
    if (from.row == to.row)
        return shownText(line(from.row).mid(from.column, to.column - from.column));
    QString out = shownText(line(from.row).mid(from.column, line(from.row).length()));
    for (qsizetype row = from.row + 1; row < to.row; ++row) {
        out += lineEnd;
        out += shownText(line(row).toString());
    }
    out += lineEnd;
    out += shownText(line(to.row).mid(0, to.column));
    return out;
}

QChar shownChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u == u'\t')
        return c;
    if (u < 0x20)
        return QChar(char16_t(0x2400 + u));
    return u == 0x7F ? QChar(char16_t(0x2421)) : c;
}

QString shownText(QString text)
{
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; };
    // Most text has none: it is then returned without a copy.
    if (std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    for (QChar& c : text) {
        if (isControl(c))
            c = shownChar(c);
    }
    return text;
}
