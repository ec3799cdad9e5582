#include "ModuleFrame.h"

#include "CommPort.h"
#include "CommSettings.h"

uint8_t frameSequence = 0;
std::array<uint8_t, 32> commandPayload{};

namespace {
SentListener& sentListener()
{
    static SentListener listener;
    return listener;
}
} // namespace

void setSentListener(SentListener listener)
{
    sentListener() = std::move(listener);
}

void writeSent(SentKind kind, std::initializer_list<QByteArrayView> parts)
{
    for (const QByteArrayView part : parts)
        commWrite(part);
    // A closed port or a line error wrote nothing: such a block was never sent.
    if (!sentListener() || !commSettings.portOpen || commSettings.linkError)
        return;
    if (parts.size() == 1) {
        sentListener()(kind, *parts.begin());
        return;
    }
    QByteArray whole;
    for (const QByteArrayView part : parts)
        whole.append(part);
    sentListener()(kind, whole);
}

std::optional<uint32_t> hexValue(QStringView digits)
{
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    uint32_t value = 0;
    for (const QChar c : digits) {
        const char16_t u = c.unicode();
        uint32_t d = 0;
        if (u >= u'0' && u <= u'9')
            d = u - u'0';
        else if (u >= u'a' && u <= u'f')
            d = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F')
            d = u - u'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + d;
    }
    return value;
}

QByteArray moduleHeader(uint8_t command, int payloadLength, uint8_t sequence, const QByteArray& srcId,
                        const QByteArray& dstId)
{
    QByteArray h(kHeaderSize, char(0xFF));
    h[0] = char(0x0F);
    h[1] = char(0x5A);
    h[2] = char(uint8_t(kHeaderSize + payloadLength));
    h[3] = char(command);
    h[4] = char(sequence);
    for (int i = 0; i < 4; ++i) {
        if (i < srcId.size())
            h[5 + i] = srcId[i];
        if (i < dstId.size())
            h[9 + i] = dstId[i];
    }
    return h;
}

void sendModuleCommand(uint8_t command, int length)
{
    const QByteArray header = moduleHeader(command, length, frameSequence++);
    writeSent(SentKind::Frame,
              {header, QByteArrayView(reinterpret_cast<const char*>(commandPayload.data()), length)});
}

HexPairs parseHexPairs(QStringView text)
{
    HexPairs result;
    const qsizetype last = text.size() - 1;
    qsizetype p = 0;
    while (p < last) {
        if (text[p] == u' ') {
            ++p;
            continue;
        }
        const QStringView pair = text.mid(p, 2);
        const auto value = hexValue(pair);
        if (!value || pair.size() != 2) {
            result.badPair = QStringLiteral("0x") + pair.toString();
            return result;
        }
        result.bytes.append(char(*value & 0xFF));
        p += 2;
    }
    return result;
}

std::optional<std::array<uint8_t, 6>> keyReportPayload(QStringView makerCode, int keyCode)
{
    if (makerCode.size() < 15)
        return std::nullopt;
    std::array<uint8_t, 6> payload{};
    for (int i = 0; i < 4; ++i)
        payload[size_t(i)] = uint8_t(hexValue(makerCode.mid(4 * i, 2)).value_or(255) & 0xFF);
    payload[4] = uint8_t(keyCode);
    payload[5] = uint8_t(~uint8_t(keyCode));
    return payload;
}

void sendKeyCode(int keyCode, QString& makerCodeBox, int deviceKind)
{
    if (deviceKind == 1)
        return;
    if (makerCodeBox.isEmpty())
        makerCodeBox = kDefaultMakerCode;
    const auto payload = keyReportPayload(makerCodeBox, keyCode);
    if (!payload)
        return;
    std::copy(payload->begin(), payload->end(), commandPayload.begin());
    sendModuleCommand(CmdKeyReport, int(payload->size()));
}

UserFrame userFrame(const QString& msgId, const QString& srcId, const QString& dstId, const QString& payload,
                    uint8_t sequence)
{
    const uint8_t command = uint8_t(hexValue(msgId).value_or(0) & 0xFF);
    const HexPairs parts[] = {parseHexPairs(srcId), parseHexPairs(dstId), parseHexPairs(payload)};
    for (const HexPairs& part : parts) {
        if (!part.badPair.isEmpty())
            return {{}, {}, QStringLiteral("'%1' は整数ではありません").arg(part.badPair)};
    }
    for (const HexPairs& part : parts) {
        if (part.bytes.size() > kUserFrameLimit)
            return {{},
                    {},
                    QStringLiteral("%1 bytes are too many: a frame carries at most %2 bytes in each box.")
                        .arg(part.bytes.size())
                        .arg(kUserFrameLimit)};
    }
    const QByteArray& body = parts[2].bytes;
    return {moduleHeader(command, int(body.size()), sequence, parts[0].bytes, parts[1].bytes), body, {}};
}

QString sendUserFrame(const QString& msgId, const QString& srcId, const QString& dstId,
                      const QString& payload)
{
    const UserFrame frame = userFrame(msgId, srcId, dstId, payload, frameSequence++);
    if (frame.refused.isEmpty())
        writeSent(SentKind::Frame, {frame.header, frame.payload});
    return frame.refused;
}
