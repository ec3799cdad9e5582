#pragma once

#include <QTimer>
#include <QWidget>

class MonitorView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

// The find bar under the monitor: the text to find (as shown, in any case unless "Match case" is
// ticked), previous and next, "n of m" and close. Enter goes to the next match, Shift+Enter to the
// previous one, Esc closes the bar. While it is closed nothing is searched.
class MonitorFindBar : public QWidget {
    Q_OBJECT
public:
    MonitorFindBar(MonitorView* monitor, QWidget* parent);

    // Shows the bar with its text selected, ready to be typed over.
    void open();
    // Open the bar first when it is closed.
    void findNext();
    void findPrevious();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyPattern();
    void closeBar();
    void showCount();

    MonitorView* m_monitor;
    QLineEdit* findEdit = nullptr;
    QCheckBox* caseSensitiveBox = nullptr;
    QToolButton* findPreviousButton = nullptr;
    QToolButton* findNextButton = nullptr;
    QLabel* matchCountLabel = nullptr;
    QToolButton* closeFindButton = nullptr;
    QTimer m_countTimer;
};
