#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

// A port-state byte (0 or 1) written by one thread and polled by the other. It copies like a
// plain byte, because the flags travel inside the settings record when a copy of it is kept.
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

// The one communication settings record. The settings file keeps its members under keys of its
// own (PortName, ByteSize, Parity__, RecvTout ...; see SettingsFile.cpp). The last three members
// are the port-state flags.
struct CommSettings {
    QString portName = QStringLiteral("COM1");
    int32_t baudRate = 38400;
    int32_t dataBits = 8;
    int32_t stopBits = 1;
    QString parity = QStringLiteral("NONE");
    QString sendHeader = QStringLiteral("無し");
    QString sendDelimiter = QStringLiteral("無し");
    QString receiveHeader = QStringLiteral("無し");
    QString receiveDelimiter = QStringLiteral("無し");
    int32_t receiveTimeoutMs = 100;
    PortFlag linkError;
    PortFlag portOpen;
    PortFlag workerRunning;
};

extern CommSettings commSettings;

// The radio settings of the module, stored beside the communication settings.
extern int32_t rfChannel;
extern int32_t rfPower;
extern int32_t rfRateCode;

// Reopen the port when the device comes back after it went away or a line error ended reception.
extern bool autoReconnect;
