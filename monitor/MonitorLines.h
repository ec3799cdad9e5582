#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <compare>
#include <vector>

// A place in the monitor's text: a line and a character column within it (0 to its length).
struct TextPos {
    qsizetype row = 0;
    qsizetype column = 0;
    friend auto operator<=>(const TextPos&, const TextPos&) = default;
};

// One line as stored: its text, then for a "Binary" line the received bytes, each shown as " XXh".
// The bytes are formatted only where they are looked at: a thousand lines of 4097 bytes take
// 4 MB this way, 33 MB as text.
struct LineRef {
    QStringView text;     // the whole line, or the time stamp in front of the bytes
    QByteArrayView bytes; // empty for a text line

    [[nodiscard]] qsizetype length() const { return text.size() + 4 * bytes.size(); }
    [[nodiscard]] QChar at(qsizetype column) const;
    [[nodiscard]] QString mid(qsizetype from, qsizetype count) const;
    [[nodiscard]] QString toString() const { return mid(0, length()); }
    // The column after or before the character at or before `column` (a surrogate pair is one).
    [[nodiscard]] qsizetype nextColumn(qsizetype column) const;
    [[nodiscard]] qsizetype previousColumn(qsizetype column) const;
};

// The monitor's lines and its 1000-line rule, without a widget.
class MonitorLines {
public:
    static constexpr qsizetype kLimit = 1000;

    // Empties the container first when it holds more than kLimit lines: it grows to 1001 lines,
    // and the next line empties it and becomes its first.
    void append(QString text, QByteArray bytes = {});
    // A text line in bytes of the code page, shown as decodeLine shows it and saved as these bytes.
    void appendText(QByteArrayView line);
    // A loaded file: all of its lines, the rule applies from the next append. `original` holds the
    // bytes a line was read from where its text does not encode back to them (see fileLine).
    void assign(QStringList lines, QList<QByteArray> original = {});
    void clear();

    [[nodiscard]] qsizetype count() const { return m_text.size(); }
    [[nodiscard]] LineRef line(qsizetype row) const;
    [[nodiscard]] QStringList all() const;
    // A line as a file keeps it, in bytes of the code page: the bytes it came as, received or read.
    [[nodiscard]] QByteArray fileLine(qsizetype row) const;
    // Lines removed so far by the rule, Clear and loads: line `row` is the
    // (removed() + row + 1)-th line the monitor has held.
    [[nodiscard]] qint64 removed() const { return m_removed; }

    // Offsets into the text of all lines joined by '\n', as assistive technology counts.
    [[nodiscard]] qsizetype textLength() const { return m_ends.empty() ? 0 : m_ends.back() - 1; }
    [[nodiscard]] qsizetype offsetOf(TextPos pos) const;
    [[nodiscard]] TextPos posAt(qsizetype offset) const;
    // The text from one place to another as shown (see shownText), lines joined by `lineEnd`.
    [[nodiscard]] QString text(TextPos from, TextPos to, QStringView lineEnd) const;
    [[nodiscard]] TextPos end() const;

private:
    void add(QString text, QByteArray bytes, QByteArray original);

    QStringList m_text;
    QList<QByteArray> m_bytes; // only as long as the last "Binary" line needs
    // The bytes of each text line whose text does not encode back to them, so that a save keeps
    // what came; only as long as the last such line needs.
    QList<QByteArray> m_original;
    std::vector<qsizetype> m_ends; // offset after each line and its '\n'
    qint64 m_removed = 0;
};

// Control characters as the monitor shows them: their Unicode pictures (U+2400...), except the
// tab, which moves to the next tab stop. Only a loaded file brings them.
[[nodiscard]] QChar shownChar(QChar c);
[[nodiscard]] QString shownText(QString text);
