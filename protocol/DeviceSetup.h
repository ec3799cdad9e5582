#pragma once

#include <QByteArray>
#include <QStringList>

#include <array>
#include <cstdint>

// Device kinds, in the order of the device list.
enum DeviceKindIndex : int { KindVinta24A = 0, KindVinta24B = 1, KindVintaC = 2 };

// The device kind chosen in the main window's device list (the key sender reads it).
extern int32_t chosenDeviceKind;

// Over-the-air bit-rate codes.
constexpr int32_t kRate9600 = 2;
constexpr int32_t kRate100k = 7;
constexpr int32_t kRate500k = 10;

// What the channel and power lists hold for a device kind, and which items to select.
struct DeviceLists {
    QStringList channels;
    QStringList powers;
    int channelIndex = -1;
    int powerIndex = -1;
    bool showRates = false;
};

// Chooses a device kind: brings rfChannel and rfPower within the kind's range and gives its
// lists. Kinds 0 and 1 start at channel 0, power 15; kind 2 keeps a stored channel within
// 24-38 (anything else becomes 33) and limits the power to 0-3.
[[nodiscard]] DeviceLists applyDeviceKind(int kind);

// The channel number a channel list item stands for. Kinds 0 and 1 number their channels from 0
// (the item "5ch" is channel 5), as their lists, their defaults and "To RFch" do; kind 2 starts
// at 24.
[[nodiscard]] int32_t channelForItem(int kind, int itemIndex);

// The RF parameter payload ("Set RFch", the port search's probe) and the initialisation payload
// for a kind, from the radio settings.
[[nodiscard]] QByteArray rfConfigPayload(int kind);
[[nodiscard]] QByteArray rfInitPayload(int kind);

// Takes the chosen channel, power and rate into the radio settings and writes the RF-settings
// frame(s); kind 1 writes two frames 100 ms apart.
void sendRfConfig(int kind, int channelIndex, int powerIndex, int32_t rateCode);
// Takes the chosen channel into the radio settings and writes the initialisation frame.
void sendRfInit(int kind, int channelIndex);
// The "To RFch" frame, addressed with the given ID in its source field, written in one block.
[[nodiscard]] QByteArray remoteChannelFrame(int kind, int channelIndex, int powerIndex, int32_t rateCode,
                                            const std::array<uint8_t, 4>& id, uint8_t sequence);
void sendRemoteChannel(int kind, int channelIndex, int powerIndex, int32_t rateCode,
                       const std::array<uint8_t, 4>& id);
