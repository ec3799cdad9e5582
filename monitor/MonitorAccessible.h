#pragma once

// Registers the monitor's accessible text interface with Qt, once: screen readers and other
// assistive technology read the monitor as they read a read-only text box.
void installMonitorAccessibility();
