#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// A private-profile (INI) file with the semantics of the Windows profile calls: section and key
// names compare case-insensitively, values are trimmed of surrounding blanks, and writing a key
// keeps every other line as it was. Values are bytes, kept exactly as they stand in the file.
// CR LF, a lone LF and a lone CR each end a line, and a UTF-8 byte-order mark is no part of the
// first line; both are written back as the file had them.
class ProfileFile {
public:
    // Larger files are not settings files: they are refused rather than read whole, and a profile
    // that has grown beyond this is not saved.
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    enum class Load { Read, Missing, Unreadable };
    // Reads the file; anything but a regular file of at most kMaxBytes that can be read leaves
    // an empty profile.
    Load load(const QString& path);
    // The profile the bytes of a file hold.
    void parse(QByteArrayView bytes);

    // The value as the Windows profile call reads it: one pair of surrounding double or single
    // quotes is taken off.
    [[nodiscard]] std::optional<QByteArray> value(QByteArrayView section, QByteArrayView key) const;
    // The value as it stands in the file.
    [[nodiscard]] std::optional<QByteArray> storedValue(QByteArrayView section, QByteArrayView key) const;
    // Writes the value so that value() reads it back: quoted where its ends would be trimmed or
    // taken for quotes. A value with a line break cannot be written (it would end the line and
    // start another key) and is refused.
    [[nodiscard]] bool setValue(QByteArrayView section, QByteArrayView key, const QByteArray& value);
    // Writes the value as it is to stand in the file (what storedValue gave); refused as above.
    [[nodiscard]] bool setStoredValue(QByteArrayView section, QByteArrayView key, const QByteArray& stored);

    // Writes the whole profile at once (replaceRegularFile): a failed save leaves the old file
    // whole, and a link keeps pointing at the file. A profile that load would refuse is not saved.
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
    QByteArray m_lineEnd = "\r\n"; // the file's first line end
    bool m_byteOrderMark = false;
};
