#include "CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
constexpr const char* kCodePage = "windows-31j";
}

QByteArray toCodePage(QStringView text)
{
    QStringEncoder encoder(kCodePage);
    return encoder.encode(text);
}

QString fromCodePage(QByteArrayView bytes)
{
    // The converter holds back a lead byte at the end of its input, waiting for a trail byte that
    // never comes; a line feed (never a trail byte) after the text makes it show that byte too.
    QByteArray terminated;
    terminated.reserve(bytes.size() + 1);
    terminated.append(bytes.data(), bytes.size());
    terminated.append('\n');
    QStringDecoder decoder(kCodePage);
    QString text = decoder.decode(terminated);
    text.chop(1);
    return text;
}
