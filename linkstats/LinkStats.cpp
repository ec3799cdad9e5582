#include "LinkStats.h"

#include <algorithm>
#include <limits>

namespace {
constexpr size_t kNotAFrame = 256;

uint32_t idKey(const LinkRow::DeviceId& id)
{
    return uint32_t(id[0]) << 24 | uint32_t(id[1]) << 16 | uint32_t(id[2]) << 8 | id[3];
}

bool isFrame(std::span<const uint8_t> block)
{
    return block.size() > LinkStats::kCommandAt && block[0] == 0x0F && block[1] == 0x5A;
}
} // namespace

void RateHistory::add(int64_t nowMs, uint64_t lost)
{
    const int64_t second = nowMs / 1000;
    if (second > m_lastSecond) {
        // The seconds that passed in silence are emptied; after five minutes of it, all of them.
        for (int64_t s = std::max(m_lastSecond + 1, second - kSeconds + 1); s <= second; ++s)
            m_ring[size_t(s % kSeconds)] = {};
        m_lastSecond = second;
    }
    Second& b = m_ring[size_t(m_lastSecond % kSeconds)];
    constexpr uint64_t kMost = std::numeric_limits<uint16_t>::max();
    b.reports = uint16_t(std::min<uint64_t>(b.reports + 1u, kMost));
    b.lost = uint16_t(std::min<uint64_t>(b.lost + lost, kMost));
}

RateHistory::Second RateHistory::at(int64_t second) const
{
    if (second < 0 || second > m_lastSecond || second <= m_lastSecond - kSeconds)
        return {};
    return m_ring[size_t(second % kSeconds)];
}

double RateHistory::perSecond(int64_t nowMs) const
{
    constexpr int kBuckets = int(kRateWindowMs / 1000) + 1;
    const int64_t second = nowMs / 1000;
    const double intoSecond = double(nowMs % 1000) / 1000.0;
    double reports = 0;
    for (int age = 0; age < kBuckets; ++age) {
        const double count = at(second - age).reports;
        reports += age == kBuckets - 1 ? count * (1.0 - intoSecond) : count;
    }
    return reports * 1000.0 / double(kRateWindowMs);
}

RateHistory::Seconds RateHistory::seconds(int64_t nowMs) const
{
    Seconds out;
    const int64_t first = nowMs / 1000 - kSeconds + 1;
    for (int i = 0; i < kSeconds; ++i)
        out[size_t(i)] = at(first + i);
    return out;
}

double LinkRow::lossPercent() const
{
    const double sent = double(frames - duplicates + lost);
    return sent > 0 ? 100.0 * double(lost) / sent : 0.0;
}

void LinkStats::advance(uint32_t tick)
{
    // Differences of the wrapping tick, added up, give a clock that runs on past its wrap.
    if (m_started)
        m_nowMs += int64_t(uint32_t(tick - m_lastTick));
    m_started = true;
    m_lastTick = tick;
}

void LinkStats::clear()
{
    m_rows.clear();
    m_byId.clear();
    m_summaryRow = emptySummaryIndex();
    m_newer.clear();
    m_older.clear();
    m_newest = -1;
    m_oldest = -1;
}

void LinkStats::heard(LinkRow& row, size_t bytes, int64_t nowMs, uint64_t lost)
{
    ++row.frames;
    row.bytes += bytes;
    row.lastHeardMs = nowMs;
    row.rate.add(nowMs, lost);
}

void LinkStats::count(std::span<const uint8_t> block, uint32_t tick)
{
    advance(tick);
    if (!isFrame(block))
        heard(summaryRow(LinkRow::Kind::NotAFrame, 0), block.size(), m_nowMs);
    else if (block[kCommandAt] == kKeyReport)
        countKeyReport(block);
    else
        heard(summaryRow(LinkRow::Kind::Command, block[kCommandAt]), block.size(), m_nowMs);
}

void LinkStats::countKeyReport(std::span<const uint8_t> block)
{
    // A report cut off before the end of its device ID names no transmitter; it still counts,
    // under its command byte.
    if (block.size() < kDeviceIdAt + 4) {
        heard(summaryRow(LinkRow::Kind::Command, kKeyReport), block.size(), m_nowMs);
        return;
    }
    LinkRow::DeviceId id;
    std::copy_n(block.begin() + kDeviceIdAt, 4, id.begin());
    LinkRow& row = transmitterRow(id);
    const int sequence = block[kSequenceAt];
    uint64_t lost = 0;
    if (row.lastSequence >= 0) {
        const int distance = (sequence - row.lastSequence + 256) % 256;
        if (distance == 0)
            ++row.duplicates;
        else if (distance > kRestartDistance)
            ++row.restarts;
        else
            lost = uint64_t(distance - 1);
    }
    // The gap shows in the history where it was found, at the report after it.
    row.lost += lost;
    heard(row, block.size(), m_nowMs, lost);
    row.lastSequence = sequence;
    if (block.size() > kKeyAt)
        row.lastKey = block[kKeyAt];
}

LinkRow& LinkStats::summaryRow(LinkRow::Kind kind, uint8_t command)
{
    int& index = m_summaryRow[kind == LinkRow::Kind::NotAFrame ? kNotAFrame : command];
    if (index < 0) {
        index = int(m_rows.size());
        m_rows.push_back({.kind = kind, .command = command});
        m_newer.push_back(-1);
        m_older.push_back(-1);
    }
    return m_rows[size_t(index)];
}

LinkRow& LinkStats::transmitterRow(const LinkRow::DeviceId& id)
{
    const uint32_t key = idKey(id);
    if (const auto found = m_byId.find(key); found != m_byId.end()) {
        const int index = found->second;
        if (index != m_newest) {
            unlink(index);
            pushFront(index);
        }
        return m_rows[size_t(index)];
    }
    int index = 0;
    if (m_byId.size() < kMaxTransmitters) {
        index = int(m_rows.size());
        m_rows.emplace_back();
        m_newer.push_back(-1);
        m_older.push_back(-1);
    } else {
        index = m_oldest;
        m_byId.erase(idKey(m_rows[size_t(index)].id));
        unlink(index);
        m_rows[size_t(index)] = LinkRow{};
    }
    m_rows[size_t(index)].id = id;
    m_byId.emplace(key, index);
    pushFront(index);
    return m_rows[size_t(index)];
}

void LinkStats::unlink(int row)
{
    const int newer = m_newer[size_t(row)];
    const int older = m_older[size_t(row)];
    (newer >= 0 ? m_older[size_t(newer)] : m_newest) = older;
    (older >= 0 ? m_newer[size_t(older)] : m_oldest) = newer;
    m_newer[size_t(row)] = -1;
    m_older[size_t(row)] = -1;
}

void LinkStats::pushFront(int row)
{
    m_older[size_t(row)] = m_newest;
    m_newer[size_t(row)] = -1;
    if (m_newest >= 0)
        m_newer[size_t(m_newest)] = row;
    m_newest = row;
    if (m_oldest < 0)
        m_oldest = row;
}
