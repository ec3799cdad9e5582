#include "Records.h"

#include "FrameLog.h"
#include "FrameText.h"

#include <QDateTime>

#include <algorithm>

namespace {
const std::vector<std::string> kBlockFields = {"time",     "kind",   "bytes",       "command",
                                               "sequence", "source", "destination", "payload",
                                               "maker",    "key",    "check"};

void appendJsonString(std::string& out, const std::string& text)
{
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uint8_t(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(uint8_t(c)));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string jsonLine(const Record& record)
{
    std::string out = "{";
    for (const Field& f : record) {
        if (out.size() > 1)
            out += ',';
        appendJsonString(out, f.name);
        out += ':';
        if (f.raw)
            out += f.value;
        else
            appendJsonString(out, f.value);
    }
    out += "}\n";
    return out;
}

void appendCsvValue(std::string& out, const std::string& value)
{
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        out += value;
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

std::string csvLine(const std::vector<std::string>& values)
{
    std::string out;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i)
            out += ',';
        appendCsvValue(out, values[i]);
    }
    out += '\n';
    return out;
}

std::string hexOf(std::span<const uint8_t> bytes)
{
    std::string s;
    appendHex(s, bytes);
    return s;
}

std::string padded(std::string s, size_t width)
{
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    return s;
}
} // namespace

std::string isoTime(int64_t timeMs)
{
    return QDateTime::fromMSecsSinceEpoch(timeMs, Qt::UTC).toString(Qt::ISODateWithMs).toStdString();
}

Record blockRecord(int64_t timeMs, std::span<const uint8_t> block)
{
    const bool frame = isWholeFrame(block);
    Record r{
        {"time", isoTime(timeMs)}, {"kind", frame ? "frame" : kNotFrameKindName}, {"bytes", hexOf(block)}};
    if (!frame)
        return r;
    char command[3];
    std::snprintf(command, sizeof command, "%02X", block[kFrameCommandAt]);
    r.push_back({"command", command});
    r.push_back({"sequence", std::to_string(block[kFrameSequenceAt]), true});
    r.push_back({"source", hexOf(block.subspan(kFrameSourceAt, 4))});
    r.push_back({"destination", hexOf(block.subspan(kFrameDestinationAt, 4))});
    r.push_back({"payload", hexOf(block.subspan(kFrameHeaderSize))});
    if (const auto report = keyReportFields(block)) {
        r.push_back({"maker", hexOf(report->maker)});
        r.push_back({"key", std::to_string(report->key), true});
        r.push_back({"check", report->check ? "true" : "false", true});
    }
    return r;
}

std::string blockCsvHeader()
{
    return csvLine(kBlockFields);
}

std::string blockLine(OutputFormat format, int64_t timeMs, std::span<const uint8_t> block)
{
    const Record r = blockRecord(timeMs, block);
    switch (format) {
    case OutputFormat::Json:
        return jsonLine(r);
    case OutputFormat::Csv: {
        std::vector<std::string> values(kBlockFields.size());
        for (const Field& f : r)
            values[size_t(std::find(kBlockFields.begin(), kBlockFields.end(), f.name) -
                          kBlockFields.begin())] = f.value;
        return csvLine(values);
    }
    case OutputFormat::Text:
        break;
    }
    // time, command, sequence, source, destination: fixed widths, so that a stream of lines lines up.
    std::string out = r[0].value + "  ";
    if (r.size() == 3)
        return out + padded(kNotFrameKindName, 33) + "  " + r[2].value + '\n';
    out += r[3].value + "  " + padded(r[4].value, 3) + "  " + r[5].value + "  " + r[6].value + "  ";
    std::string decoded;
    appendDecoded(decoded, block);
    out += decoded.empty() ? r[7].value : padded(r[7].value, 17) + "  " + decoded;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out + '\n';
}

std::string tableText(OutputFormat format, const std::vector<std::string>& names,
                      const std::vector<Record>& records)
{
    std::string out;
    if (format == OutputFormat::Json) {
        for (const Record& r : records)
            out += jsonLine(r);
        return out;
    }
    std::vector<std::vector<std::string>> rows{names};
    for (const Record& r : records) {
        std::vector<std::string> values;
        for (const Field& f : r)
            values.push_back(f.raw && f.value == "null" ? std::string() : f.value);
        rows.push_back(std::move(values));
    }
    if (format == OutputFormat::Csv) {
        for (const auto& row : rows)
            out += csvLine(row);
        return out;
    }
    std::vector<size_t> widths(names.size(), 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? padded(row[c], widths[c] + 2) : row[c];
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + '\n';
    }
    return out;
}
