#include "Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QRect placedOnScreens(const QRect& place, const QList<QRect>& screenAreas)
{
    if (screenAreas.isEmpty())
        return place;
    QRect area = screenAreas.front();
    qint64 most = 0;
    for (const QRect& a : screenAreas) {
        const QRect common = a.intersected(place);
        if (const qint64 overlap = qint64(common.width()) * common.height(); overlap > most) {
            most = overlap;
            area = a;
        }
    }
    QRect r(place.topLeft(), place.size().boundedTo(area.size()));
    r.moveLeft(std::max(area.left(), std::min(r.left(), area.right() + 1 - r.width())));
    r.moveTop(std::max(area.top(), std::min(r.top(), area.bottom() + 1 - r.height())));
    return r;
}

void restorePlace(QWidget* window, const QRect& place)
{
    QList<QRect> areas;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (const QScreen* s : QGuiApplication::screens())
        areas << s->availableGeometry();
    window->setGeometry(placedOnScreens(place, areas));
}

void centreOverOwner(QWidget* window)
{
    const QWidget* owner = window->parentWidget();
    if (!owner || window->testAttribute(Qt::WA_Moved))
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
