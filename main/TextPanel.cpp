#include "TextPanel.h"

#include "RepaintBeat.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {
// A panel reads as a label whose name is its text. As the frame it is, assistive technology would
// present it with the role of a top-level window.
QAccessibleInterface* textPanelInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("TextPanel"))
        if (auto* panel = qobject_cast<TextPanel*>(object))
            return new QAccessibleWidget(panel, QAccessible::StaticText);
    return nullptr;
}
} // namespace

TextPanel::TextPanel(QWidget* parent) : QFrame(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(textPanelInterface);
        return true;
    }();
    (void)accessible;
    // The paint fills the background itself, with the one painter it draws the frame and text with.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_repaint.setSingleShot(true);
    m_repaint.setTimerType(Qt::PreciseTimer);
    connect(&m_repaint, &QTimer::timeout, this, &TextPanel::showText);
}

void TextPanel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    // Through the timer even when it is due at once, so that it fires with the monitor's and both
    // are painted in one cycle.
    if (!m_repaint.isActive())
        m_repaint.start(repaintDelay(m_sinceRepaint));
}

void TextPanel::showText()
{
    m_sinceRepaint.start();
    setAccessibleName(m_text);
    update();
}

void TextPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().brush(backgroundRole()));
    drawFrame(&p);
    if (m_text.isEmpty())
        return;
    p.setPen(palette().color(QPalette::WindowText));
    // Centred as QPainter::drawText centres a line.
    const QRectF r = contentsRect();
    const QFontMetricsF metrics(font());
    const qreal left = (r.width() - m_metrics.width({m_text, {}})) / 2;
    const qreal top = (r.height() - metrics.ascent() - metrics.descent()) / 2;
    m_metrics.draw(p, QPointF(r.x() + left, r.y() + top + metrics.ascent()), m_text);
}

void TextPanel::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        m_metrics = TextMetrics(font());
}
