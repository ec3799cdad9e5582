#include "Monitor.h"

#include <QScrollBar>
#include <QTextBlock>

MonitorView::MonitorView(QWidget* parent) : QPlainTextEdit(parent)
{
    setUndoRedoEnabled(false);
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_batch.setSingleShot(true);
    m_batch.setInterval(kBatchMs);
    connect(&m_batch, &QTimer::timeout, this, &MonitorView::flush);
}

void MonitorView::appendLine(const QString& line)
{
    if (m_lineCount > kLineLimit) {
        m_pending.clear();
        m_clearPending = true;
        m_lineCount = 0;
    }
    m_pending.append(line);
    ++m_lineCount;
    if (!m_batch.isActive())
        m_batch.start();
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
    const QString text = m_pending.join(u'\n');
    const bool first = m_shownLines == 0;
    m_shownLines += int(m_pending.size());
    m_pending.clear();
    if (first) {
        setPlainText(text);
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        appendPlainText(text);
    }
}

void MonitorView::clearLines()
{
    m_batch.stop();
    m_pending.clear();
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
