#pragma once

#include "CommPort.h"

#include <QString>
#include <QTimer>

// Brings the port back after it was lost, when autoReconnect is on: twice a second it looks
// whether the device path is there again and then opens it with the settings in use, without a
// message. A device path reappears when the adapter is plugged in again; after a line error it
// never went away. Whoever opens or closes the port meanwhile (Set RFch, Init, the settings dialog,
// Quit) ends the watch. While it is installed it is the port's listener.
class PortReconnect final : public PortListener {
public:
    static constexpr int kCheckMs = 500;

    PortReconnect();
    ~PortReconnect() override;
    PortReconnect(const PortReconnect&) = delete;
    PortReconnect& operator=(const PortReconnect&) = delete;

    [[nodiscard]] bool watching() const { return m_check.isActive(); }
    void stop() { m_check.stop(); }

    void portLost() override;
    void portClaimed() override;

private:
    void check();

    QTimer m_check;
    QString m_path;           // the device path of the port that was lost
    bool m_reopening = false; // the open is our own: it does not end the watch
};
