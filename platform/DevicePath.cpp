#include "DevicePath.h"

#include <QRegularExpression>

QString devicePathFor(const QString& portName)
{
    if (portName.startsWith(u'/'))
        return portName;
    static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]?)$"));
    if (const auto m = com.match(portName); m.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(m.captured(1).toInt() - 1);
    return QStringLiteral("/dev/") + portName;
}
