#include "PortReconnect.h"

#include "CommSettings.h"
#include "DevicePath.h"

#include <QFileInfo>

PortReconnect::PortReconnect()
{
    m_check.setInterval(kCheckMs);
    QObject::connect(&m_check, &QTimer::timeout, [this] { check(); });
    setPortListener(this);
}

PortReconnect::~PortReconnect()
{
    if (portListener() == this)
        setPortListener(nullptr);
}

void PortReconnect::portLost()
{
    if (!autoReconnect)
        return;
    m_path = devicePathFor(commSettings.portName);
    m_check.start();
}

void PortReconnect::portClaimed()
{
    if (!m_reopening)
        stop();
}

void PortReconnect::check()
{
    // Only an existing path is tried: a failed open would show ":OFF" again over a cleared panel.
    if (!QFileInfo::exists(m_path))
        return;
    const uint8_t report = reportOpenErrors;
    reportOpenErrors = 0;
    m_reopening = true;
    // A device that is back but not yet usable (its permissions still being set) is tried again
    // at the next check.
    if (commOpen())
        stop();
    m_reopening = false;
    reportOpenErrors = report;
}
