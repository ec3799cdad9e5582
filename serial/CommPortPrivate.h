#pragma once

class RecvSession;

// The worker's exit after a line error, run on the GUI thread: closes the port it served.
void CommErrorExit(RecvSession& session);
