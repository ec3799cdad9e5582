#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The survey's tally: one row per transmitter seen in the run, in the order first seen, and one
// counter per key. The window mirrors the rows into its grid.
struct SurveyTally {
    static constexpr int kRows = 100;
    static constexpr int kKeys = 4;

    struct Row {
        QString deviceId; // empty: the row is free
        QString keyText;
    };

    std::array<Row, kRows> rows;
    std::array<int, kKeys> counters{};

    void clearRows() { rows.fill(Row{}); }
    void clearCounters() { counters.fill(0); }
};

// What a key line did to the tally.
struct KeyLineOutcome {
    bool makerPrefix = false; // the line carries the maker prefix: the status shows it
    bool refresh = false;     // the key was 1 to 4: the counters go to the boxes
    int row = -1;             // the row written, -1 for none
};

// The fixed places of a key line (the "Binary" rendering of a key report, frame byte k at
// characters 4k+1 to 4k+4), as 0-based offsets.
namespace SurveyLine {
constexpr qsizetype kMinLength = 76; // 19 frame bytes
constexpr qsizetype kMakerAt = 53;
constexpr qsizetype kDeviceIdAt = 37;
constexpr qsizetype kDeviceIdLength = 15;
constexpr qsizetype kKeyAt = 69;
inline const QString kMakerPrefix = QStringLiteral("83h 41h");
} // namespace SurveyLine

// Two decimal digits as a number; 0 for anything else (a key text with a hexadecimal letter
// names no key).
[[nodiscard]] int keyIndex(QStringView keyText);

// Counts one key line during a run. A transmitter counts once, under its first key; with key
// change enabled its count moves to the key it reports last. When every row is taken a new
// transmitter is neither recorded nor counted.
[[nodiscard]] KeyLineOutcome countKeyLine(SurveyTally& tally, QStringView line, bool running, bool keyChange);

// Twice this is the most clock ticks a progress bar counts.
constexpr int kMaxRunSeconds = 32767;

// The run length as typed: 10 when the text is no whole number, nothing when the number lies
// outside 0 to 32767 (the run is refused then).
[[nodiscard]] std::optional<int> runSeconds(const QString& text);
