#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

// A child widget with its control name (tests and assistive technology find it by that name),
// at its design place when one is given.
template <typename W> W* makeChild(QWidget* parent, const QString& name, const QRect& geometry = {})
{
    auto* w = new W(parent);
    w->setObjectName(name);
    if (geometry.isValid())
        w->setGeometry(geometry);
    return w;
}
