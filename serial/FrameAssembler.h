#pragma once

#include <array>
#include <cstdint>
#include <span>

// Position within a module frame, its length, and the IDs of the last frame. Program-wide;
// opening a port starts between frames.
struct FrameState {
    int32_t state = 0;
    int32_t length = 0;
    std::array<uint8_t, 4> sourceId{};
    std::array<uint8_t, 4> destinationId{};

    // Waiting for the 0x0F that starts the next frame; the IDs of the last one stay.
    void backBetweenFrames()
    {
        state = 0;
        length = 0;
    }
};

extern FrameState receivedFrame;

// What the assembler reports while it groups bytes into blocks.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // A block has ended (frame complete, overflow or idle flush). The assembler is already back
    // between frames and empty; the block stays valid until the next byte is fed.
    virtual void blockEnded(std::span<const uint8_t> block) = 0;
    // A complete frame long enough to carry its IDs.
    virtual void idsReceived() = 0;
    // Any complete frame: it answers the last write.
    virtual void frameCompleted() = 0;
};

// Groups received bytes into blocks: a module frame (0F 5A, then its length byte counting the
// whole frame), a buffer overflow of 4097 bytes, or what came before the line fell quiet. A
// length byte outside 3-239 abandons the frame, and a quiet line ends a frame cut short, so the
// assembler is back in step with the module at the next frame.
class FrameAssembler {
public:
    static constexpr int kBufferSize = 4100;
    static constexpr int kOverflow = 4096;

    FrameAssembler(FrameState& state, FrameSink& sink) : m_state(state), m_sink(sink) {}

    // One byte read at the given tick.
    void feed(uint8_t byte, uint32_t tick);
    // After the bytes of a pass: shows what was collected once the line has been quiet for
    // longer than the time-out (compared unsigned, so a negative time-out never flushes), and
    // goes back between frames.
    void idle(uint32_t tick, int32_t timeoutMs);

    [[nodiscard]] int count() const { return m_count; }
    [[nodiscard]] uint32_t lastByteTick() const { return m_lastTick; }
    [[nodiscard]] std::span<const uint8_t> pending() const { return {m_buf.data(), size_t(m_count)}; }
    // Bytes thrown away on purpose: those before a 0x0F, and the start of a frame that failed.
    [[nodiscard]] uint64_t droppedBytes() const { return m_dropped; }

private:
    void restart();
    void endBlock();

    FrameState& m_state;
    FrameSink& m_sink;
    std::array<uint8_t, kBufferSize> m_buf{};
    int32_t m_count = 0;
    uint32_t m_lastTick = 0;
    uint64_t m_dropped = 0;
};
