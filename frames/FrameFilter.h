#pragma once

#include "FrameLog.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Which entries the Frames window shows. All parts combine; an empty part lets everything through.
struct FrameFilter {
    enum class Direction : uint8_t { All, Sent, Received };
    // A command byte, or entries of a kind other than frames ("text", "not a frame").
    struct CommandChoice {
        FrameKind kind = FrameKind::Frame;
        uint8_t command = 0;
        bool operator==(const CommandChoice&) const = default;
    };

    Direction direction = Direction::All;
    std::optional<CommandChoice> command;
    QString id;   // hexadecimal digits that start the source or the destination ID
    QString text; // found in the payload's hexadecimal or in the decoded column, any case

    bool operator==(const FrameFilter&) const = default;
    [[nodiscard]] bool passesAll() const
    {
        return direction == Direction::All && !command && id.trimmed().isEmpty() && text.isEmpty();
    }
};

// A filter made ready for testing many entries: the ID as digits, the text in ASCII upper case.
class FrameMatcher {
public:
    explicit FrameMatcher(const FrameFilter& filter);

    [[nodiscard]] bool matches(const FrameRecord& record, std::span<const uint8_t> bytes);
    [[nodiscard]] bool passesAll() const { return m_passesAll; }

private:
    [[nodiscard]] bool idMatches(std::span<const uint8_t> bytes) const;
    [[nodiscard]] bool textMatches(const FrameRecord& record, std::span<const uint8_t> bytes);

    FrameFilter m_filter;
    bool m_passesAll = true;
    bool m_matchesNothing = false;
    std::string m_idDigits;
    std::string m_text;
    std::string m_scratch;
};

// "12 34", "1234", "12h 34h": the hexadecimal digits, upper case; nothing when the text holds
// anything else.
[[nodiscard]] std::optional<std::string> idDigits(QStringView typed);

// Appends the positions of the log's entries that pass, from `from` on, to `index` and moves
// `from` past them; true when it reached the end of the log, false when the deadline came first.
bool appendMatches(const FrameLog& log, FrameMatcher& matcher, uint64_t& from, std::vector<uint64_t>& index,
                   std::chrono::steady_clock::time_point deadline);

// The positions of the entries a filter passes, kept up to date with the log in steps that a
// table can announce: entries that dropped out of the log leave from the front, new ones that
// pass join at the back.
class FrameIndex {
public:
    explicit FrameIndex(const FrameLog& log) : m_log(log) {}

    // Builds the index anew over the whole log.
    void setFilter(const FrameFilter& filter);
    [[nodiscard]] const FrameFilter& filter() const { return m_filter; }

    // The same in steps, so that a window stays responsive over a million entries: the index in
    // use stays as it is until finishFilter() puts the new one in its place.
    void startFilter(const FrameFilter& filter);
    // Scans on until the deadline; true once the whole log has been looked at.
    [[nodiscard]] bool continueFilter(std::chrono::steady_clock::time_point deadline);
    void finishFilter();
    // The filter being built, if any, else the one in use.
    [[nodiscard]] const FrameFilter& wantedFilter() const { return m_pending ? m_pending->filter : m_filter; }
    [[nodiscard]] bool filtering() const { return m_pending != nullptr; }

    // Entries at the front whose frames have dropped out of the log.
    [[nodiscard]] size_t staleCount() const;
    void dropStale(size_t count);
    // Looks at the entries added to the log since the last look; returns how many passed.
    size_t takeNew();

    [[nodiscard]] size_t size() const { return m_positions.size() - m_head; }
    [[nodiscard]] uint64_t position(size_t row) const { return m_positions[m_head + row]; }
    // The row of the first entry at or after a log position.
    [[nodiscard]] size_t rowAtOrAfter(uint64_t position) const;
    [[nodiscard]] size_t memoryBytes() const { return m_positions.capacity() * sizeof(uint64_t); }

private:
    const FrameLog& m_log;
    FrameFilter m_filter;
    FrameMatcher m_matcher{FrameFilter{}};
    std::vector<uint64_t> m_positions;
    size_t m_head = 0; // stale entries before it are given back in large steps
    uint64_t m_scanned = 0;
    struct Pending {
        explicit Pending(const FrameFilter& f) : filter(f), matcher(f) {}
        FrameFilter filter;
        FrameMatcher matcher;
        std::vector<uint64_t> positions;
        uint64_t scanned = 0;
    };
    std::unique_ptr<Pending> m_pending;
};
