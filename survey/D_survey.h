#pragma once

#include <QWidget>

#include <functional>

// The survey panel: a tool window created hidden at start-up.
class TfrmSurvey : public QWidget {
    Q_OBJECT
public:
    explicit TfrmSurvey(QWidget* owner = nullptr);
    ~TfrmSurvey() override;

    // 1 while the panel is shown.
    [[nodiscard]] int openFlag() const { return m_openFlag; }

    // Empties the main window's monitor (a run starts with an empty monitor).
    std::function<void()> clearMainMonitor;

    void CountRecvKey(const QString& line);
    // One tick of the main window's clock.
    void SurveyTick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_openFlag = 0;
};

extern TfrmSurvey* frmSurvey;
