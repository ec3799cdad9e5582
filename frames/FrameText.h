#pragma once

#include "FrameLog.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The texts of a frame's columns, as plain ASCII appended to a buffer the caller keeps, so that
// filtering a million frames allocates nothing per frame.

// "0F 5A 13"
void appendHex(std::string& out, std::span<const uint8_t> bytes);
// "13h key report" for the commands the program knows, "55h" for others.
void appendCommand(std::string& out, uint8_t command);
// What the payload of a frame carries, for the commands the program builds: a key report's maker
// code, key and complement check; the channel, power and over-the-air rate of the RF set-up and
// initialisation frames. Nothing for other frames, or for a payload laid out otherwise.
void appendDecoded(std::string& out, std::span<const uint8_t> frame);

// The fields of a key report (command 13h with a six-byte payload): the transmitter's maker code,
// the key, and whether the byte after it is the key's complement.
struct KeyReportFields {
    std::span<const uint8_t, 4> maker;
    uint8_t key = 0;
    bool check = false;
};
// Nothing for any other frame, or a key report laid out otherwise.
[[nodiscard]] std::optional<KeyReportFields> keyReportFields(std::span<const uint8_t> frame);

// The command column of any entry: the command of a frame, "text" or "not a frame".
void appendKindOrCommand(std::string& out, FrameKind kind, std::span<const uint8_t> bytes);
// The payload of a frame; all the bytes of any other entry.
[[nodiscard]] std::span<const uint8_t> payloadOf(FrameKind kind, std::span<const uint8_t> bytes);

inline constexpr const char* kTextKindName = "text";
inline constexpr const char* kNotFrameKindName = "not a frame";

// The columns of the Frames table, in order; a saved file adds the whole entry in hexadecimal.
enum class FrameColumn : int {
    Number,
    Time,
    Direction,
    Command,
    Sequence,
    Source,
    Destination,
    Length,
    Payload,
    Decoded,
    Count
};
inline constexpr int kFrameColumnCount = int(FrameColumn::Count);
[[nodiscard]] const char* frameColumnTitle(FrameColumn column);

// The text of a column other than Time; header fields stay empty for entries that are no frame.
void appendCell(std::string& out, const FrameRecord& record, std::span<const uint8_t> bytes,
                FrameColumn column);

// "2026/12/08 13:40:14.0123", the form of the monitor's time stamps, in local time.
[[nodiscard]] std::string frameTimeText(int64_t timeMs);
// The inverse; nothing for any other text.
[[nodiscard]] std::optional<int64_t> parseFrameTime(std::string_view text);

inline constexpr const char* kSentName = "sent";
inline constexpr const char* kReceivedName = "received";

// The parts of an entry's bytes, in order, for marking them: the header fields and the payload of
// a frame, or all the bytes of any other entry.
struct FrameField {
    const char* name;
    size_t start;
    size_t length;
};
[[nodiscard]] std::vector<FrameField> frameFields(FrameKind kind, size_t size);
