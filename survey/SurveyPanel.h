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
    ~SurveyPanel() override;

    // 1 while the panel is shown.
    [[nodiscard]] int openFlag() const { return m_openFlag; }

    // Empties the main window's monitor (a run starts with an empty monitor).
    std::function<void()> clearMainMonitor;

    // A key line handed on by the monitor.
    void CountRecvKey(const QString& line);
    // One tick of the main window's clock.
    void SurveyTick();

    // A run is on while btnStart is down.
    [[nodiscard]] bool running() const;

public slots:
    void btnStartClick();
    void sBarDblClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void InitGrid();
    void ClearGrid();
    // Clears the tally and sets the progress bar up for a run of the given length.
    void ResetSurvey(int seconds);
    void showCounters();
    void showProgress();
    void mirrorRow(int row);
    void placeAnchored();
    void centreHorizontally(int clientWidth);

    QFrame* pnlTop = nullptr;
    std::array<QLabel*, SurveyTally::kKeys> pnlKey{};
    std::array<QLabel*, SurveyTally::kKeys> pnlKct{};
    QPushButton* btnStart = nullptr;
    QCheckBox* ckKeyChange = nullptr;
    QLineEdit* edtTout = nullptr;
    QLabel* Label1 = nullptr;
    QProgressBar* prgBar = nullptr;
    QPushButton* btnClose = nullptr;
    QTableWidget* sGrid = nullptr;
    PanelStatusBar* sBar = nullptr;

    SurveyTally m_tally;
    int m_openFlag = 0;
    int m_position = 0; // progress of the run in clock ticks
    int m_maximum = 0;
    bool m_placed = false; // centred over the main window once, on the first showing
};

extern SurveyPanel* frmSurvey;
