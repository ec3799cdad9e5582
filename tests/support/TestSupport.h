#pragma once

#include "CommView.h"
#include "PortSearch.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// A pseudo-terminal pair standing in for the cable: the test holds the master side and plays the
// module; the program opens the slave by its path.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    [[nodiscard]] QString slavePath() const { return m_slavePath; }
    [[nodiscard]] int masterFd() const { return m_master; }
    void write(const QByteArray& bytes);
    // Collects what the program writes, processing events meanwhile, until `count` bytes have
    // come or the time is up.
    [[nodiscard]] QByteArray read(int count, int timeoutMs = 2000);
    // Everything that arrives within the given time.
    [[nodiscard]] QByteArray readFor(int ms);
    // As a pulled cable does.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

// Replaces the millisecond tick for the lifetime of the object.
class FakeTick {
public:
    explicit FakeTick(uint32_t start = 1000);
    ~FakeTick();
    void advance(uint32_t ms) { now += ms; }
    uint32_t now;
};

// Records what the serial link shows.
class RecordingView : public CommView {
public:
    RecordingView();
    ~RecordingView() override;
    void setPortStatus(const QString& text) override { portStatus = text, portStatuses << text; }
    void setSettingsStatus(const QString& text) override { settingsStatus = text; }
    void displayReceivedBlock(std::span<const uint8_t> block) override;
    void showSourceId() override { ++srcShown; }
    void showDestinationId() override { ++dstShown; }
    struct Message {
        LinkMessage kind;
        QString text;
        QString caption;
    };
    void reportMessage(LinkMessage kind, const QString& text, const QString& caption) override
    {
        messages.append({kind, text, caption});
    }

    QString portStatus;
    QStringList portStatuses;
    QString settingsStatus;
    std::vector<QByteArray> blocks;
    int srcShown = 0;
    int dstShown = 0;
    QList<Message> messages;
};

// Closes the port and puts every program-wide value back to its start.
void resetLink();

// Writes a settings file at `path` that names `port`, and has the program use it.
void useSettingsNamingPort(const QString& path, const QString& port);

// Waits, processing events, until the condition holds or the time is up.
[[nodiscard]] bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 3000);

[[nodiscard]] QByteArray hex(const char* text);
// A key report as the module forwards it: the module's ID as source, transmitter `id` as
// destination, the transmitter's sequence number, maker code 83 41 00 00, the key and its complement.
[[nodiscard]] QByteArray transmitterReport(uint32_t id, uint8_t sequence, uint8_t key = 1);
// The bytes as a received block.
[[nodiscard]] std::span<const uint8_t> asBlock(const QByteArray& bytes);

// Ports the system would list, known by their names only.
[[nodiscard]] QList<PortInfo> portsNamed(const QStringList& names);
