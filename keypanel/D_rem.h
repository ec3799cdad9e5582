#pragma once

#include <QWidget>

// The remote-control key panel: a tool window created hidden at start-up.
class TfrmRem : public QWidget {
    Q_OBJECT
public:
    explicit TfrmRem(QWidget* owner = nullptr);
    ~TfrmRem() override;

    // 1 while the panel is shown.
    [[nodiscard]] int openFlag() const { return m_openFlag; }
    int KeyCount = 0;

    void ShowRecvKey(const QString& line);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_openFlag = 0;
};

extern TfrmRem* frmRem;
