#include "LocalClock.h"

#include <cstdio>
#include <ctime>

LocalClockReading readLocalClock()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[32];
    const int length =
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return {QString::fromLatin1(text, length), int(now.tv_nsec / 1'000'000)};
}
