#pragma once

#include "CtlRequest.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One field of a printed record. A raw value (a number, true, false, null) goes into JSON as it
// is; any other is a JSON string.
struct Field {
    std::string name;
    std::string value;
    bool raw = false;
};
using Record = std::vector<Field>;

// "2026-12-08T13:40:14.012Z": ISO 8601 in UTC, so that records from machines in other time
// zones sort together.
[[nodiscard]] std::string isoTime(int64_t timeMs);

// The fields of a received block: time, kind, bytes; for a frame its header fields and payload;
// for a key report its maker code, key and complement check.
[[nodiscard]] Record blockRecord(int64_t timeMs, std::span<const uint8_t> block);

// A received block as one line, ending in a newline. CSV lines follow blockCsvHeader().
[[nodiscard]] std::string blockLine(OutputFormat format, int64_t timeMs, std::span<const uint8_t> block);
[[nodiscard]] std::string blockCsvHeader();

// Records of one kind (ports, statistics rows) as text: aligned columns under a title row, a
// JSON object a line, or CSV under a header row; columns are the first record's fields, or
// `names` when there is none.
[[nodiscard]] std::string tableText(OutputFormat format, const std::vector<std::string>& names,
                                    const std::vector<Record>& records);
