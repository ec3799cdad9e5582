#pragma once

#include <QString>

// One reading of the system clock in local time, as the clock panel and the time stamps show it.
struct LocalClockReading {
    QString text; // "yyyy/MM/dd hh:mm:ss"
    int msec = 0;
};

// Unlike QDateTime::currentDateTime, it does not look at the time zone file again at each call:
// the clock reads it every second and the time stamps with every block.
[[nodiscard]] LocalClockReading readLocalClock();
