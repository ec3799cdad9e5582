#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

// The fields of a key line, the monitor's hexadecimal rendering of a key report: frame byte k
// fills characters 4k+1 to 4k+4 (counted from 1) as a space, two hexadecimal digits and "h".
// A line too short for a field gives a shorter or empty field, never a read past its end.
struct KeyLine {
    QString payload;   // characters 54-76: the six payload bytes
    QString makerCode; // the first 15 characters of the payload
    int keyCode = 0;   // characters 70-71 read as hexadecimal; 0 when they are no number
    int checkByte = 0; // characters 74-75, likewise
};

[[nodiscard]] KeyLine decodeKeyLine(QStringView line);

enum class KeyAction {
    Clear,       // 0xCC: all lamps off
    ColourReset, // 0xFF: the key area goes back to its normal colour
    ErrorKey,    // above the key count of the chosen type
    Toggle,      // a key of the type whose check byte is its complement
    None,
};

constexpr int kClearCode = 0xCC;
constexpr int kColourResetCode = 0xFF;

[[nodiscard]] KeyAction classifyKey(int keyCode, int checkByte, int keyCount);

// Transmitters repeat their frame while a key is held: the same payload within 500 ms of the
// last line is one press. The time moves on with every line, so a held key acts once however
// long it is held.
class RepeatFilter {
public:
    static constexpr uint32_t kRepeatMs = 500;

    // False for a repeat (whose time is taken as the last time); otherwise remembers the payload
    // and returns true.
    [[nodiscard]] bool admit(const QString& payload, uint32_t now);
    // Every line, acted on or not, ends here.
    void stamp(uint32_t now) { m_lastTime = now; }

private:
    QString m_lastPayload;
    uint32_t m_lastTime = 0;
};
