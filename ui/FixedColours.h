#pragma once

#include <QColor>
#include <QPalette>

// The windows' few fixed colours (blue IDs, the red "Binary" label) were chosen for a light
// window; on a dark palette they are replaced by lighter ones that read as well there.
[[nodiscard]] bool isDarkPalette(const QPalette& palette);
[[nodiscard]] QColor idColour(const QPalette& palette);
[[nodiscard]] QColor alertColour(const QPalette& palette);
