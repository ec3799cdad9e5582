#pragma once

#include <cstdint>
#include <functional>

// A millisecond count from a monotonic clock that wraps at 2^32, as the timing rules expect.
// Every timing rule reads it through tickCount(), so tests can put a fake clock in its place.
[[nodiscard]] uint32_t tickCount();

// Replaces the clock; an empty function restores the real one.
void setTickSource(std::function<uint32_t()> source);
