#include "IdPanel.h"

#include "RepaintBeat.h"

#include <QPainter>

IdPanel::IdPanel(QWidget* parent) : QFrame(parent)
{
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
