#pragma once

#include "KeyDecode.h"
#include "KeyLayout.h"

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>

class PanelStatusBar;
class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;

// The remote-control key panel: a tool window created hidden at start-up that stands for one
// transmitter. Received key reports toggle the lamps of its keys; its key buttons send reports.
class KeyPanel : public QWidget {
    Q_OBJECT
public:
    static inline const QColor kLampOn = QColor(0, 255, 0);
    static inline const QColor kReported = QColor(0, 0, 255);

    explicit KeyPanel(QWidget* owner = nullptr);

    // 1 while the panel is shown.
    [[nodiscard]] int openFlag() const { return m_openFlag; }
    // The key count of the transmitter type chosen last.
    [[nodiscard]] int keyCount() const { return m_keyCount; }
    // Chooses a transmitter type and shows the panel with its keys; a panel already shown is laid
    // out again at once, so the keys shown are the keys judged.
    void showType(int keyCount);

    // One received key report, as the monitor renders it in hexadecimal.
    void showReceivedKey(const QString& line);
    void clearLamps();
    // The all-keys test of Check mode.
    void judgeKeys();

public slots:
    void onKeyButtonClicked();
    void onClearClicked();
    void onCheckModeToggled();
    void onStatusBarDoubleClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void initialise();
    void layoutKeys();
    void endFanfarePauseWhenDue();
    void keepOnScreen();
    void buildKeyArea();
    void buildControlBar();
    [[nodiscard]] QColor buttonFace() const;
    void setKeyAreaColour(const QColor& colour);
    void setLampColour(int index, const QColor& colour);
    [[nodiscard]] QColor lampColour(int index) const;
    void playCue(const QString& name) const;
    void sendKey(int keyCode);

    QFrame* keyArea = nullptr;
    std::array<QPushButton*, kMaxKeys> keyButtons{};
    std::array<QFrame*, kMaxKeys> lamps{};
    QFrame* controlBar = nullptr;
    QPushButton* clearButton = nullptr;
    QCheckBox* colourPanelBox = nullptr; // "On ColorPanel": a report colours the key area
    QCheckBox* soundBox = nullptr;
    // "Check": reports need makerCodeEdit's maker code, and every lamp lit is judged.
    QCheckBox* checkModeBox = nullptr;
    QLineEdit* makerCodeEdit = nullptr;
    PanelStatusBar* statusPanels = nullptr;

    int m_keyCount = 0;
    RepeatFilter m_repeats;
    // The lamps stay lit for a while after the fanfare; reception goes on meanwhile.
    QTimer m_fanfarePause;
    uint32_t m_fanfareTick = 0;
    int m_openFlag = 0;
    bool m_placed = false; // centred over the main window at the first showing only
};
