#pragma once

#include <QString>

// Why a serial device did not open, in plain words for the user: the error is the device's
// openError(). For a busy port it names the processes that hold it, as far as /proc shows them
// to this user.
[[nodiscard]] QString openFailureReason(const QString& devicePath, int error);
