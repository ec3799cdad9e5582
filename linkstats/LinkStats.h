#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

// A row's reports, and the reports found lost, per second over the last five minutes, in a ring of
// one-second buckets (1200 bytes a row, so a full table of transmitters stays near a megabyte).
// Adding is O(1); the rate of the last ten seconds reads eleven buckets, the oldest counting for
// the part of its second still inside those ten, so a steady stream reads steady instead of
// dipping at each new second.
class RateHistory {
public:
    static constexpr int kSeconds = 300;
    static constexpr int64_t kRateWindowMs = 10'000;
    struct Second {
        uint16_t reports = 0; // both stop at their largest value rather than wrap
        uint16_t lost = 0;
        bool operator==(const Second&) const = default;
    };
    using Seconds = std::array<Second, kSeconds>;

    // One report heard at nowMs, found after `lost` missing ones.
    void add(int64_t nowMs, uint64_t lost = 0);
    [[nodiscard]] double perSecond(int64_t nowMs) const;
    // The kSeconds whole seconds up to and including the one nowMs falls in, oldest first.
    [[nodiscard]] Seconds seconds(int64_t nowMs) const;

private:
    // Empty for a second that is not kept, or that passed without a report.
    [[nodiscard]] Second at(int64_t second) const;

    Seconds m_ring{};
    int64_t m_lastSecond = -1;
};

// One row of the statistics: a transmitter (named by the destination-ID field of its key
// reports), or the summary of all frames of one other command byte, or of the blocks that are
// no frame at all.
struct LinkRow {
    enum class Kind : uint8_t { Transmitter, Command, NotAFrame };
    using DeviceId = std::array<uint8_t, 4>;

    Kind kind = Kind::Transmitter;
    DeviceId id{};       // a transmitter's
    uint8_t command = 0; // a command row's
    uint64_t frames = 0;
    uint64_t bytes = 0;
    uint64_t lost = 0; // the sum of the sequence gaps
    uint64_t duplicates = 0;
    uint64_t restarts = 0;
    int lastSequence = -1; // -1: none yet
    int lastKey = -1;      // -1: no report long enough to carry one yet
    int64_t lastHeardMs = 0;
    RateHistory rate{};

    // The share of the transmitter's transmissions that never arrived: lost / (received once + lost).
    [[nodiscard]] double lossPercent() const;
};

// Per-transmitter link statistics from received blocks. A key report is a frame (a block that
// starts 0F 5A) whose fourth byte is 0x13; it names its transmitter by bytes 9-12, carries the
// transmitter's running sequence number in byte 4 and the key in byte 17. Other frames are summed
// per command byte, and every block that is no frame in one row.
// Counting a block costs a hash lookup and a few increments: it runs for every block received.
class LinkStats {
public:
    static constexpr size_t kMaxTransmitters = 1000;
    // A forward step larger than this is the transmitter starting again from a reset.
    static constexpr int kRestartDistance = 128;
    static constexpr uint8_t kKeyReport = 0x13;
    static constexpr size_t kCommandAt = 3;
    static constexpr size_t kSequenceAt = 4;
    static constexpr size_t kDeviceIdAt = 9;
    static constexpr size_t kKeyAt = 17;

    void count(std::span<const uint8_t> block, uint32_t tick);
    // Moves the clock on without a block, so the time since a row was last heard grows.
    void advance(uint32_t tick);
    void clear();

    // Rows keep their index until clear(): a new transmitter that pushes out the least recently
    // heard one takes over its row.
    [[nodiscard]] const std::vector<LinkRow>& rows() const { return m_rows; }
    // Milliseconds on the statistics' own clock, which does not wrap with the tick.
    [[nodiscard]] int64_t nowMs() const { return m_nowMs; }
    [[nodiscard]] size_t transmitterCount() const { return m_byId.size(); }

private:
    void countKeyReport(std::span<const uint8_t> block);
    LinkRow& summaryRow(LinkRow::Kind kind, uint8_t command);
    LinkRow& transmitterRow(const LinkRow::DeviceId& id);
    void unlink(int row);
    void pushFront(int row);
    static void heard(LinkRow& row, size_t bytes, int64_t nowMs, uint64_t lost = 0);

    std::vector<LinkRow> m_rows;
    std::unordered_map<uint32_t, int> m_byId;
    // Summary rows by command byte; the last one is for blocks that are no frame. -1: none yet.
    std::array<int, 257> m_summaryRow = emptySummaryIndex();
    // Transmitter rows from the most to the least recently heard, linked through their indices.
    std::vector<int> m_newer;
    std::vector<int> m_older;
    int m_newest = -1;
    int m_oldest = -1;
    bool m_started = false;
    uint32_t m_lastTick = 0;
    int64_t m_nowMs = 0;

    static constexpr std::array<int, 257> emptySummaryIndex()
    {
        std::array<int, 257> a{};
        a.fill(-1);
        return a;
    }
};
