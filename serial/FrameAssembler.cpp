#include "FrameAssembler.h"

FrameState RecvFrame;

void FrameAssembler::restart()
{
    m_dropped += static_cast<uint64_t>(m_count);
    m_count = 0;
}

void FrameAssembler::backBetweenFrames()
{
    m_state.RecvState = 0;
    m_state.RecvLength = 0;
}

void FrameAssembler::endBlock()
{
    const std::span<const uint8_t> block = pending();
    m_count = 0;
    m_sink.blockEnded(block);
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
        // A frame is at least its first three bytes long and never 240 or more: any other length
        // byte is no frame, and waiting for such a frame to complete would swallow good ones.
        if (byte < 3 || byte >= 0xF0) {
            restart();
            backBetweenFrames();
        } else {
            s.RecvLength = byte;
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
    m_lastTick = tick;

    const bool overflow = m_count > kOverflow;
    const bool complete = m_count == s.RecvLength;
    if (!overflow && !complete)
        return;
    const bool carriesIds = complete && s.RecvState > 11;
    // The state is between frames before anyone hears of the block: a handler may run an event
    // loop in which the port is reopened and new bytes arrive.
    backBetweenFrames();
    if (complete) {
        if (carriesIds)
            m_sink.idsReceived();
        m_sink.frameCompleted();
    }
    endBlock();
}

void FrameAssembler::idle(uint32_t tick, int32_t timeoutMs)
{
    if (m_count == 0 || tick - m_lastTick <= static_cast<uint32_t>(timeoutMs))
        return;
    // The rest of a frame cut short by a pause is not worth waiting for: the module starts every
    // frame afresh, and bytes taken as its continuation would split the next frame in two.
    backBetweenFrames();
    endBlock();
}
