#pragma once

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// What the system knows of a serial port, so that users can tell three alike adapters apart.
struct PortInfo {
    QString name;    // what the port box shows and the settings store: "ttyUSB0", or a path
    QString product; // the USB product description
    QString manufacturer;
    QString serialNumber;
    QString usbIds;     // vendor:product in hexadecimal, "0403:6001"
    QString stableLink; // the /dev/serial/by-id/ link that leads to the port
};

// The ports a search probes, in order, at most 99: the serial ports the system lists, USB and
// ACM adapters first, then the others by name. Names are given without "/dev/".
[[nodiscard]] QList<PortInfo> availablePorts();
// Replaces the system's list with one taken exactly as given (tests); an empty function
// restores it.
void setPortCandidateSource(std::function<QList<PortInfo>()> source);

// What a search does around each probe, besides opening the port and waiting for the answer.
struct ProbeSteps {
    std::function<void(qsizetype index)> trying; // before the candidate is opened
    std::function<void(qsizetype index)> opened; // it opened; the probe goes next
    std::function<void()> sendProbe;             // writes the probe on the open port
};
// Probes the candidates in order through the communication settings, which are restored after:
// each that opens (open failures are not reported) gets the probe and 2000 ms to answer, and the
// search waits 100 ms before the next. The index of the first that answered, or -1.
[[nodiscard]] qsizetype probePorts(const QList<PortInfo>& candidates, const ProbeSteps& steps);

// Tells when an adapter may have been plugged in or out: /dev and /dev/serial/by-id are watched
// (no polling), and a burst of changes, as udev makes a node and then its links, is one signal.
class PortWatcher : public QObject {
    Q_OBJECT
public:
    explicit PortWatcher(QObject* parent = nullptr);

signals:
    void portsChanged();

private:
    void watchFolders();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};
