#include "FrameText.h"

#include <QDateTime>

#include <array>
#include <string>

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";

void appendByte(std::string& out, uint8_t b)
{
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
}

// Filtering formats numbers for a million frames: digits by hand, not through a format string.
void appendNumber(std::string& out, unsigned value)
{
    std::array<char, 10> digits{};
    size_t n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0)
        out += digits[--n];
}

const char* commandName(uint8_t command)
{
    switch (command) {
    case 0x13:
        return "key report";
    case 0x17:
        return "RF set-up to another device";
    case 0x20:
        return "RF channel";
    case 0x21:
        return "RF power";
    case 0x2A:
        return "RF parameter block";
    case 0x74:
    case 0x7E:
        return "initialisation";
    default:
        return nullptr;
    }
}

void appendRate(std::string& out, uint8_t code)
{
    out += "  rate ";
    switch (code) {
    case 2:
        out += "9600";
        break;
    case 7:
        out += "100k";
        break;
    case 10:
        out += "500k";
        break;
    default:
        out += "code ";
        appendNumber(out, code);
    }
}

void appendChannelPower(std::string& out, int channel, int power)
{
    if (channel >= 0) {
        out += "ch ";
        appendNumber(out, unsigned(channel));
    }
    if (power >= 0) {
        if (channel >= 0)
            out += "  ";
        out += "power ";
        appendNumber(out, unsigned(power));
    }
}

bool startsWith(std::span<const uint8_t> bytes, size_t at, std::initializer_list<uint8_t> fixed)
{
    if (bytes.size() < at + fixed.size())
        return false;
    size_t i = at;
    for (const uint8_t b : fixed) {
        if (bytes[i++] != b)
            return false;
    }
    return true;
}

// The two layouts of the RF parameter and initialisation blocks: channel and power first (kinds 0
// and 1), or power, channel and rate code first (the 920 MHz kind), told apart by their fixed bytes.
void appendSetupBlock(std::string& out, uint8_t command, std::span<const uint8_t> p)
{
    if (p.size() == 23 && startsWith(p, 3, {0x05, 0x01, 0x01, 0x04, 0x05, 0x00})) {
        appendChannelPower(out, p[1], p[0]);
        appendRate(out, p[2]);
    } else if ((p.size() == 22 || p.size() == 23) && startsWith(p, 2, {0x01, 0x08, 0x08, 0x01})) {
        appendChannelPower(out, p[0], p[1]);
    } else if (command == 0x74 && p.size() == 9 && startsWith(p, 2, {0x1E, 0x01})) {
        appendChannelPower(out, p[0], p[1]);
    }
}
} // namespace

void appendHex(std::string& out, std::span<const uint8_t> bytes)
{
    if (bytes.empty())
        return;
    // Written in place: filtering renders the payload of every frame it looks at.
    const size_t at = out.size();
    out.resize(at + bytes.size() * 3 - 1, ' ');
    char* p = out.data() + at;
    for (const uint8_t b : bytes) {
        p[0] = kDigits[b >> 4];
        p[1] = kDigits[b & 15];
        p += 3;
    }
}

void appendCommand(std::string& out, uint8_t command)
{
    appendByte(out, command);
    out += 'h';
    if (const char* name = commandName(command)) {
        out += ' ';
        out += name;
    }
}

std::optional<KeyReportFields> keyReportFields(std::span<const uint8_t> frame)
{
    if (frame.size() != kFrameHeaderSize + 6 || frame[kFrameCommandAt] != 0x13)
        return std::nullopt;
    const auto p = frame.subspan(kFrameHeaderSize);
    return KeyReportFields{p.first<4>(), p[4], uint8_t(~p[4]) == p[5]};
}

void appendDecoded(std::string& out, std::span<const uint8_t> frame)
{
    if (frame.size() < kFrameHeaderSize)
        return;
    const uint8_t command = frame[kFrameCommandAt];
    const auto p = frame.subspan(kFrameHeaderSize);
    switch (command) {
    case 0x13: {
        const auto report = keyReportFields(frame);
        if (!report)
            return;
        out += "maker ";
        appendHex(out, report->maker);
        out += "  key ";
        if (report->key == 0xCC)
            out += "Clear";
        else
            appendNumber(out, report->key);
        out += report->check ? "  complement ok" : "  complement BAD";
        return;
    }
    case 0x17:
        if (p.size() == 4 && p[0] == 0x21) {
            appendChannelPower(out, p[2], p[1]);
            appendRate(out, p[3]);
        } else if (p.size() == 8 && p[0] == 0x03) {
            appendChannelPower(out, p[1], -1);
        }
        return;
    case 0x20:
        if (p.size() == 1)
            appendChannelPower(out, p[0], -1);
        return;
    case 0x21:
        if (p.size() == 1)
            appendChannelPower(out, -1, p[0]);
        return;
    case 0x2A:
    case 0x74:
    case 0x7E:
        appendSetupBlock(out, command, p);
        return;
    default:
        return;
    }
}

