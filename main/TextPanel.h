#pragma once

#include "TextMetrics.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QTimer>

// A panel whose text changes often: an ID of the last received frame, the clock. Its text is
// current at once, but it repaints at most once a repaint beat: with 600 frames a second from many
// transmitters, repainting every change cost more than reception itself. The text is drawn from
// glyphs looked up once per character rather than shaped at every paint. Assistive technology reads
// it as a label named by its text. It fills its background, so the band behind it is not
// repainted with it.
class TextPanel : public QFrame {
    Q_OBJECT
public:
    explicit TextPanel(QWidget* parent = nullptr);

    [[nodiscard]] QString text() const { return m_text; }
    void setText(const QString& text);
    void clear() { setText(QString()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showText();

    QString m_text;
    TextMetrics m_metrics{font()};
    QTimer m_repaint;
    QElapsedTimer m_sinceRepaint;
};
