#pragma once

#include "TextMetrics.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QTimer>

// A panel with an ID of the last received frame. Its text is current at once, but it repaints at
// most once a repaint beat: with 600 frames a second from many transmitters, repainting every change
// cost more than reception itself. It fills its background, so the band behind it is not
// repainted with it.
class IdPanel : public QFrame {
    Q_OBJECT
public:
    explicit IdPanel(QWidget* parent = nullptr);

    [[nodiscard]] QString text() const { return m_text; }
    void setText(const QString& text);
    void clear() { setText(QString()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_text;
    TextMetrics m_metrics{font()};
    QTimer m_repaint;
    QElapsedTimer m_sinceRepaint;
};