void appendKindOrCommand(std::string& out, FrameKind kind, std::span<const uint8_t> bytes)
{
    switch (kind) {
    case FrameKind::Frame:
        appendCommand(out, bytes[kFrameCommandAt]);
        return;
    case FrameKind::Text:
        out += kTextKindName;
        return;
    case FrameKind::NotFrame:
        out += kNotFrameKindName;
        return;
    }
}

std::span<const uint8_t> payloadOf(FrameKind kind, std::span<const uint8_t> bytes)
{
    return kind == FrameKind::Frame ? bytes.subspan(kFrameHeaderSize) : bytes;
}

const char* frameColumnTitle(FrameColumn column)
{
    switch (column) {
    case FrameColumn::Number:
        return "No.";
    case FrameColumn::Time:
        return "Time";
    case FrameColumn::Direction:
        return "Direction";
    case FrameColumn::Command:
        return "Command";
    case FrameColumn::Sequence:
        return "Seq.";
    case FrameColumn::Source:
        return "Source ID";
    case FrameColumn::Destination:
        return "Destination ID";
    case FrameColumn::Length:
        return "Length";
    case FrameColumn::Payload:
        return "Payload";
    case FrameColumn::Decoded:
        return "Decoded";
    case FrameColumn::Count:
        break;
    }
    return "";
}

void appendCell(std::string& out, const FrameRecord& record, std::span<const uint8_t> bytes,
                FrameColumn column)
{
    const bool frame = record.kind == FrameKind::Frame;
    switch (column) {
    case FrameColumn::Number:
        out += std::to_string(record.number);
        return;
    case FrameColumn::Time:
        out += frameTimeText(record.timeMs);
        return;
    case FrameColumn::Direction:
        out += record.direction == FrameDirection::Sent ? kSentName : kReceivedName;
        return;
    case FrameColumn::Command:
        appendKindOrCommand(out, record.kind, bytes);
        return;
    case FrameColumn::Sequence:
        if (frame)
            appendByte(out, bytes[kFrameSequenceAt]);
        return;
    case FrameColumn::Source:
        if (frame)
            appendHex(out, bytes.subspan(kFrameSourceAt, 4));
        return;
    case FrameColumn::Destination:
        if (frame)
            appendHex(out, bytes.subspan(kFrameDestinationAt, 4));
        return;
    case FrameColumn::Length:
        appendNumber(out, unsigned(bytes.size()));
        return;
    case FrameColumn::Payload:
        appendHex(out, payloadOf(record.kind, bytes));
        return;
    case FrameColumn::Decoded:
        if (frame)
            appendDecoded(out, bytes);
        return;
    case FrameColumn::Count:
        return;
    }
}

std::string frameTimeText(int64_t timeMs)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(timeMs);
    return t.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")).toStdString() +
           QString::asprintf(".%04d", t.time().msec()).toStdString();
}

std::optional<int64_t> parseFrameTime(std::string_view text)
{
    // yyyy/MM/dd hh:mm:ss.0mmm
    constexpr std::string_view kShape = "dddd/dd/dd dd:dd:dd.dddd";
    if (text.size() != kShape.size())
        return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i])
            return std::nullopt;
    }
    const auto number = [&](size_t at, size_t n) {
        int v = 0;
        for (size_t i = at; i < at + n; ++i)
            v = v * 10 + (text[i] - '0');
        return v;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2), number(20, 4));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time).toMSecsSinceEpoch();
}

std::vector<FrameField> frameFields(FrameKind kind, size_t size)
{
    if (kind != FrameKind::Frame)
        return {{kind == FrameKind::Text ? kTextKindName : kNotFrameKindName, 0, size}};
    std::vector<FrameField> fields{{"start", 0, 2},    {"length", 2, 1}, {"command", 3, 1},
                                   {"sequence", 4, 1}, {"source", 5, 4}, {"destination", 9, 4}};
    if (size > kFrameHeaderSize)
        fields.push_back({"payload", kFrameHeaderSize, size - kFrameHeaderSize});
    return fields;
}
