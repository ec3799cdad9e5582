#include "SendLine.h"

#include "CodePage.h"
#include "ModuleFrame.h"

QByteArray sendHeaderBytes(const QString& sendHeader)
{
    if (sendHeader == u"SOH")
        return QByteArray(1, '\x01');
    if (sendHeader == u"STX")
        return QByteArray(1, '\x02');
    return {};
}

QByteArray sendDelimiterBytes(const QString& d)
{
    if (d == u"ETX")
        return QByteArray(1, '\x03');
    if (d == u"CR")
        return QByteArray(1, '\r');
    if (d == u"LF")
        return QByteArray(1, '\n');
    if (d == u"CRLF")
        return QByteArrayLiteral("\r\n");
    if (d == u"ACK")
        return QByteArray(1, '\x06');
    if (d == u"NAK")
        return QByteArray(1, '\x15');
    if (d.startsWith(u"0x"))
        return QByteArray(1, char(hexValue(QStringView(d).mid(2)).value_or(0) & 0xFF));
    return {};
}

QByteArray textLineBytes(const QString& text, const QString& sendHeader, const QString& sendDelimiter)
{
    return sendHeaderBytes(sendHeader) + toCodePage(text) + sendDelimiterBytes(sendDelimiter);
}
