#include "KeyLayout.h"

#include <algorithm>

KeyGrid layoutKeyGrid(int keyCount, int keyWidth, int keyHeight)
{
    const int n = std::clamp(keyCount, 0, kMaxKeys);
    KeyGrid grid;
    if (n <= 4) {
        grid.columns = 1;
        grid.left = 2 * keyWidth + 16;
    } else if (n <= 8) {
        // Two columns centred in the same margins as one: this type alone comes out wider.
        grid.columns = 2;
        grid.left = 2 * keyWidth + 16;
    } else if (n <= 27) {
        grid.columns = 3;
        grid.left = keyWidth + 12;
    } else if (n <= 48) {
        grid.columns = 4;
        grid.left = (keyWidth + 4) / 2 + 8;
    } else {
        grid.columns = 5;
        grid.left = 8;
    }

    const int rowPitch = keyHeight + 10;
    const int columnPitch = keyWidth + 4;
    // Rounded up so that a partial last row of an unlisted count still lies inside the area.
    const int rows = (n + grid.columns - 1) / grid.columns;
    grid.keyAreaHeight = rows * rowPitch + 32;
    grid.keys.reserve(size_t(n));
    for (int i = 0; i < n; ++i)
        grid.keys.emplace_back(grid.left + (i % grid.columns) * columnPitch,
                               20 + (i / grid.columns) * rowPitch);
    grid.client = QSize(columnPitch * grid.columns + 2 * grid.left,
                        grid.keyAreaHeight + kControlBarHeight + kStatusBarHeight);
    return grid;
}
