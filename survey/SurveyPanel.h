#pragma once

#include "SurveyCount.h"

#include <QWidget>

#include <array>
#include <functional>

class PanelStatusBar;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

// The survey panel: timed runs that count four-key transmitters by the key they report. A tool
// window created hidden at start-up; it counts only while it is shown and a run is on.
class SurveyPanel : public QWidget {
    Q_OBJECT
public:
    explicit SurveyPanel(QWidget* owner = nullptr);

    // 1 while the panel is shown.
    [[nodiscard]] int openFlag() const { return m_openFlag; }

    // Empties the main window's monitor (a run starts with an empty monitor).
    std::function<void()> clearMainMonitor;

    // A key line handed on by the monitor.
    void countReceivedKey(const QString& line);
    // One tick of the main window's clock.
    void onClockTick();

    // A run is on while startButton is down.
    [[nodiscard]] bool running() const;

signals:
    // A run has begun: from now on it counts the clock's half-second ticks.
    void runStarted();

public slots:
    void onStartClicked();
    void onStatusBarDoubleClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void initialise();
    void onOpened();
    void onClosed();
    void setUpGrid();
    void clearGrid();
    // Clears the tally and sets the progress bar up for a run of the given length.
    void resetSurvey(int seconds);
    void showCounters();
    void showProgress();
    void mirrorRow(int row);
    void placeAnchored();
    void centreHorizontally(int clientWidth);

    QFrame* countArea = nullptr;
    std::array<QLabel*, SurveyTally::kKeys> keyRows{};
    std::array<QLabel*, SurveyTally::kKeys> keyCounters{};
    QPushButton* startButton = nullptr;
    QCheckBox* keyChangeBox = nullptr;
    QLineEdit* runSecondsEdit = nullptr;
    QLabel* secondsLabel = nullptr;
    QProgressBar* runProgressBar = nullptr;
    QPushButton* closeButton = nullptr;
    QTableWidget* transmitterGrid = nullptr;
    PanelStatusBar* statusPanels = nullptr;

    SurveyTally m_tally;
    int m_openFlag = 0;
    int m_position = 0; // progress of the run in clock ticks
    int m_maximum = 0;
    bool m_placed = false; // centred over the main window once, on the first showing
};
