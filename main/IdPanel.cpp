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
    if (m_text.isEmpty())
        return;
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    // Centred as QPainter::drawText centres a line.
    const QRectF r = contentsRect();
    const QFontMetricsF metrics(font());
    const qreal left = (r.width() - m_metrics.width({m_text, {}})) / 2;
    const qreal top = (r.height() - metrics.ascent() - metrics.descent()) / 2;
    m_metrics.draw(p, QPointF(r.x() + left, r.y() + top + metrics.ascent()), m_text);
}

void IdPanel::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        m_metrics = TextMetrics(font());
}
