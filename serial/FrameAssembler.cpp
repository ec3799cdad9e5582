#include "FrameAssembler.h"

FrameState receivedFrame;

void FrameAssembler::restart()
{
    m_dropped += static_cast<uint64_t>(m_count);
    m_count = 0;
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
    switch (s.state) {
    case 0:
        if (byte == 0x0F) {
            restart();
            s.state = 1;
        }
        break;
    case 1:
        if (byte == 0x5A) {
            s.state = 2;
        } else {
            restart();
            s.state = 0;
        }
        break;
    case 2:
        // A frame is at least its first three bytes long and never 240 or more: any other length
        // byte is no frame, and waiting for such a frame to complete would swallow good ones.
        if (byte < 3 || byte >= 0xF0) {
            restart();
            s.backBetweenFrames();
        } else {
            s.length = byte;
            s.state = 3;
        }
        break;
    default:
        if (s.state >= 5 && s.state <= 8)
            s.sourceId[size_t(s.state - 5)] = byte;
        else if (s.state >= 9 && s.state <= 12)
            s.destinationId[size_t(s.state - 9)] = byte;
        ++s.state;
        break;
    }

    m_buf[size_t(m_count)] = byte;
    ++m_count;
    m_lastTick = tick;

    const bool overflow = m_count > kOverflow;
    const bool complete = m_count == s.length;
    if (!overflow && !complete)
        return;
    const bool carriesIds = complete && s.state > 11;
    // The state is between frames before anyone hears of the block: a handler may run an event
    // loop in which the port is reopened and new bytes arrive.
    s.backBetweenFrames();
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
    m_state.backBetweenFrames();
    endBlock();
}
