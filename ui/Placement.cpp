#include "Placement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

void centreOverOwner(QWidget* window)
{
    const QWidget* owner = window->parentWidget();
    if (!owner)
        return;
    const QPoint centre = owner->frameGeometry().center();
    QRect r(centre.x() - window->width() / 2, centre.y() - window->height() / 2, window->width(),
            window->height());
    if (const QScreen* s = owner->screen()) {
        const QRect area = s->availableGeometry();
        r.moveLeft(std::max(area.left(), std::min(r.left(), area.right() + 1 - r.width())));
        r.moveTop(std::max(area.top(), std::min(r.top(), area.bottom() + 1 - r.height())));
    }
    window->move(r.topLeft());
}
