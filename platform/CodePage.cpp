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
    QStringDecoder decoder(kCodePage);
    return decoder.decode(bytes);
}
