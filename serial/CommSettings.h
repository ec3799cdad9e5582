#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

// A port-state byte (0 or 1) written by one thread and polled by the other. It copies like a
// plain byte, because the flags travel inside CommSettings when a copy of it is kept.
class PortFlag {
public:
    constexpr PortFlag(uint8_t v = 0) : m_v(v) {}
    PortFlag(const PortFlag& other) : m_v(other.m_v.load()) {}
    PortFlag& operator=(const PortFlag& other)
    {
        m_v.store(other.m_v.load());
        return *this;
    }
    PortFlag& operator=(uint8_t v)
    {
        m_v.store(v);
        return *this;
    }
    operator uint8_t() const { return m_v.load(); }

private:
    std::atomic<uint8_t> m_v;
};

// The one communication settings record. The last three members are the port-state flags.
struct TCommSettings {
    QString PortName = QStringLiteral("COM1");
    int32_t BaudRate = 38400;
    int32_t ByteSize = 8;
    int32_t StopBits = 1;
    QString Parity__ = QStringLiteral("NONE");
    QString SendHead = QStringLiteral("無し");
    QString SendDlmt = QStringLiteral("無し");
    QString RecvHead = QStringLiteral("無し");
    QString RecvDlmt = QStringLiteral("無し");
    int32_t RecvTout = 100;
    PortFlag ErrorFlag;
    PortFlag OpenFlag;
    PortFlag RunningFlag;
};

extern TCommSettings CommSettings;

// The radio settings of the module, stored beside the communication settings.
extern int32_t RFChannel;
extern int32_t RFPower;
extern int32_t RFRateCode;

// Reopen the port when the device comes back after it went away or a line error ended reception.
extern bool AutoReconnect;
