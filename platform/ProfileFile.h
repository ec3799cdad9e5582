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
    // Reads the file; a missing or unreadable file leaves an empty profile and returns false.
    bool load(const QString& path);

    [[nodiscard]] std::optional<QByteArray> value(QByteArrayView section, QByteArrayView key) const;
    void setValue(QByteArrayView section, QByteArrayView key, const QByteArray& value);

    // Writes the whole profile to a temporary file beside the target and renames it over the
    // target, so a failed save leaves the old file whole.
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
