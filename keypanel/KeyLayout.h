#pragma once

#include <QPoint>
#include <QSize>

#include <vector>

// Where the keys of a transmitter type go on the key panel, in client coordinates.
struct KeyGrid {
    int columns = 1;
    int left = 0;             // left margin of the first column
    int keyAreaHeight = 0;    // height of the key area, which leaves room below the last row
    QSize client;             // the whole client area: key area, control bar and status bar
    std::vector<QPoint> keys; // top-left of key 1, 2, ...
};

constexpr int kControlBarHeight = 64;
constexpr int kStatusBarHeight = 19;
constexpr int kMaxKeys = 70;

// The grid for `keyCount` keys of the given size. The eight transmitter types have fixed
// columns and margins; any other count gets the columns of the next larger type, so the panel
// never divides by zero or runs past its 70 keys.
[[nodiscard]] KeyGrid layoutKeyGrid(int keyCount, int keyWidth = 60, int keyHeight = 25);
