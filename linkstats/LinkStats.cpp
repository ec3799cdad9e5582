#include "LinkStats.h"

#include <algorithm>

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

void RateWindow::add(int64_t nowMs)
{
    const int64_t second = nowMs / 1000;
    Bucket& b = m_buckets[size_t(second % kBuckets)];
    if (b.second != second)
        b = {second, 0};
    ++b.count;
}

double RateWindow::perSecond(int64_t nowMs) const
{
    const int64_t second = nowMs / 1000;
    const double intoSecond = double(nowMs % 1000) / 1000.0;
    double reports = 0;
    for (const Bucket& b : m_buckets) {
        const int64_t age = second - b.second;
        if (age < 0 || age >= kBuckets)
            continue;
        reports += age == kBuckets - 1 ? b.count * (1.0 - intoSecond) : b.count;
    }
    return reports * 1000.0 / double(kWindowMs);
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

void LinkStats::heard(LinkRow& row, size_t bytes, int64_t nowMs)
{
    ++row.frames;
    row.bytes += bytes;
    row.lastHeardMs = nowMs;
    row.rate.add(nowMs);
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
    heard(row, block.size(), m_nowMs);

    const int sequence = block[kSequenceAt];
    if (row.lastSequence >= 0) {
        const int distance = (sequence - row.lastSequence + 256) % 256;
        if (distance == 0)
            ++row.duplicates;
        else if (distance > kRestartDistance)
            ++row.restarts;
        else
            row.lost += uint64_t(distance - 1);
    }
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
