#include "Frames.h"

#include <cctype>

namespace modsim {

QByteArray encodeFrame(const Frame& frame)
{
    QByteArray bytes;
    bytes.reserve(kFrameHeader + frame.payload.size());
    bytes.append(char(0x0F));
    bytes.append(char(0x5A));
    bytes.append(char(uint8_t(kFrameHeader + frame.payload.size())));
    bytes.append(char(frame.command));
    bytes.append(char(frame.sequence));
    for (const uint8_t b : frame.src)
        bytes.append(char(b));
    for (const uint8_t b : frame.dst)
        bytes.append(char(b));
    bytes.append(frame.payload);
    return bytes;
}

std::optional<Frame> decodeFrame(QByteArrayView bytes)
{
    if (bytes.size() < kFrameHeader || uint8_t(bytes[0]) != 0x0F || uint8_t(bytes[1]) != 0x5A ||
        uint8_t(bytes[2]) != bytes.size())
        return std::nullopt;
    Frame f;
    f.command = uint8_t(bytes[3]);
    f.sequence = uint8_t(bytes[4]);
    for (int i = 0; i < 4; ++i) {
        f.src[size_t(i)] = uint8_t(bytes[5 + i]);
        f.dst[size_t(i)] = uint8_t(bytes[9 + i]);
    }
    f.payload = bytes.sliced(kFrameHeader).toByteArray();
    return f;
}

QByteArray keyReportPayload(const DeviceId& maker, uint8_t key)
{
    QByteArray p;
    for (const uint8_t b : maker)
        p.append(char(b));
    p.append(char(key));
    p.append(char(uint8_t(~key)));
    return p;
}

std::optional<DeviceId> parseId(QStringView text)
{
    QString digits;
    for (const QChar c : text) {
        if (c.isSpace() || c == u'h' || c == u'H')
            continue;
        if (c.unicode() > 0x7F || !isxdigit(c.toLatin1()))
            return std::nullopt;
        digits.append(c);
    }
    if (digits.size() != 8)
        return std::nullopt;
    DeviceId id{};
    for (int i = 0; i < 4; ++i)
        id[size_t(i)] = uint8_t(digits.mid(2 * i, 2).toUInt(nullptr, 16));
    return id;
}

QString idText(const DeviceId& id)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(id[0], 2, 16, QLatin1Char('0'))
        .arg(id[1], 2, 16, QLatin1Char('0'))
        .arg(id[2], 2, 16, QLatin1Char('0'))
        .arg(id[3], 2, 16, QLatin1Char('0'))
        .toUpper();
}

void FrameReader::reset()
{
    drop(m_partial.size());
}

void FrameReader::drop(qsizetype count)
{
    m_dropped += uint64_t(count);
    m_partial.clear();
}

void FrameReader::feed(QByteArrayView bytes, Millis now, std::vector<Frame>& frames)
{
    if (!m_partial.isEmpty() && now - m_lastByte > m_gap)
        drop(m_partial.size());
    if (!bytes.isEmpty())
        m_lastByte = now;

    for (const char c : bytes) {
        const auto b = uint8_t(c);
        switch (m_partial.size()) {
        case 0:
            if (b == 0x0F)
                m_partial.append(c);
            else
                ++m_dropped;
            break;
        case 1:
            if (b == 0x5A) {
                m_partial.append(c);
            } else if (b == 0x0F) {
                ++m_dropped; // the earlier 0F was no start; this one may be
            } else {
                drop(1);
                ++m_dropped;
            }
            break;
        case 2:
            if (b < kFrameHeader || b >= kFrameLimit) {
                drop(2);
                ++m_dropped;
            } else {
                m_partial.append(c);
            }
            break;
        default:
            m_partial.append(c);
            if (m_partial.size() == uint8_t(m_partial[2])) {
                if (auto frame = decodeFrame(m_partial))
                    frames.push_back(std::move(*frame));
                m_partial.clear();
            }
            break;
        }
    }
}

} // namespace modsim
