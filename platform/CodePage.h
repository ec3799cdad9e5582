#pragma once

#include <QByteArray>
#include <QString>

// The one code page of the program (Shift-JIS as Windows extends it): typed text sent in Text
// mode, received bytes in the monitor, text values of the settings file and monitor files.
// Decoding loses no byte: control codes stay as they are, and bytes that make no character (80,
// A0, FD-FF, a lead byte without its trail byte) become characters that encode back to them.
// Only of two pairs for one character does the other come back, the one Windows writes.
// Characters the code page lacks encode as "?".
[[nodiscard]] QByteArray toCodePage(QStringView text);
[[nodiscard]] QString fromCodePage(QByteArrayView bytes);

// The character that starts at bytes[at], as fromCodePage decodes it.
struct CodePageChar {
    char16_t unicode = 0;
    int size = 1;          // the bytes it takes: 2 for a lead and trail byte pair
    bool defined = true;   // false for a byte that makes no character; unicode is then its stand-in
    bool canonical = true; // toCodePage gives these bytes back: false for the other of two pairs
};
[[nodiscard]] CodePageChar codePageCharAt(QByteArrayView bytes, qsizetype at);
