#pragma once

#include <QElapsedTimer>

#include <chrono>

// Repaints that may wait are due on one common beat, so that the monitor and the ID panels
// repaint in one cycle instead of each in a cycle of its own.
constexpr int kRepaintBeatMs = 30;

[[nodiscard]] inline int msToNextBeat()
{
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return int(kRepaintBeatMs - now.count() % kRepaintBeatMs);
}

// How long a repaint waits: not at all after a quiet beat since the last one (or before the
// first), else until the next beat.
[[nodiscard]] inline int repaintDelay(const QElapsedTimer& sinceLastRepaint)
{
    const bool quiet = !sinceLastRepaint.isValid() || sinceLastRepaint.elapsed() >= kRepaintBeatMs;
    return quiet ? 0 : msToNextBeat();
}
