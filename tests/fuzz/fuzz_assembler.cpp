// Feeds arbitrary bytes, split and timed by the input itself, through the frame assembler and the
// renderings, and checks that every byte read is accounted for.
#include "BlockText.h"
#include "FrameAssembler.h"

#include <cstdlib>

namespace {
struct CountingSink : FrameSink {
    uint64_t shown = 0;
    void blockEnded(std::span<const uint8_t> block) override
    {
        shown += block.size();
        if (block.empty() || block.size() > 4097)
            std::abort();
        if (RenderBinary(block).size() != qsizetype(block.size() * 4))
            std::abort();
        (void)RenderText(block);
    }
    void idsReceived() override {}
    void frameCompleted() override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    FrameState state;
    CountingSink sink;
    FrameAssembler assembler(state, sink);
    // The first byte chooses the time-out, negative ones included.
    const int32_t timeout = int32_t(int8_t(data[0])) * 4;
    uint32_t tick = 0xFFFFFF00u; // close to the wrap
    uint64_t fed = 0;
    for (size_t i = 1; i < size; ++i) {
        const uint8_t b = data[i];
        tick += b & 0x07;
        assembler.feed(b, tick);
        ++fed;
        if ((b & 0xF0) == 0xE0) {
            tick += uint32_t(b & 0x0F) * 16;
            assembler.idle(tick, timeout);
        }
        if (sink.shown + assembler.droppedBytes() + uint64_t(assembler.count()) != fed)
            std::abort();
        if (assembler.count() > FrameAssembler::kOverflow)
            std::abort();
    }
    return 0;
}
