#include "Monitor.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTextBlock>

MonitorView::MonitorView(QWidget* parent) : QPlainTextEdit(parent)
{
    setUndoRedoEnabled(false);
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_batch.setSingleShot(true);
    // Plain scroll bars: they are repainted with every batch, and the default style's gradients
    // cost more than everything else reception does.
    if (QStyle* plain = QStyleFactory::create(QStringLiteral("Windows"))) {
        plain->setParent(this);
        verticalScrollBar()->setStyle(plain);
        horizontalScrollBar()->setStyle(plain);
    }
    connect(&m_batch, &QTimer::timeout, this, &MonitorView::flush);
}

void MonitorView::appendLine(const QString& line)
{
    if (m_lineCount > kLineLimit) {
        m_pending.clear();
        m_pendingChars = 0;
        m_clearPending = true;
        m_lineCount = 0;
    }
    m_pending.append(line);
    m_pendingChars += line.size();
    ++m_lineCount;
    if (!m_batch.isActive())
        m_batch.start(batchInterval());
}

void MonitorView::flush()
{
    m_batch.stop();
    if (m_clearPending) {
        QPlainTextEdit::clear();
        m_clearPending = false;
        m_shownLines = 0;
    }
    if (m_pending.isEmpty())
        return;
    qsizetype take = 0;
    qsizetype chars = 0;
    while (take < m_pending.size() && (take == 0 || chars + m_pending[take].size() <= kFlushChars))
        chars += m_pending[take++].size();
    const QString text = m_pending.mid(0, take).join(u'\n');
    const bool first = m_shownLines == 0;
    m_shownLines += int(take);
    m_pending.remove(0, take);
    m_pendingChars -= chars;
    if (first) {
        setPlainText(text);
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        appendPlainText(text);
    }
    if (!m_pending.isEmpty())
        m_batch.start(batchInterval());
}

int MonitorView::batchInterval() const
{
    return int(std::clamp<qint64>(m_lastPaintMs * kPaintShare, kBatchMs, kMaxBatchMs));
}

void MonitorView::paintEvent(QPaintEvent* event)
{
    QElapsedTimer t;
    t.start();
    QPlainTextEdit::paintEvent(event);
    m_lastPaintMs = t.elapsed();
}

void MonitorView::clearLines()
{
    m_batch.stop();
    m_pending.clear();
    m_pendingChars = 0;
    m_clearPending = false;
    m_lineCount = 0;
    m_shownLines = 0;
    QPlainTextEdit::clear();
}

void MonitorView::setLines(const QStringList& lines)
{
    clearLines();
    m_lineCount = int(lines.size());
    m_shownLines = m_lineCount;
    setPlainText(lines.join(u'\n'));
}

QStringList MonitorView::lines()
{
    flush();
    if (m_lineCount == 0)
        return {};
    return toPlainText().split(u'\n');
}
