#pragma once

#include <QFont>
#include <QStringList>

// The program's fonts: "ＭＳ Ｐゴシック" for the windows and "ＭＳ 明朝" for the monitor, or, where
// those are not installed, the IPA fonts that stand in for them.
[[nodiscard]] QFont uiFont(int pixelSize = 12);
[[nodiscard]] QFont monitorFont();
// The first of the families that is installed; the last one otherwise.
[[nodiscard]] QString installedFamily(const QStringList& families);
