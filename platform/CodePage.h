#pragma once

#include <QByteArray>
#include <QString>

// The one code page of the program (Shift-JIS as Windows extends it): typed text sent in Text
// mode, received bytes in the monitor, text values of the settings file and monitor files.
[[nodiscard]] QByteArray toCodePage(QStringView text);
[[nodiscard]] QString fromCodePage(QByteArrayView bytes);
