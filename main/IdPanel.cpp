#include "IdPanel.h"

#include "RepaintBeat.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {
// A panel reads as a label whose name is its text. As the frame it is, assistive technology would
// present it with the role of a top-level window.
QAccessibleInterface* idPanelInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("IdPanel"))
        if (auto* panel = qobject_cast<IdPanel*>(object))
            return new QAccessibleWidget(panel, QAccessible::StaticText);
    return nullptr;
}
} // namespace

IdPanel::IdPanel(QWidget* parent) : QFrame(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(idPanelInterface);
        return true;
    }();
    (void)accessible;
    setAutoFillBackground(true);
    m_repaint.setSingleShot(true);
    m_repaint.setTimerType(Qt::PreciseTimer);
    connect(&m_repaint, &QTimer::timeout, this, [this] {
        m_sinceRepaint.start();
        setAccessibleName(m_text);
        update();
    });
}

void IdPanel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    if (!m_repaint.isActive())
        m_repaint.start(repaintDelay(m_sinceRepaint));
}

void IdPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(contentsRect(), Qt::AlignCenter, m_text);
}
