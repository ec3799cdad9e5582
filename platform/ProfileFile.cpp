#include "ProfileFile.h"

#include "RegularFile.h"

namespace {
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF"; // of UTF-8

bool sameName(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && a.toByteArray().compare(b, Qt::CaseInsensitive) == 0;
}

bool isQuoted(const QByteArray& v)
{
    return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}
} // namespace

ProfileFile::Load ProfileFile::load(const QString& path)
{
    parse({});
    const FileContents file = readRegularFile(path, kMaxBytes);
    if (file.status == FileContents::Status::Missing)
        return Load::Missing;
    if (file.status != FileContents::Status::Read)
        return Load::Unreadable;
    parse(file.bytes);
    return Load::Read;
}

void ProfileFile::parse(QByteArrayView bytes)
{
    m_lines.clear();
    m_lineEnd = "\r\n";
    m_byteOrderMark = bytes.startsWith(kByteOrderMark);
    if (m_byteOrderMark)
        bytes = bytes.sliced(qstrlen(kByteOrderMark));
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        m_lines.push_back(bytes.sliced(start, i - start).toByteArray());
        const qsizetype endLength = bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n' ? 2 : 1;
        if (m_lines.size() == 1)
            m_lineEnd = bytes.sliced(i, endLength).toByteArray();
        i += endLength - 1;
        start = i + 1;
    }
    if (start < bytes.size())
        m_lines.push_back(bytes.sliced(start).toByteArray());
}

bool ProfileFile::isSectionHeader(const QByteArray& line, QByteArray* name)
{
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return false;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return false;
    *name = t.mid(1, close - 1).trimmed();
    return true;
}

ProfileFile::Entry ProfileFile::parseEntry(const QByteArray& line)
{
    const QByteArray t = line.trimmed();
    if (t.startsWith(';'))
        return {};
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return {};
    return {t.left(eq).trimmed(), t.mid(eq + 1).trimmed()};
}

std::optional<QByteArray> ProfileFile::value(QByteArrayView section, QByteArrayView key) const
{
    std::optional<QByteArray> v = storedValue(section, key);
    if (v && isQuoted(*v))
        return v->mid(1, v->size() - 2);
    return v;
}

std::optional<QByteArray> ProfileFile::storedValue(QByteArrayView section, QByteArrayView key) const
{
    bool inSection = false;
    for (const QByteArray& line : m_lines) {
        QByteArray name;
        if (isSectionHeader(line, &name)) {
            inSection = sameName(name, section);
            continue;
        }
        if (!inSection)
            continue;
        const Entry e = parseEntry(line);
        if (!e.key.isEmpty() && sameName(e.key, key))
            return e.value;
    }
    return std::nullopt;
}

bool ProfileFile::setValue(QByteArrayView section, QByteArrayView key, const QByteArray& value)
{
    const bool quote = isQuoted(value) || value.trimmed().size() != value.size();
    return setStoredValue(section, key, quote ? '"' + value + '"' : value);
}

bool ProfileFile::setStoredValue(QByteArrayView section, QByteArrayView key, const QByteArray& stored)
{
    if (stored.contains('\r') || stored.contains('\n'))
        return false;
    const QByteArray newLine = key.toByteArray() + '=' + stored;
    bool inSection = false;
    std::optional<size_t> lastOfSection; // the last non-blank line of the wanted section
    for (size_t i = 0; i < m_lines.size(); ++i) {
        QByteArray name;
        if (isSectionHeader(m_lines[i], &name)) {
            if (inSection)
                break;
            inSection = sameName(name, section);
            if (inSection)
                lastOfSection = i;
            continue;
        }
        if (!inSection)
            continue;
        const Entry e = parseEntry(m_lines[i]);
        if (!e.key.isEmpty() && sameName(e.key, key)) {
            m_lines[i] = newLine;
            return true;
        }
        if (!m_lines[i].trimmed().isEmpty())
            lastOfSection = i;
    }
    if (lastOfSection) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(*lastOfSection + 1), newLine);
        return true;
    }
    m_lines.push_back("[" + section.toByteArray() + "]");
    m_lines.push_back(newLine);
    return true;
}

QByteArray ProfileFile::toBytes() const
{
    QByteArray out = m_byteOrderMark ? QByteArray(kByteOrderMark) : QByteArray();
    for (const QByteArray& line : m_lines)
        out += line + m_lineEnd;
    return out;
}

bool ProfileFile::save(const QString& path) const
{
    const QByteArray bytes = toBytes();
    return bytes.size() <= kMaxBytes && replaceRegularFile(path, bytes).isEmpty();
}
