#pragma once

class RecvSession;

#include <cstdint>

// The worker's exit after a line error, run on the GUI thread: closes the port it served.
void CommErrorExit(RecvSession& session);
// A worker has ended: the running flag drops, unless a newer worker already serves a new open
// (an old worker ending late must not mark the new one as ended).
void CommWorkerEnded(uint64_t generation);
