#pragma once

#include "CommSettings.h"

#include <QByteArrayView>
#include <QStringList>

#include <array>
#include <cstdint>

// A complete module frame has arrived since the last write.
extern PortFlag answerReceived;
// A failed open is reported in a message box.
extern PortFlag reportOpenErrors;

// The bit rates the port runs at; any other setting runs at 9600.
inline constexpr std::array<int32_t, 10> kBitRates{1200,  2400,  4800,  9600,  19200,
                                                   38400, 56000, 57600, 76800, 115200};
[[nodiscard]] bool isBitRate(int32_t rate);
// The rates as decimal texts, in order.
[[nodiscard]] QStringList bitRateTexts();

struct LineSettings;
// The line settings a record stands for: bit rates outside the table run at 9600, data bits
// other than 8 are 7, parity "ODD"/"EVEN" exactly or none, stop bits other than 1 are 2.
[[nodiscard]] LineSettings lineSettingsFor(const CommSettings& settings);

// Opens the port named in commSettings, configures it and starts the receive worker.
bool commOpen();
// Stops the worker (processing events meanwhile), drops DTR and RTS and closes the port.
void commClose();
// Writes one block; on a closed port nothing is written.
void commWrite(const uint8_t* bytes, int32_t count);
inline void commWrite(QByteArrayView bytes)
{
    commWrite(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()));
}
enum class ModemLine;
// How long Break holds the transmit line in the break condition.
inline constexpr int kBreakMs = 250;
// Raises or lowers a modem line of the open port; false, and nothing changes, when none is open.
bool setModemLine(ModemLine line, bool raised);
[[nodiscard]] bool modemLineRaised(ModemLine line);
// Starts a break of kBreakMs and returns at once; false when no port is open.
bool sendBreak();
// Processes events until a frame has answered or the time-out has passed.
bool waitForAnswer(uint32_t timeoutMs);
// Processes events for the given time.
void pumpWait(uint32_t durationMs);

// Hears what becomes of the port, on the GUI thread: lost when the worker's error exit has closed
// it (the device went away or a line error ended reception), claimed whenever commOpen or commClose
// is called.
class PortListener {
public:
    virtual ~PortListener() = default;
    virtual void portLost() = 0;
    virtual void portClaimed() = 0;
};
// nullptr: nobody listens.
void setPortListener(PortListener* listener);
[[nodiscard]] PortListener* portListener();
