#pragma once

#include <QString>

// Port name to device path: a path starting with '/' is used as it is, COMn (1..99) is the
// n-th legacy UART /dev/ttyS(n-1), anything else, the empty name included, is looked up in /dev/.
[[nodiscard]] QString devicePathFor(const QString& portName);
