#pragma once

class QWidget;

// Centres a tool window over the window that owns it (its parent), kept on that window's screen:
// over a small main window near the screen's edge the centred window would put its title bar out
// of reach.
void centreOverOwner(QWidget* window);
