#pragma once

#include <chrono>

// While data streams in, work that may wait is done on one common beat of the steady clock: the
// receive passes and the repaints they cause then share one wake-up of the GUI thread a beat
// instead of each taking its own.
constexpr std::chrono::milliseconds kBeat{30};

// The first beat after `t`.
[[nodiscard]] inline std::chrono::steady_clock::time_point nextBeat(std::chrono::steady_clock::time_point t)
{
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch());
    return std::chrono::steady_clock::time_point((since / kBeat + 1) * kBeat);
}
