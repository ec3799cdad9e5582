// Feeds arbitrary bytes, split and timed by the input itself, through the frame assembler and the
// renderings, and checks that every byte read is accounted for, that a Text line's text encodes
// back to its bytes exactly when it says so (so a line kept as text loses nothing), and that after
// any garbage and a quiet line the next well-formed frame arrives as exactly one block.
#include "BlockText.h"
#include "CodePage.h"
#include "FrameAssembler.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {
struct CountingSink : FrameSink {
    uint64_t shown = 0;
    uint64_t blocks = 0;
    uint64_t completions = 0;
    std::vector<uint8_t> last;
    void blockEnded(std::span<const uint8_t> block) override
    {
        shown += block.size();
        ++blocks;
        last.assign(block.begin(), block.end());
        if (block.empty() || block.size() > 4097)
            std::abort();
        if (renderBinary(block).size() != qsizetype(block.size() * 4))
            std::abort();
        const QByteArray line = renderTextBytes(block);
        const LineText shown = decodeLine(line);
        if (shown.exact != (toCodePage(shown.text) == line))
            std::abort();
    }
    void idsReceived() override {}
    void frameCompleted() override { ++completions; }
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
    if (timeout < 0)
        return 0;

    tick += uint32_t(timeout) + 1;
    assembler.idle(tick, timeout);
    if (assembler.count() != 0 || state.state != 0 || state.length != 0)
        std::abort();
    // A frame of 3 to 239 bytes whose body is taken from the input, 0F and 5A included.
    std::vector<uint8_t> frame = {0x0F, 0x5A, uint8_t(3 + size % 237)};
    for (size_t i = 0; frame.size() < frame[2]; ++i)
        frame.push_back(data[i % size]);
    const uint64_t blocksBefore = sink.blocks;
    const uint64_t completionsBefore = sink.completions;
    for (const uint8_t b : frame)
        assembler.feed(b, tick);
    if (sink.blocks != blocksBefore + 1 || sink.completions != completionsBefore + 1 || sink.last != frame)
        std::abort();
    return 0;
}
