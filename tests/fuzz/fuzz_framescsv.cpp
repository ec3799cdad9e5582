// Arbitrary bytes as a received block through the frame decoder and the filters, and as the lines
// of a Frames file: a file that is read must save and read again as the same text.
#include "FrameCsv.h"
#include "FrameFilter.h"
#include "FrameLog.h"
#include "FrameText.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> input(data, size);
    FrameLog block;
    block.recordReceived(input, 0);
    const FrameRecord& r = block.record(0);
    std::string text;
    for (int c = 0; c < kFrameColumnCount; ++c)
        appendCell(text, r, block.bytes(r), FrameColumn(c));
    FrameFilter filter;
    filter.id =
        QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(std::min<size_t>(size, 9)));
    filter.text =
        QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(std::min<size_t>(size, 5)));
    FrameMatcher matcher(filter);
    (void)matcher.matches(r, block.bytes(r));

    // The header is given, so that the lines under it are what varies.
    FrameLog none;
    FrameIndex noRows(none);
    const QByteArray file =
        framesCsv(none, noRows) + QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    FramesCsvRead read = readFramesCsv(file);
    if (!read.error.isEmpty()) {
        if (read.log.size() != 0)
            std::abort();
        return 0;
    }
    FrameIndex rows(read.log);
    rows.setFilter({});
    const QByteArray saved = framesCsv(read.log, rows);
    FramesCsvRead again = readFramesCsv(saved);
    FrameIndex againRows(again.log);
    againRows.setFilter({});
    if (!again.error.isEmpty() || framesCsv(again.log, againRows) != saved)
        std::abort();
    return 0;
}
