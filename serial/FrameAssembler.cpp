#include "FrameAssembler.h"

FrameState RecvFrame;

void FrameAssembler::restart()
{
    m_dropped += static_cast<uint64_t>(m_count);
    m_count = 0;
}

void FrameAssembler::endBlock()
{
    m_sink.blockEnded(pending());
    m_count = 0;
}

void FrameAssembler::feed(uint8_t byte, uint32_t tick)
{
    FrameState& s = m_state;
    switch (s.RecvState) {
    case 0:
        if (byte == 0x0F) {
            restart();
            s.RecvState = 1;
        }
        break;
    case 1:
        if (byte == 0x5A) {
            s.RecvState = 2;
        } else {
            restart();
            s.RecvState = 0;
        }
        break;
    case 2:
        s.RecvLength = byte;
        if (byte >= 0xF0) {
            restart();
            s.RecvState = 0;
        } else {
            s.RecvState = 3;
        }
        break;
    default:
        if (s.RecvState >= 5 && s.RecvState <= 8)
            s.RecvSrcID[size_t(s.RecvState - 5)] = byte;
        else if (s.RecvState >= 9 && s.RecvState <= 12)
            s.RecvDstID[size_t(s.RecvState - 9)] = byte;
        ++s.RecvState;
        break;
    }

    m_buf[size_t(m_count)] = byte;
    ++m_count;

    const bool overflow = m_count > kOverflow;
    const bool complete = m_count == s.RecvLength;
    if (complete) {
        if (s.RecvState > 11)
            m_sink.idsReceived();
        m_sink.frameCompleted();
    }
    if (overflow || complete) {
        endBlock();
        s.RecvLength = 0;
        s.RecvState = 0;
    }
    m_lastTick = tick;
}

void FrameAssembler::idle(uint32_t tick, int32_t timeoutMs)
{
    if (m_count > 0 && tick - m_lastTick > static_cast<uint32_t>(timeoutMs))
        endBlock();
}
