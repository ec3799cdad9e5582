#include "PortSearch.h"

#include <QCollator>
#include <QSerialPortInfo>

#include <algorithm>

namespace {
std::function<QStringList()>& source()
{
    static std::function<QStringList()> s;
    return s;
}

constexpr int kMaxCandidates = 99;

bool isUsbAdapter(const QString& name)
{
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}
} // namespace

QStringList OrderPortCandidates(QStringList names)
{
    // Numeric order, so that ttyUSB2 comes before ttyUSB10.
    QCollator collator;
    collator.setNumericMode(true);
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        if (isUsbAdapter(a) != isUsbAdapter(b))
            return isUsbAdapter(a);
        return collator.compare(a, b) < 0;
    });
    names.removeDuplicates();
    if (names.size() > kMaxCandidates)
        names.resize(kMaxCandidates);
    return names;
}

QStringList PortCandidates()
{
    if (source())
        return source()();
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    return OrderPortCandidates(names);
}

void setPortCandidateSource(std::function<QStringList()> s)
{
    source() = std::move(s);
}
