#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace modsim {

// Milliseconds on a monotonic clock. The core never reads a clock itself: callers pass the time,
// so tests drive it without sleeping.
using Millis = int64_t;
using DeviceId = std::array<uint8_t, 4>;

// 0F 5A, length of the whole frame, command, sequence, source ID, destination ID.
constexpr int kFrameHeader = 13;
// The terminal's receiver abandons a frame announcing 240 bytes or more.
constexpr int kFrameLimit = 0xF0;

namespace cmd {
constexpr uint8_t kKeyReport = 0x13;
constexpr uint8_t kRemoteRf = 0x17;
constexpr uint8_t kRfChannel = 0x20;
constexpr uint8_t kRfPower = 0x21;
constexpr uint8_t kRfParameters = 0x2A;
constexpr uint8_t kInitKindB = 0x74;
constexpr uint8_t kInit = 0x7E;
} // namespace cmd

constexpr DeviceId kDefaultMaker{0x83, 0x41, 0x00, 0x00};
constexpr DeviceId kDefaultModuleId{0x4D, 0x53, 0x00, 0x01};
constexpr DeviceId kBroadcastId{0xFF, 0xFF, 0xFF, 0xFF};

struct Frame {
    uint8_t command = 0;
    uint8_t sequence = 0;
    DeviceId src{};
    DeviceId dst{};
    QByteArray payload;
};

// The length byte counts the whole frame, header included.
[[nodiscard]] QByteArray encodeFrame(const Frame& frame);
// Exactly one whole frame, or nothing.
[[nodiscard]] std::optional<Frame> decodeFrame(QByteArrayView bytes);

// Maker code, key code, and the complement the receiver checks the key against.
[[nodiscard]] QByteArray keyReportPayload(const DeviceId& maker, uint8_t key);

// "83 41 00 00", "83410000" or the terminal's "83h 41h 00h 00h".
[[nodiscard]] std::optional<DeviceId> parseId(QStringView text);
[[nodiscard]] QString idText(const DeviceId& id);

// Splits what the terminal writes into frames. A module has no idle flush of its own to lean on,
// so it resynchronises instead: bytes outside a frame and frames with an impossible length are
// dropped, and a frame left incomplete for longer than the gap is dropped when the next bytes
// come, so that garbage never swallows the command after it.
class FrameReader {
public:
    explicit FrameReader(Millis gap = 100) : m_gap(gap) {}

    void feed(QByteArrayView bytes, Millis now, std::vector<Frame>& frames);
    // A fresh line: the terminal reopened the port.
    void reset();
    [[nodiscard]] uint64_t droppedBytes() const { return m_dropped; }

private:
    void drop(qsizetype count);

    QByteArray m_partial;
    Millis m_lastByte = 0;
    Millis m_gap = 100;
    uint64_t m_dropped = 0;
};

} // namespace modsim
