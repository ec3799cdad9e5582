#pragma once

#include "Beat.h"

#include <QElapsedTimer>

#include <chrono>

constexpr int kRepaintBeatMs = int(kBeat.count());

// How long a repaint waits: not at all after a quiet beat since the last one (or before the
// first), nor when a beat has only just begun and brought none yet, so that what the receive pass
// of a beat changed is painted in the same wake-up; else until the next beat.
[[nodiscard]] inline int repaintDelay(const QElapsedTimer& sinceLastRepaint)
{
    using namespace std::chrono;
    constexpr milliseconds kJustBegun{3};
    if (!sinceLastRepaint.isValid() || sinceLastRepaint.elapsed() >= kRepaintBeatMs)
        return 0;
    const auto now = steady_clock::now();
    const auto next = nextBeat(now);
    const auto intoBeat = now - (next - kBeat);
    if (intoBeat < kJustBegun && nanoseconds(sinceLastRepaint.nsecsElapsed()) > intoBeat)
        return 0;
    return int(ceil<milliseconds>(next - now).count());
}
