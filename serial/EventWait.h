#pragma once

#include <functional>

// Processes the GUI thread's events until done() is true, checking it after every batch of
// events and at least every few milliseconds; the thread sleeps while nothing happens.
void waitProcessingEvents(const std::function<bool()>& done);
