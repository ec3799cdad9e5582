#pragma once

#include <bitset>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

enum class FrameDirection : uint8_t { Sent, Received };
// A module frame, a text line the program sent, or a received block that is no whole frame
// (text, a cut frame, an overflow).
enum class FrameKind : uint8_t { Frame, Text, NotFrame };

// One entry of the log. Its bytes live in the log's byte store, so an entry costs the same
// whatever it shows.
struct FrameRecord {
    int64_t timeMs = 0;  // milliseconds since the epoch, the clock of the monitor's time stamps
    uint64_t number = 0; // 1 for the first frame since start-up (or as read from a file)
    uint64_t offset = 0; // of its first byte in the byte store, counted since the store began
    uint32_t length = 0;
    FrameDirection direction = FrameDirection::Received;
    FrameKind kind = FrameKind::Frame;
    bool loaded = false; // read from a file rather than sent or received here
};

// Header fields of a module frame: 0F 5A, length of the whole frame, command, sequence, source
// ID, destination ID, then the payload.
constexpr int kFrameHeaderSize = 13;
constexpr int kFrameCommandAt = 3;
constexpr int kFrameSequenceAt = 4;
constexpr int kFrameSourceAt = 5;
constexpr int kFrameDestinationAt = 9;

// A block is a frame when it is exactly one whole frame: the start bytes and a length byte that
// counts the block.
[[nodiscard]] bool isWholeFrame(std::span<const uint8_t> block);

// Every frame sent and received, oldest first, up to a limit past which the oldest drop out.
// Entries are numbered for good: an index kept elsewhere stays valid while older entries drop.
class FrameLog {
public:
    static constexpr uint64_t kDefaultLimit = 1'000'000;

    explicit FrameLog(uint64_t limit = kDefaultLimit) : m_limit(limit) {}

    // Records a block; the kind of a received one follows from its bytes.
    void recordReceived(std::span<const uint8_t> block, int64_t timeMs);
    void recordSentFrame(std::span<const uint8_t> frame, int64_t timeMs);
    void recordSentText(std::span<const uint8_t> line, int64_t timeMs);
    // Adds a record as it stands (a line of a saved file), numbered as given.
    void append(FrameRecord record, std::span<const uint8_t> bytes);
    // Empties the log; numbering goes on where it was.
    void clear();
    // Empties the log and takes the entries of another (a file read), which is left empty.
    void replaceWith(FrameLog&& other);

    // Positions count every entry ever added: the oldest kept is at firstPosition(), the newest at
    // endPosition() - 1.
    [[nodiscard]] uint64_t firstPosition() const { return m_dropped; }
    [[nodiscard]] uint64_t endPosition() const { return m_dropped + m_records.size(); }
    [[nodiscard]] uint64_t size() const { return m_records.size(); }
    [[nodiscard]] bool holds(uint64_t position) const
    {
        return position >= firstPosition() && position < endPosition();
    }
    // Only for positions the log holds.
    [[nodiscard]] const FrameRecord& record(uint64_t position) const
    {
        return m_records[position - m_dropped];
    }
    [[nodiscard]] std::span<const uint8_t> bytes(const FrameRecord& record) const
    {
        return {m_bytes.data() + (record.offset - m_bytesDropped), record.length};
    }
    // How many entries have dropped out past the limit since the last clear().
    [[nodiscard]] uint64_t droppedOut() const { return m_droppedOut; }
    // The commands of the frames held so far (not forgotten when they drop out).
    [[nodiscard]] const std::bitset<256>& commandsSeen() const { return m_commandsSeen; }
    [[nodiscard]] bool kindSeen(FrameKind kind) const { return m_kindsSeen[size_t(kind)]; }
    // The bytes held for the entries, for a measure of memory.
    [[nodiscard]] size_t byteCapacity() const { return m_bytes.capacity(); }

private:
    void add(FrameDirection direction, FrameKind kind, std::span<const uint8_t> bytes, int64_t timeMs,
             uint64_t number, bool loaded);
    void dropOldest();

    uint64_t m_limit;
    std::deque<FrameRecord> m_records;
    // Bytes of every entry back to back; the space of dropped entries is given back in large
    // steps, so that dropping one entry never moves the others.
    std::vector<uint8_t> m_bytes;
    uint64_t m_bytesDropped = 0; // bytes given back from the front of m_bytes
    uint64_t m_dropped = 0;
    uint64_t m_droppedOut = 0;
    uint64_t m_nextNumber = 1;
    std::bitset<256> m_commandsSeen;
    std::bitset<3> m_kindsSeen;
};
