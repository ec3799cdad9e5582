#include "FrameFilter.h"

#include "FrameText.h"

#include <algorithm>
#include <string_view>

namespace {
char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// The haystack is made upper case in place: it is scratch text rendered for this test only.
bool containsUpper(std::string& haystack, const std::string& upperNeedle)
{
    for (char& c : haystack)
        c = upper(c);
    return std::string_view(haystack).find(upperNeedle) != std::string_view::npos;
}
} // namespace

std::optional<std::string> idDigits(QStringView typed)
{
    std::string digits;
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const char16_t c = typed[i].unicode();
        if (c == u' ')
            continue;
        const bool digit = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        // The "h" after a pair, as the program writes IDs ("12h 34h").
        const bool pairSuffix = (c == u'h' || c == u'H') && digits.size() % 2 == 0 && !digits.empty() &&
                                (i + 1 == typed.size() || typed[i + 1] == u' ');
        if (pairSuffix)
            continue;
        if (!digit)
            return std::nullopt;
        digits += upper(char(c));
    }
    return digits;
}

FrameMatcher::FrameMatcher(const FrameFilter& filter) : m_filter(filter), m_passesAll(filter.passesAll())
{
    const auto digits = idDigits(filter.id);
    if (!digits || digits->size() > 8)
        m_matchesNothing = true;
    else
        m_idDigits = *digits;
    for (const QChar c : filter.text) {
        // Payload and decoded column are ASCII: a character beyond it is found nowhere.
        if (c.unicode() > 0x7F)
            m_matchesNothing = true;
        m_text += upper(char(c.unicode()));
    }
}

bool FrameMatcher::matches(const FrameRecord& record, std::span<const uint8_t> bytes)
{
    if (m_passesAll)
        return true;
    if (m_matchesNothing)
        return false;
    if (m_filter.direction == FrameFilter::Direction::Sent && record.direction != FrameDirection::Sent)
        return false;
    if (m_filter.direction == FrameFilter::Direction::Received &&
        record.direction != FrameDirection::Received)
        return false;
    if (m_filter.command) {
        if (record.kind != m_filter.command->kind)
            return false;
        if (record.kind == FrameKind::Frame && bytes[kFrameCommandAt] != m_filter.command->command)
            return false;
    }
    if (!m_idDigits.empty() && (record.kind != FrameKind::Frame || !idMatches(bytes)))
        return false;
    return m_text.empty() || textMatches(record, bytes);
}

bool FrameMatcher::idMatches(std::span<const uint8_t> bytes) const
{
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (const int at : {kFrameSourceAt, kFrameDestinationAt}) {
        bool same = true;
        for (size_t i = 0; i < m_idDigits.size() && same; ++i) {
            const uint8_t b = bytes[size_t(at) + i / 2];
            same = m_idDigits[i] == kDigits[i % 2 == 0 ? b >> 4 : b & 15];
        }
        if (same)
            return true;
    }
    return false;
}

bool FrameMatcher::textMatches(const FrameRecord& record, std::span<const uint8_t> bytes)
{
    m_scratch.clear();
    appendHex(m_scratch, payloadOf(record.kind, bytes));
    // Hexadecimal is upper case already.
    if (std::string_view(m_scratch).find(m_text) != std::string_view::npos)
        return true;
    if (record.kind != FrameKind::Frame)
        return false;
    m_scratch.clear();
    appendDecoded(m_scratch, bytes);
    return containsUpper(m_scratch, m_text);
}

bool appendMatches(const FrameLog& log, FrameMatcher& matcher, uint64_t& from, std::vector<uint64_t>& index,
                   std::chrono::steady_clock::time_point deadline)
{
    from = std::max(from, log.firstPosition());
    const uint64_t end = log.endPosition();
    while (from < end) {
        // The clock is read every few thousand entries; reading it costs more than a test.
        const uint64_t stop = std::min(end, from + 4096);
        for (; from < stop; ++from) {
            const FrameRecord& r = log.record(from);
            if (matcher.matches(r, log.bytes(r)))
                index.push_back(from);
        }
        if (from < end && std::chrono::steady_clock::now() >= deadline)
            return false;
    }
    return true;
}

void FrameIndex::setFilter(const FrameFilter& filter)
{
    startFilter(filter);
    (void)continueFilter(std::chrono::steady_clock::time_point::max());
    finishFilter();
}

void FrameIndex::startFilter(const FrameFilter& filter)
{
    m_pending = std::make_unique<Pending>(filter);
    m_pending->scanned = m_log.firstPosition();
}

bool FrameIndex::continueFilter(std::chrono::steady_clock::time_point deadline)
{
    return !m_pending ||
           appendMatches(m_log, m_pending->matcher, m_pending->scanned, m_pending->positions, deadline);
}

void FrameIndex::finishFilter()
{
    if (!m_pending)
        return;
    m_filter = m_pending->filter;
    m_matcher = std::move(m_pending->matcher);
    m_positions = std::move(m_pending->positions);
    m_head = 0;
    m_scanned = m_pending->scanned;
    m_pending.reset();
    takeNew();
}

size_t FrameIndex::staleCount() const
{
    return rowAtOrAfter(m_log.firstPosition());
}

size_t FrameIndex::rowAtOrAfter(uint64_t position) const
{
    const auto begin = m_positions.begin() + std::ptrdiff_t(m_head);
    return size_t(std::lower_bound(begin, m_positions.end(), position) - begin);
}

void FrameIndex::dropStale(size_t count)
{
    m_head += count;
    if (m_head >= 4096 && m_head * 2 >= m_positions.size()) {
        m_positions.erase(m_positions.begin(), m_positions.begin() + std::ptrdiff_t(m_head));
        m_head = 0;
    }
}

size_t FrameIndex::takeNew()
{
    const size_t before = m_positions.size();
    (void)appendMatches(m_log, m_matcher, m_scanned, m_positions,
                        std::chrono::steady_clock::time_point::max());
    return m_positions.size() - before;
}
