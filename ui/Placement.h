#pragma once

#include <QList>
#include <QRect>

class QWidget;

// Where a window remembered at `place` goes, given the screens' available areas (the primary
// first): onto the screen it overlaps most, or the primary when it overlaps none (a screen
// unplugged since), moved and if need be shrunk to lie wholly on it, title bar within reach.
[[nodiscard]] QRect placedOnScreens(const QRect& place, const QList<QRect>& screenAreas);
// Puts a window at a remembered place on the screens there are now.
void restorePlace(QWidget* window, const QRect& place);

// Centres a tool window over the window that owns it (its parent), kept on that window's screen:
// over a small main window near the screen's edge the centred window would put its title bar out
// of reach. A window placed already (at its remembered place) stays where it is.
void centreOverOwner(QWidget* window);
