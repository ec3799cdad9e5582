#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>

// Module frame: 0F 5A, length of the whole frame, command, sequence, four source-ID bytes, four
// destination-ID bytes, payload.
constexpr int kHeaderSize = 13;
// The longest payload a user frame (or either of its ID boxes) may yield.
constexpr int kUserFrameLimit = 80;

enum Command : uint8_t {
    CmdKeyReport = 0x13,
    CmdRemoteRf = 0x17,
    CmdRfChannel = 0x20,
    CmdRfPower = 0x21,
    CmdRfParameters = 0x2A,
    CmdInitKindB = 0x74,
    CmdInit = 0x7E,
};

// The one running frame number of the program; every frame built takes it and advances it.
extern uint8_t frameSequence;
// The payload of the next module command (and the whole "To RFch" frame).
extern std::array<uint8_t, 32> commandPayload;

// The value of hexadecimal digits as the program reads "0x"-prefixed texts: one to eight digits,
// nothing else; anything else is no number.
[[nodiscard]] std::optional<uint32_t> hexValue(QStringView digits);

// The 13-byte header; an ID shorter than four bytes is filled up with FF.
[[nodiscard]] QByteArray moduleHeader(uint8_t command, int payloadLength, uint8_t sequence,
                                      const QByteArray& srcId = {}, const QByteArray& dstId = {});

// What the program writes, heard as whole blocks: a frame goes out in two writes (header, then
// payload), a Text-mode line in one. Only blocks that reached an open port are heard.
enum class SentKind : uint8_t { Frame, TextLine };
using SentListener = std::function<void(SentKind kind, QByteArrayView bytes)>;
// An empty function: nobody listens.
void setSentListener(SentListener listener);
// Writes the parts back to back, one write each, and tells the listener of them as one block.
void writeSent(SentKind kind, std::initializer_list<QByteArrayView> parts);

// Header with both IDs FF FF FF FF, then the first `length` bytes of commandPayload: two writes,
// the second even when empty.
void sendModuleCommand(uint8_t command, int length);

struct HexPairs {
    QByteArray bytes;
    QString badPair; // the "0x"-prefixed pair that is no number; empty when all converted
};
// Two-character hexadecimal pairs; spaces between pairs are skipped, a lone last character is
// ignored, and a pair that is not a number ends the conversion ("1 2" fails on "1 ").
[[nodiscard]] HexPairs parseHexPairs(QStringView text);

// The six payload bytes of a key report: the maker code fields at characters 1-2, 5-6, 9-10 and
// 13-14 (255 where not hexadecimal), the key and its complement. Nothing under 15 characters.
[[nodiscard]] std::optional<std::array<uint8_t, 6>> keyReportPayload(QStringView makerCode, int keyCode);

inline const QString kDefaultMakerCode = QStringLiteral("83h 41h 00h 00h");

// Sends a key report with the maker code of the key panel's box, filling an empty box with the
// default first. Device kind 1 sends nothing.
void sendKeyCode(int keyCode, QString& makerCodeBox, int deviceKind);

// The frame of the send line's "Binary" mode, or the message to show when a text is refused.
struct UserFrame {
    QByteArray header;
    QByteArray payload;
    QString refused;
};
[[nodiscard]] UserFrame userFrame(const QString& msgId, const QString& srcId, const QString& dstId,
                                  const QString& payload, uint8_t sequence);

// Builds and sends the frame of the send line's "Binary" mode. Returns the message to show when
// a text is refused; nothing is written then (the sequence number has been taken all the same).
[[nodiscard]] QString sendUserFrame(const QString& msgId, const QString& srcId, const QString& dstId,
                                    const QString& payload);
