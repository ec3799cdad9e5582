#include "DeviceSetup.h"

#include "CommPort.h"
#include "CommSettings.h"
#include "ModuleFrame.h"

#include <algorithm>

int32_t chosenDeviceKind = KindVintaC;

namespace {
QStringList numbered(int first, int last, const char* unit)
{
    QStringList items;
    for (int i = first; i <= last; ++i)
        items << QString::number(i) + QLatin1String(unit);
    return items;
}

QByteArray bytes(std::initializer_list<uint8_t> list)
{
    QByteArray b;
    for (const uint8_t v : list)
        b.append(char(v));
    return b;
}

// Kind 2 has the powers 0-3. An edited settings file may hold any number; a negative one would
// go out as FF.
int32_t powerOfKindC(int32_t power)
{
    return std::clamp(power, 0, 3);
}

// The kind-2 block of the RF parameters and of the initialisation.
QByteArray blockC()
{
    return bytes({uint8_t(powerOfKindC(rfPower)), uint8_t(rfChannel), uint8_t(rfRateCode)}) +
           QByteArray::fromHex("05 01 01 04 05 00 FF FF FF FF FF FF FF FF FF FF 00 00 00 00");
}

QByteArray channelAndPower()
{
    return bytes({uint8_t(rfChannel), uint8_t(rfPower)});
}

void sendPayload(uint8_t command, const QByteArray& payload)
{
    std::copy(payload.begin(), payload.end(), commandPayload.begin());
    sendModuleCommand(command, int(payload.size()));
}
} // namespace

DeviceLists applyDeviceKind(int kind)
{
    DeviceLists lists;
    if (kind == KindVinta24A || kind == KindVinta24B) {
        rfChannel = 0;
        rfPower = 15;
        lists.channels = numbered(0, 15, "ch");
        lists.powers = numbered(0, 15, "pw");
        lists.channelIndex = rfChannel;
        lists.powerIndex = rfPower;
    } else if (kind == KindVintaC) {
        if (rfChannel < 24 || rfChannel > 38)
            rfChannel = 33;
        rfPower = powerOfKindC(rfPower);
        lists.channels = numbered(24, 38, "ch");
        lists.powers = numbered(0, 3, "pw");
        lists.channelIndex = rfChannel - 24;
        lists.powerIndex = rfPower;
        lists.showRates = true;
    }
    return lists;
}

int32_t channelForItem(int kind, int itemIndex)
{
    return kind == KindVintaC ? itemIndex + 24 : itemIndex;
}

QByteArray rfConfigPayload(int kind)
{
    switch (kind) {
    case KindVinta24A:
        return channelAndPower() +
               QByteArray::fromHex("01 08 08 01 04 0A 05 03 05 FF FF 00 00 00 01 51 00 00 83 41");
    case KindVintaC:
        return blockC();
    default:
        return {};
    }
}

QByteArray rfInitPayload(int kind)
{
    switch (kind) {
    case KindVinta24A:
        return channelAndPower() +
               QByteArray::fromHex("01 08 08 01 04 0A 05 03 05 00 FF FF 00 00 00 01 51 00 00 00 00");
    case KindVinta24B:
        return channelAndPower() + QByteArray::fromHex("1E 01 00 04 00 0A 1E");
    case KindVintaC:
        return blockC();
    default:
        return {};
    }
}

void sendRfConfig(int kind, int channelIndex, int powerIndex, int32_t rateCode)
{
    rfChannel = channelForItem(kind, channelIndex);
    rfPower = powerIndex;
    rfRateCode = rateCode;
    switch (kind) {
    case KindVinta24A:
        sendPayload(CmdRfParameters, rfConfigPayload(kind));
        break;
    case KindVinta24B:
        sendPayload(CmdRfChannel, bytes({uint8_t(rfChannel)}));
        pumpWait(100);
        sendPayload(CmdRfPower, bytes({uint8_t(rfPower)}));
        break;
    case KindVintaC:
        sendPayload(CmdRfParameters, rfConfigPayload(kind));
        break;
    default:
        break;
    }
}

void sendRfInit(int kind, int channelIndex)
{
    rfChannel = channelForItem(kind, channelIndex);
    switch (kind) {
    case KindVinta24A:
        sendPayload(CmdInit, rfInitPayload(kind));
        break;
    case KindVinta24B:
        sendPayload(CmdInitKindB, rfInitPayload(kind));
        break;
    case KindVintaC:
        sendPayload(CmdInit, rfInitPayload(kind));
        break;
    default:
        break;
    }
}

QByteArray remoteChannelFrame(int kind, int channelIndex, int powerIndex, int32_t rateCode,
                              const std::array<uint8_t, 4>& id, uint8_t sequence)
{
    uint8_t command = 0;
    QByteArray payload;
    switch (kind) {
    case KindVinta24A:
        command = CmdRemoteRf;
        payload = bytes({0x03, uint8_t(channelIndex), 0x0F, 0x00, 0x00, 0x00, 0x00, 0x00});
        break;
    case KindVinta24B:
        command = CmdRfChannel;
        payload = bytes({uint8_t(channelIndex)});
        break;
    case KindVintaC:
        command = CmdRemoteRf;
        payload = bytes({0x21, uint8_t(powerIndex), uint8_t(channelIndex + 24), uint8_t(rateCode)});
        break;
    default:
        return {};
    }
    const QByteArray src(reinterpret_cast<const char*>(id.data()), 4);
    return moduleHeader(command, int(payload.size()), sequence, src) + payload;
}

void sendRemoteChannel(int kind, int channelIndex, int powerIndex, int32_t rateCode,
                       const std::array<uint8_t, 4>& id)
{
    if (kind < KindVinta24A || kind > KindVintaC)
        return;
    writeSent(SentKind::Frame,
              {remoteChannelFrame(kind, channelIndex, powerIndex, rateCode, id, frameSequence++)});
}
