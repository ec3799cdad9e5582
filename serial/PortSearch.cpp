#include "PortSearch.h"

#include "CommPort.h"
#include "CommSettings.h"
#include "FrameAssembler.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace {
std::function<QList<PortInfo>()>& source()
{
    static std::function<QList<PortInfo>()> s;
    return s;
}

constexpr int kMaxCandidates = 99;
const QString kStableLinkFolder = QStringLiteral("/dev/serial/by-id");

bool isUsbAdapter(const QString& name)
{
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

QList<PortInfo> inProbeOrder(QList<PortInfo> ports)
{
    // Numeric order, so that ttyUSB2 comes before ttyUSB10.
    QCollator collator;
    collator.setNumericMode(true);
    std::stable_sort(ports.begin(), ports.end(), [&](const PortInfo& a, const PortInfo& b) {
        if (isUsbAdapter(a.name) != isUsbAdapter(b.name))
            return isUsbAdapter(a.name);
        return collator.compare(a.name, b.name) < 0;
    });
    ports.erase(std::unique(ports.begin(), ports.end(),
                            [](const PortInfo& a, const PortInfo& b) { return a.name == b.name; }),
                ports.end());
    if (ports.size() > kMaxCandidates)
        ports.resize(kMaxCandidates);
    return ports;
}

// The links in a folder such as /dev/serial/by-id, by the canonical path of the device each leads
// to; the first by name where several lead to one device.
QHash<QString, QString> stableLinks(const QString& folder)
{
    QHash<QString, QString> links;
    const QDir dir(folder);
    for (const QString& entry :
         dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString link = dir.filePath(entry);
        const QString device = QFileInfo(link).canonicalFilePath();
        if (!device.isEmpty() && !links.contains(device))
            links.insert(device, link);
    }
    return links;
}
} // namespace

QList<PortInfo> availablePorts()
{
    if (source())
        return source()();
    const QHash<QString, QString> links = stableLinks(kStableLinkFolder);
    QList<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortInfo port;
        port.name = info.portName();
        port.product = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            port.usbIds = QStringLiteral("%1:%2")
                              .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                              .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        port.stableLink = links.value(QFileInfo(info.systemLocation()).canonicalFilePath());
        ports << port;
    }
    return inProbeOrder(ports);
}

qsizetype probePorts(const QList<PortInfo>& candidates, const ProbeSteps& steps)
{
    receivedFrame.state = 0;
    answerReceived = 0;
    const CommSettings kept = commSettings;
    reportOpenErrors = 0;
    qsizetype found = -1;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (steps.trying)
            steps.trying(i);
        commSettings.portName = candidates[i].name;
        if (commOpen()) {
            if (steps.opened)
                steps.opened(i);
            if (steps.sendProbe)
                steps.sendProbe();
            waitForAnswer(2000);
            commClose();
            if (answerReceived) {
                found = i;
                break;
            }
        }
        waitForAnswer(100);
    }
    commSettings = kept;
    reportOpenErrors = 1;
    return found;
}

void setPortCandidateSource(std::function<QList<PortInfo>()> s)
{
    source() = std::move(s);
}

PortWatcher::PortWatcher(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(300);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        watchFolders();
        m_settle.start();
    });
    connect(&m_settle, &QTimer::timeout, this, &PortWatcher::portsChanged);
    watchFolders();
}

void PortWatcher::watchFolders()
{
    // /dev/serial and its by-id folder come and go with the first and last USB adapter.
    for (const QString& folder : {QStringLiteral("/dev"), QStringLiteral("/dev/serial"), kStableLinkFolder}) {
        if (!m_watcher.directories().contains(folder) && QFileInfo(folder).isDir())
            m_watcher.addPath(folder);
    }
}
