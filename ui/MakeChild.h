#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

#include <algorithm>

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

// Widens a captioned control to the width its caption needs: the fonts installed here run wider
// than those the design sizes were made for. It never becomes narrower than its design width.
inline void growToCaption(QWidget* control)
{
    control->resize(std::max(control->width(), control->sizeHint().width()), control->height());
}
