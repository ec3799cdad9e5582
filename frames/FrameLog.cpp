#include "FrameLog.h"

bool isWholeFrame(std::span<const uint8_t> block)
{
    return block.size() >= kFrameHeaderSize && block[0] == 0x0F && block[1] == 0x5A &&
           block[2] == block.size();
}

void FrameLog::recordReceived(std::span<const uint8_t> block, int64_t timeMs)
{
    add(FrameDirection::Received, isWholeFrame(block) ? FrameKind::Frame : FrameKind::NotFrame, block, timeMs,
        m_nextNumber++, false);
}

void FrameLog::recordSentFrame(std::span<const uint8_t> frame, int64_t timeMs)
{
    // A sender's frame always is one; the check only guards against a length byte that wrapped.
    add(FrameDirection::Sent, isWholeFrame(frame) ? FrameKind::Frame : FrameKind::NotFrame, frame, timeMs,
        m_nextNumber++, false);
}

void FrameLog::recordSentText(std::span<const uint8_t> line, int64_t timeMs)
{
    add(FrameDirection::Sent, FrameKind::Text, line, timeMs, m_nextNumber++, false);
}

void FrameLog::append(FrameRecord record, std::span<const uint8_t> bytes)
{
    add(record.direction, record.kind, bytes, record.timeMs, record.number, record.loaded);
}

void FrameLog::clear()
{
    m_dropped += m_records.size();
    m_records.clear();
    m_bytesDropped += m_bytes.size();
    m_bytes = {};
    m_droppedOut = 0;
    m_commandsSeen.reset();
    m_kindsSeen.reset();
}

void FrameLog::replaceWith(FrameLog&& other)
{
    clear();
    m_records = std::move(other.m_records);
    m_bytes = std::move(other.m_bytes);
    m_bytesDropped = other.m_bytesDropped;
    m_commandsSeen = other.m_commandsSeen;
    m_kindsSeen = other.m_kindsSeen;
    other.clear();
}

void FrameLog::add(FrameDirection direction, FrameKind kind, std::span<const uint8_t> bytes, int64_t timeMs,
                   uint64_t number, bool loaded)
{
    if (m_records.size() >= m_limit)
        dropOldest();
    FrameRecord r;
    r.timeMs = timeMs;
    r.number = number;
    r.offset = m_bytesDropped + m_bytes.size();
    r.length = uint32_t(bytes.size());
    r.direction = direction;
    r.kind = kind;
    r.loaded = loaded;
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    m_records.push_back(r);
    if (kind == FrameKind::Frame)
        m_commandsSeen.set(bytes[kFrameCommandAt]);
    m_kindsSeen.set(size_t(kind));
}

void FrameLog::dropOldest()
{
    m_records.pop_front();
    ++m_dropped;
    ++m_droppedOut;
    // Give the bytes back once the dead front is as large as what is alive: each byte moves at
    // most once on average.
    const uint64_t dead =
        (m_records.empty() ? m_bytesDropped + m_bytes.size() : m_records.front().offset) - m_bytesDropped;
    if (dead >= 4096 && dead * 2 >= m_bytes.size()) {
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + std::ptrdiff_t(dead));
        m_bytesDropped += dead;
    }
}
