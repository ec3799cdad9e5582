#include "Tick.h"

#include <chrono>

namespace {
std::function<uint32_t()>& source()
{
    static std::function<uint32_t()> s;
    return s;
}
} // namespace

uint32_t tickCount()
{
    if (const auto& s = source())
        return s();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void setTickSource(std::function<uint32_t()> s)
{
    source() = std::move(s);
}
