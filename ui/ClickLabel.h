#pragma once

#include <QLabel>
#include <QStatusBar>

// A label (or panel) that reports clicks and double-clicks, as the form's labels and panels do.
// The platform reports a double-click as press, release, double-click, release: the first release
// is a click, the double-click event a double-click, and the release that ends it nothing more.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false; // a press on this label waits for its release
};

// Shows a text in a fixed-width label; a text too wide for it is elided in the middle, so that both
// ends of a long path (the adapter's make, its serial number and ":OK") stay in sight, and the
// whole text is the tooltip.
void showFitting(QLabel* label, const QString& text, Qt::Alignment fitting);

// A status bar whose panels are labels; a double-click anywhere on it is reported.
class PanelStatusBar : public QStatusBar {
    Q_OBJECT
public:
    // firstPanelWidth: the first panel's width; the last panel takes the rest.
    PanelStatusBar(int panelCount, int firstPanelWidth, QWidget* parent = nullptr);

    // The whole text, also where the panel shows it elided.
    [[nodiscard]] QString panelText(int index) const;
    void setPanelText(int index, const QString& text);
    [[nodiscard]] QLabel* panel(int index) const { return m_panels.value(index); }

signals:
    void doubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QList<QLabel*> m_panels;
    QStringList m_texts;
};
