#include "KeyDecode.h"

#include "ModuleFrame.h"

namespace {
// Characters `first` to `first + count - 1`, counted from 1, as far as the line reaches.
QStringView chars(QStringView line, qsizetype first, qsizetype count)
{
    const qsizetype from = first - 1;
    if (from >= line.size())
        return {};
    return line.mid(from, std::min(count, line.size() - from));
}

int hexField(QStringView digits)
{
    return int(hexValue(digits).value_or(0));
}
} // namespace

KeyLine decodeKeyLine(QStringView line)
{
    KeyLine key;
    key.payload = chars(line, 54, 23).toString();
    key.makerCode = key.payload.left(15);
    key.keyCode = hexField(chars(line, 70, 2));
    key.checkByte = hexField(chars(line, 74, 2));
    return key;
}

KeyAction classifyKey(int keyCode, int checkByte, int keyCount)
{
    if (keyCode == kClearCode)
        return KeyAction::Clear;
    if (keyCode == kColourResetCode)
        return KeyAction::ColourReset;
    if (keyCode > keyCount)
        return KeyAction::ErrorKey;
    if (keyCode >= 1 && keyCode == (~checkByte & 0xFF))
        return KeyAction::Toggle;
    return KeyAction::None;
}

bool RepeatFilter::admit(const QString& payload, uint32_t now)
{
    if (payload == m_lastPayload && uint32_t(now - m_lastTime) < kRepeatMs) {
        m_lastTime = now;
        return false;
    }
    m_lastPayload = payload;
    return true;
}
