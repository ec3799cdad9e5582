#include "ClickLabel.h"

#include <QMouseEvent>

#include <utility>

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const bool pressed = std::exchange(m_pressed, false);
    if (pressed && rect().contains(event->position().toPoint()))
        emit clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The platform reports a double-click as one click and then the double-click: its second
    // press is no click. Qt's default handling passes the event on as a press, whose release
    // would click again.
    QLabel::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    emit doubleClicked();
}

PanelStatusBar::PanelStatusBar(int panelCount, int firstPanelWidth, QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    for (int i = 0; i < panelCount; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("panel%1").arg(i));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->installEventFilter(this);
        const bool last = i == panelCount - 1;
        if (i == 0 && !last)
            label->setFixedWidth(firstPanelWidth);
        addWidget(label, last ? 1 : 0);
        m_panels.append(label);
    }
}

QString PanelStatusBar::panelText(int index) const
{
    const QLabel* p = panel(index);
    return p ? p->text() : QString();
}

void showFitting(QLabel* label, const QString& text, Qt::Alignment fitting)
{
    const int room = label->contentsRect().width() - 2 * label->margin() - label->indent();
    const bool fits = label->fontMetrics().horizontalAdvance(text) <= room;
    label->setAlignment(fits ? fitting : (Qt::AlignRight | Qt::AlignVCenter));
    label->setToolTip(fits ? QString() : text);
    label->setText(text);
}

void PanelStatusBar::setPanelText(int index, const QString& text)
{
    if (QLabel* p = panel(index))
        showFitting(p, text, Qt::AlignLeft | Qt::AlignVCenter);
}

bool PanelStatusBar::eventFilter(QObject* watched, QEvent* event)
{
    // Taken here: a panel ignores the double-click, which would reach the bar and report it twice.
    if (event->type() == QEvent::MouseButtonDblClick) {
        emit doubleClicked();
        return true;
    }
    return QStatusBar::eventFilter(watched, event);
}

void PanelStatusBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    QStatusBar::mouseDoubleClickEvent(event);
    emit doubleClicked();
}
