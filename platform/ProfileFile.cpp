#include "ProfileFile.h"

#include "RegularFile.h"

#include <QList>

namespace {
bool sameName(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && a.toByteArray().compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

ProfileFile::Load ProfileFile::load(const QString& path)
{
    m_lines.clear();
    const FileContents file = readRegularFile(path, kMaxBytes);
    if (file.status == FileContents::Status::Missing)
        return Load::Missing;
    if (file.status != FileContents::Status::Read)
        return Load::Unreadable;
    for (QByteArray line : file.bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        m_lines.push_back(line);
    }
    // A file that ends with a line break yields one empty piece after it, which is no line.
    if (!m_lines.empty() && m_lines.back().isEmpty())
        m_lines.pop_back();
    return Load::Read;
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
    if (v && v->size() >= 2 && v->startsWith('"') && v->endsWith('"'))
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

void ProfileFile::setValue(QByteArrayView section, QByteArrayView key, const QByteArray& value)
{
    const QByteArray newLine = key.toByteArray() + '=' + value;
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
            return;
        }
        if (!m_lines[i].trimmed().isEmpty())
            lastOfSection = i;
    }
    if (lastOfSection) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(*lastOfSection + 1), newLine);
        return;
    }
    m_lines.push_back("[" + section.toByteArray() + "]");
    m_lines.push_back(newLine);
}

QByteArray ProfileFile::toBytes() const
{
    QByteArray out;
    for (const QByteArray& line : m_lines)
        out += line + "\r\n";
    return out;
}

bool ProfileFile::save(const QString& path) const
{
    return replaceRegularFile(path, toBytes()).isEmpty();
}
