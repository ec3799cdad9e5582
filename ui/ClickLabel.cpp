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
        m_texts.append(QString());
    }
}

QString PanelStatusBar::panelText(int index) const
{
    return m_texts.value(index);
}

void showFitting(QLabel* label, const QString& text, Qt::Alignment fitting)
{
    // A framed label without an indent of its own indents its text by half an 'x'.
    const int indent = label->indent() >= 0      ? label->indent()
                       : label->frameWidth() > 0 ? label->fontMetrics().horizontalAdvance(u'x') / 2
                                                 : 0;
    const int room = label->contentsRect().width() - 2 * label->margin() - indent;
    const bool fits = label->fontMetrics().horizontalAdvance(text) <= room;
    label->setAlignment(fitting);
    label->setToolTip(fits ? QString() : text);
    label->setText(fits ? text : label->fontMetrics().elidedText(text, Qt::ElideMiddle, room));
}

void PanelStatusBar::setPanelText(int index, const QString& text)
{
    QLabel* p = panel(index);
    if (!p)
        return;
    m_texts[index] = text;
    showFitting(p, text, Qt::AlignLeft | Qt::AlignVCenter);
}

bool PanelStatusBar::eventFilter(QObject* watched, QEvent* event)
{
    // Taken here: a panel ignores the double-click, which would reach the bar and report it twice.
    if (event->type() == QEvent::MouseButtonDblClick) {
        emit doubleClicked();
        return true;
    }
    // The last panel grows and shrinks with the window: its text is elided again to the new width.
    if (event->type() == QEvent::Resize) {
        if (const auto i = m_panels.indexOf(qobject_cast<QLabel*>(watched)); i >= 0)
            showFitting(m_panels[i], m_texts[i], Qt::AlignLeft | Qt::AlignVCenter);
    }
    return QStatusBar::eventFilter(watched, event);
}

void PanelStatusBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    QStatusBar::mouseDoubleClickEvent(event);
    emit doubleClicked();
}
