// Arbitrary texts through the hexadecimal pair parser, the "0x" number reader, the delimiter
// rule and the user-frame limits.
#include "ModuleFrame.h"
#include "SendLine.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const HexPairs pairs = parseHexPairs(text);
    if (pairs.bytes.size() > text.size() / 2)
        std::abort();
    if (!pairs.badPair.isEmpty() && !pairs.badPair.startsWith(QLatin1String("0x")))
        std::abort();
    if (sendDelimiterBytes(text).size() > 2)
        std::abort();
    if (const auto v = hexValue(text); v && text.size() > 8)
        std::abort();
    (void)keyReportPayload(text, int(size));
    return 0;
}
