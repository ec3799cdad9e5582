#pragma once

class ReceiveSession;

#include <cstdint>

// The worker's exit after a line error, run on the GUI thread: closes the port it served.
void commErrorExit(ReceiveSession& session);
// A worker has ended: workerRunning drops, unless a newer worker already serves a new open
// (an old worker ending late must not mark the new one as ended).
void commWorkerEnded(uint64_t generation);
