#include "FrameCsv.h"

#include "FrameText.h"

#include <string>
#include <string_view>
#include <vector>

namespace {
constexpr int kCsvColumns = kFrameColumnCount + 1;
constexpr const char* kWholeFrameTitle = "Frame";

void appendField(std::string& line, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += field;
        return;
    }
    line += '"';
    for (const char c : field) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

std::string headerLine()
{
    std::string line;
    for (int c = 0; c < kFrameColumnCount; ++c) {
        appendField(line, frameColumnTitle(FrameColumn(c)));
        line += ',';
    }
    line += kWholeFrameTitle;
    return line;
}

// The fields of one line; nothing when a quote is not closed.
std::optional<std::vector<std::string>> splitFields(std::string_view line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted)
        return std::nullopt;
    return fields;
}

std::optional<std::vector<uint8_t>> hexBytes(std::string_view text)
{
    std::vector<uint8_t> bytes;
    const auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size())
            return std::nullopt;
        const int hi = nibble(text[i]);
        const int lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes.push_back(uint8_t(hi * 16 + lo));
        i += 2;
    }
    return bytes;
}

std::optional<uint64_t> entryNumber(std::string_view text)
{
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    uint64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + uint64_t(c - '0');
    }
    return n;
}

// The entry of one line, or why the line is refused.
struct LineRead {
    FrameRecord record;
    std::vector<uint8_t> bytes;
    const char* error = nullptr;
};

LineRead readLine(std::string_view line)
{
    LineRead read;
    const auto fields = splitFields(line);
    if (!fields)
        return {{}, {}, "a quoted field is not closed"};
    if (fields->size() != kCsvColumns)
        return {{}, {}, "not the columns of a Frames file"};
    const auto field = [&](FrameColumn c) -> const std::string& { return (*fields)[size_t(c)]; };
    const auto number = entryNumber(field(FrameColumn::Number));
    if (!number)
        return {{}, {}, "the number is not a number"};
    const auto time = parseFrameTime(field(FrameColumn::Time));
    if (!time)
        return {{}, {}, "the time is not of the form yyyy/MM/dd hh:mm:ss.0mmm"};
    const std::string& direction = field(FrameColumn::Direction);
    if (direction != kSentName && direction != kReceivedName)
        return {{}, {}, "the direction is neither sent nor received"};
    auto bytes = hexBytes(fields->back());
    if (!bytes)
        return {{}, {}, "the frame is not hexadecimal"};
    const std::string& command = field(FrameColumn::Command);
    FrameKind kind = FrameKind::Frame;
    if (command == kTextKindName) {
        kind = FrameKind::Text;
    } else if (command == kNotFrameKindName) {
        kind = FrameKind::NotFrame;
    } else {
        std::string expected;
        if (isWholeFrame(*bytes))
            appendCommand(expected, (*bytes)[kFrameCommandAt]);
        if (expected.empty() || expected != command)
            return {{}, {}, "the command does not match the frame"};
    }
    read.record.number = *number;
    read.record.timeMs = *time;
    read.record.direction = direction == kSentName ? FrameDirection::Sent : FrameDirection::Received;
    read.record.kind = kind;
    read.record.loaded = true;
    read.bytes = std::move(*bytes);
    return read;
}
} // namespace

QByteArray framesCsv(const FrameLog& log, const FrameIndex& rows)
{
    std::string out = headerLine() + "\r\n";
    std::string field;
    // Rows come many to a second: the date and time are formatted once per second.
    int64_t second = -1;
    std::string secondText;
    for (size_t row = 0; row < rows.size(); ++row) {
        if (!log.holds(rows.position(row)))
            continue;
        const FrameRecord& r = log.record(rows.position(row));
        const auto bytes = log.bytes(r);
        for (int c = 0; c < kFrameColumnCount; ++c) {
            field.clear();
            if (FrameColumn(c) == FrameColumn::Time) {
                const int64_t s = r.timeMs >= 0 ? r.timeMs / 1000 : (r.timeMs - 999) / 1000;
                if (s != second) {
                    second = s;
                    secondText = frameTimeText(s * 1000);
                    secondText.resize(secondText.size() - 4);
                }
                field = secondText;
                const int ms = int(r.timeMs - s * 1000);
                field += char('0');
                field += char('0' + ms / 100);
                field += char('0' + ms / 10 % 10);
                field += char('0' + ms % 10);
            } else {
                appendCell(field, r, bytes, FrameColumn(c));
            }
            appendField(out, field);
            out += ',';
        }
        field.clear();
        appendHex(field, bytes);
        appendField(out, field);
        out += "\r\n";
    }
    return QByteArray(out.data(), qsizetype(out.size()));
}

FramesCsvRead readFramesCsv(const QByteArray& text)
{
    FramesCsvRead result;
    std::string_view rest(text.constData(), size_t(text.size()));
    if (rest.starts_with("\xEF\xBB\xBF"))
        rest.remove_prefix(3);
    const std::string header = headerLine();
    FrameLog log;
    uint64_t lineNumber = 0;
    const auto refuse = [&](const QString& why) {
        result.error = QStringLiteral("line %1: %2").arg(lineNumber).arg(why);
        return std::move(result);
    };
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        ++lineNumber;
        if (lineNumber == 1) {
            if (line != header)
                return refuse(QStringLiteral("not the header of a Frames file"));
            continue;
        }
        if (line.empty() && rest.empty())
            break;
        if (log.size() >= FrameLog::kDefaultLimit)
            return refuse(
                QStringLiteral("more frames than the window keeps (%L1)").arg(FrameLog::kDefaultLimit));
        const LineRead read = readLine(line);
        if (read.error)
            return refuse(QString::fromLatin1(read.error));
        log.append(read.record, read.bytes);
    }
    if (lineNumber == 0) {
        lineNumber = 1;
        return refuse(QStringLiteral("the file is empty"));
    }
    result.log = std::move(log);
    return result;
}
