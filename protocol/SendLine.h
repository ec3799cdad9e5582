#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The delimiter names of the send line's list, by position.
inline const QStringList kDelimiterNames = {
    QStringLiteral("無し"), QStringLiteral("ETX"), QStringLiteral("CR"), QStringLiteral("LF"),
    QStringLiteral("CRLF"), QStringLiteral("ACK"), QStringLiteral("NAK")};

// Bytes put before a line sent as text: "SOH" 01, "STX" 02, anything else none.
[[nodiscard]] QByteArray sendHeaderBytes(const QString& sendHeader);

// Bytes put after a line sent as text, by name; a text starting "0x" is one byte, the low eight
// bits of its hexadecimal value (00 when it is no number); anything else adds nothing.
[[nodiscard]] QByteArray sendDelimiterBytes(const QString& sendDelimiter);

// Header, the text in the code page exactly as typed, delimiter: one block.
[[nodiscard]] QByteArray textLineBytes(const QString& text, const QString& sendHeader,
                                       const QString& sendDelimiter);
