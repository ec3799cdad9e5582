#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

// The monitor of received data. Lines are counted here, not in the document, and appended in
// batches: painting one append per block would cost more than all the rest of reception. A
// batch that holds an emptying (more than 1000 lines) only shows what follows it.
class MonitorView : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kLineLimit = 1000;
    // Within the 50 ms the screen may lag, leaving time to paint.
    static constexpr int kBatchMs = 40;
    // One flush inserts at most this much and leaves the rest for the next batch, so a flood of
    // long lines never holds the window for long; lines still pending when the thousand-line
    // rule empties the monitor are never inserted at all.
    static constexpr qsizetype kFlushChars = 64 * 1024;
    // Painting takes at most about a fifth of the time: when it is slow (long lines on screen)
    // the batches grow further apart.
    static constexpr int kPaintShare = 5;
    static constexpr int kMaxBatchMs = 400;

    explicit MonitorView(QWidget* parent = nullptr);

    // Empties the monitor first when it holds more than 1000 lines.
    void appendLine(const QString& line);
    void clearLines();
    void setLines(const QStringList& lines);
    [[nodiscard]] QStringList lines();
    [[nodiscard]] int lineCount() const { return m_lineCount; }
    // Shows the pending batch now.
    void flush();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    [[nodiscard]] int batchInterval() const;

    QStringList m_pending;
    qsizetype m_pendingChars = 0;
    bool m_clearPending = false;
    int m_lineCount = 0;  // lines of the monitor, the pending batch included
    int m_shownLines = 0; // lines in the document
    QTimer m_batch;
    qint64 m_lastPaintMs = 0;
};
