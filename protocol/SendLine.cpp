#include "SendLine.h"

#include "CodePage.h"
#include "ModuleFrame.h"

QByteArray SendHeaderBytes(const QString& sendHead)
{
    if (sendHead == u"SOH")
        return QByteArray(1, '\x01');
    if (sendHead == u"STX")
        return QByteArray(1, '\x02');
    return {};
}

QByteArray SendDelimiterBytes(const QString& d)
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
        return QByteArray(1, char(HexValue(QStringView(d).mid(2)).value_or(0) & 0xFF));
    return {};
}

QByteArray TextLineBytes(const QString& text, const QString& sendHead, const QString& sendDlmt)
{
    return SendHeaderBytes(sendHead) + toCodePage(text) + SendDelimiterBytes(sendDlmt);
}
