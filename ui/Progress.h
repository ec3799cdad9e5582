#pragma once

#include <QProgressBar>

#include <algorithm>

// A progress bar running from 0 to `maximum`. A range of 0 to 0 would turn the bar into a busy
// indicator; an empty range is shown as 0 to 1 instead.
inline void setProgressRange(QProgressBar* bar, int maximum)
{
    bar->setRange(0, std::max(1, maximum));
}
