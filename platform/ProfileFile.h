#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// A private-profile (INI) file with the semantics of the Windows profile calls: section and key
// names compare case-insensitively, values are trimmed of surrounding blanks, and writing a key
// keeps every other line as it was. Values are bytes, kept exactly as they stand in the file.
class ProfileFile {
public:
    // Larger files are not settings files: they are refused rather than read whole.
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    enum class Load { Read, Missing, Unreadable };
    // Reads the file; anything but a regular file of at most kMaxBytes that can be read leaves
    // an empty profile.
    Load load(const QString& path);

    // The value as the Windows profile call reads it: one pair of surrounding double quotes is
    // taken off.
    [[nodiscard]] std::optional<QByteArray> value(QByteArrayView section, QByteArrayView key) const;
    // The value as it stands in the file.
    [[nodiscard]] std::optional<QByteArray> storedValue(QByteArrayView section, QByteArrayView key) const;
    void setValue(QByteArrayView section, QByteArrayView key, const QByteArray& value);

    // Writes the whole profile at once (replaceRegularFile): a failed save leaves the old file
    // whole, and a link keeps pointing at the file.
    [[nodiscard]] bool save(const QString& path) const;

    [[nodiscard]] QByteArray toBytes() const;

private:
    struct Entry {
        QByteArray key;   // trimmed key, empty for a line that holds no key
        QByteArray value; // trimmed value
    };
    [[nodiscard]] static bool isSectionHeader(const QByteArray& line, QByteArray* name);
    [[nodiscard]] static Entry parseEntry(const QByteArray& line);

    std::vector<QByteArray> m_lines;
};
