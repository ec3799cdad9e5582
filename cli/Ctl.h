#pragma once

#include "CtlRequest.h"

// Runs a checked request to its end and returns the exit status. Needs a QCoreApplication.
[[nodiscard]] int runCtl(const CtlRequest& request);
