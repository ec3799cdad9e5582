#include "KeyPanel.h"

#include "ClickLabel.h"
#include "DeviceSetup.h"
#include "Fonts.h"
#include "MakeChild.h"
#include "ModuleFrame.h"
#include "Placement.h"
#include "Sound.h"
#include "Tick.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

namespace {
constexpr int kKeyWidth = 60;
constexpr int kKeyHeight = 25;
constexpr QPoint kLampOffset(6, 6);
constexpr int kLampSize = 13;
constexpr int kMakerCodeLeft = 140;
constexpr int kMakerCodeRightGap = 10; // the box keeps this gap to the bar's right edge
constexpr uint32_t kFanfarePauseMs = 2000;
// How often the pause looks at the tick: its end may come up to this much late.
constexpr int kFanfareCheckMs = 20;

} // namespace

KeyPanel::KeyPanel(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint |
                         Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("keyPanel"));
    setWindowTitle(QStringLiteral("Remocon Panel"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(uiFont());
    buildKeyArea();
    buildControlBar();
    statusPanels = new PanelStatusBar(2, 50, this);
    statusPanels->setObjectName(QStringLiteral("statusPanels"));
    statusPanels->setFixedHeight(kStatusBarHeight);
    connect(statusPanels, &PanelStatusBar::doubleClicked, this, &KeyPanel::onStatusBarDoubleClicked);
    // The pause is measured on the tick that all timing rules read, so tests can move it on.
    m_fanfarePause.setInterval(kFanfareCheckMs);
    connect(&m_fanfarePause, &QTimer::timeout, this, &KeyPanel::endFanfarePauseWhenDue);
    initialise();
    layoutKeys();
}

void KeyPanel::buildKeyArea()
{
    keyArea = makeChild<QFrame>(this, QStringLiteral("keyArea"), {});
    keyArea->setFrameShape(QFrame::Panel);
    keyArea->setFrameShadow(QFrame::Raised);
    keyArea->setAutoFillBackground(true);
    for (int i = 0; i < kMaxKeys; ++i) {
        const int key = i + 1;
        const QString number = QStringLiteral("%1").arg(key, 2, 10, QLatin1Char('0'));
        auto* button = makeChild<QPushButton>(keyArea, QStringLiteral("keyButton") + number,
                                              {0, 0, kKeyWidth, kKeyHeight});
        button->setText(QString::number(key));
        connect(button, &QPushButton::clicked, this, &KeyPanel::onKeyButtonClicked);
        keyButtons[size_t(i)] = button;

        // The lamp lies over its button; clicks on it still press the key.
        auto* lamp = makeChild<QFrame>(keyArea, QStringLiteral("lamp") + number,
                                       {kLampOffset, QSize(kLampSize, kLampSize)});
        lamp->setFrameShape(QFrame::Panel);
        lamp->setFrameShadow(QFrame::Sunken);
        lamp->setAutoFillBackground(true);
        lamp->setAttribute(Qt::WA_TransparentForMouseEvents);
        // The lamp's state is only a colour; say it in words as well.
        lamp->setAccessibleName(QStringLiteral("Lamp %1").arg(key));
        lamps[size_t(i)] = lamp;
    }
}

void KeyPanel::buildControlBar()
{
    controlBar = makeChild<QFrame>(this, QStringLiteral("controlBar"), {0, 0, 336, kControlBarHeight});
    controlBar->setFrameShape(QFrame::Panel);
    controlBar->setFrameShadow(QFrame::Raised);
    clearButton = makeChild<QPushButton>(controlBar, QStringLiteral("clearButton"), {4, 4, 75, 53});
    clearButton->setText(QStringLiteral("Clear"));
    colourPanelBox = makeChild<QCheckBox>(controlBar, QStringLiteral("colourPanelBox"), {84, 4, 97, 17});
    colourPanelBox->setText(QStringLiteral("On ColorPanel"));
    soundBox = makeChild<QCheckBox>(controlBar, QStringLiteral("soundBox"), {84, 22, 53, 17});
    soundBox->setText(QStringLiteral("Sound"));
    checkModeBox = makeChild<QCheckBox>(controlBar, QStringLiteral("checkModeBox"), {84, 39, 57, 17});
    checkModeBox->setText(QStringLiteral("Check"));
    for (QCheckBox* box : {colourPanelBox, soundBox, checkModeBox})
        growToCaption(box);
    makerCodeEdit =
        makeChild<QLineEdit>(controlBar, QStringLiteral("makerCodeEdit"), {kMakerCodeLeft, 36, 186, 20});
    connect(clearButton, &QPushButton::clicked, this, &KeyPanel::onClearClicked);
    // Toggled rather than clicked: Sound follows Check however Check changes.
    connect(checkModeBox, &QCheckBox::toggled, this, &KeyPanel::onCheckModeToggled);
}

void KeyPanel::initialise()
{
    for (int i = 0; i < kMaxKeys; ++i)
        keyButtons[size_t(i)]->setProperty("keyIndex", i);
    frameSequence = 0;
    makerCodeEdit->clear();
    colourPanelBox->setChecked(false);
    soundBox->setChecked(false);
    checkModeBox->setChecked(false);
    setKeyAreaColour(buttonFace());
    clearLamps();
}

void KeyPanel::layoutKeys()
{
    const KeyGrid grid = layoutKeyGrid(m_keyCount, keyButtons[0]->width(), keyButtons[0]->height());
    const int width = grid.client.width();
    keyArea->setGeometry(0, 0, width, grid.keyAreaHeight);
    for (size_t i = 0; i < keyButtons.size(); ++i) {
        const bool shown = i < grid.keys.size();
        if (shown) {
            keyButtons[i]->move(grid.keys[i]);
            lamps[i]->move(grid.keys[i] + kLampOffset);
        }
        keyButtons[i]->setVisible(shown);
        lamps[i]->setVisible(shown);
    }
    controlBar->setGeometry(0, grid.keyAreaHeight, width, kControlBarHeight);
    makerCodeEdit->resize(width - kMakerCodeLeft - kMakerCodeRightGap, makerCodeEdit->height());
    statusPanels->setGeometry(0, grid.keyAreaHeight + kControlBarHeight, width, kStatusBarHeight);
    setFixedSize(grid.client);
}

void KeyPanel::showType(int keyCount)
{
    m_keyCount = keyCount;
    if (isVisible()) {
        layoutKeys();
        keepOnScreen();
    }
    show();
    raise();
    activateWindow();
}

void KeyPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window system's own show (restoring a minimised window) is no new showing.
    if (event->spontaneous())
        return;
    m_openFlag = 1;
    layoutKeys();
    if (!m_placed) {
        m_placed = true;
        centreOverOwner(this);
    }
    keepOnScreen();
}

void KeyPanel::keepOnScreen()
{
    // A larger type keeps the panel's corner where it was, which could push its control bar off
    // the bottom of the screen, out of reach.
    const QScreen* s = screen();
    if (!s)
        return;
    const QRect area = s->availableGeometry();
    const QSize frame = frameGeometry().size();
    const int x = std::clamp(pos().x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width()));
    const int y = std::clamp(pos().y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height()));
    if (QPoint(x, y) != pos())
        move(x, y);
}

void KeyPanel::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        m_openFlag = 0;
}

QColor KeyPanel::buttonFace() const
{
    return palette().color(QPalette::Button);
}

void KeyPanel::setKeyAreaColour(const QColor& colour)
{
    QPalette p = keyArea->palette();
    p.setColor(QPalette::Window, colour);
    keyArea->setPalette(p);
}

void KeyPanel::setLampColour(int index, const QColor& colour)
{
    QFrame* lamp = lamps[size_t(index)];
    QPalette p = lamp->palette();
    p.setColor(QPalette::Window, colour);
    lamp->setPalette(p);
    lamp->setAccessibleDescription(colour == buttonFace() ? QStringLiteral("off") : QStringLiteral("on"));
}

QColor KeyPanel::lampColour(int index) const
{
    return lamps[size_t(index)]->palette().color(QPalette::Window);
}

void KeyPanel::playCue(const QString& name) const
{
    if (soundBox->isChecked())
        playSystemSound(name);
}

void KeyPanel::clearLamps()
{
    for (int i = 0; i < kMaxKeys; ++i)
        setLampColour(i, buttonFace());
}

void KeyPanel::showReceivedKey(const QString& line)
{
    const KeyLine key = decodeKeyLine(line);
    if (!m_repeats.admit(key.payload, tickCount()))
        return;
    if (colourPanelBox->isChecked())
        setKeyAreaColour(kReported);
    statusPanels->setPanelText(1, key.makerCode);
    if (checkModeBox->isChecked() && statusPanels->panelText(1) != makerCodeEdit->text()) {
        playCue(QStringLiteral("chord.wav"));
        m_repeats.stamp(tickCount());
        return;
    }

    switch (classifyKey(key.keyCode, key.checkByte, std::min(m_keyCount, kMaxKeys))) {
    case KeyAction::Clear:
        clearLamps();
        break;
    case KeyAction::ColourReset:
        if (colourPanelBox->isChecked())
            setKeyAreaColour(buttonFace());
        break;
    case KeyAction::ErrorKey:
        statusPanels->setPanelText(1, QStringLiteral("Error Key: %1").arg(key.keyCode));
        break;
    case KeyAction::Toggle: {
        const int i = key.keyCode - 1;
        setLampColour(i, lampColour(i) == buttonFace() ? kLampOn : buttonFace());
        if (keyButtons[size_t(i)]->isVisible())
            keyButtons[size_t(i)]->setFocus(Qt::OtherFocusReason);
        if (checkModeBox->isChecked())
            judgeKeys();
        else
            playCue(QStringLiteral("ding.wav"));
        break;
    }
    case KeyAction::None:
        break;
    }
    m_repeats.stamp(tickCount());
}

void KeyPanel::judgeKeys()
{
    const int n = std::clamp(m_keyCount, 0, kMaxKeys);
    for (int i = 0; i < n; ++i) {
        if (lampColour(i) != kLampOn) {
            playCue(QStringLiteral("chimes.wav"));
            return;
        }
    }
    playCue(QStringLiteral("tada.wav"));
    // Key lines that arrive in the pause are handled as ever, and their lamps cleared with the
    // rest when it ends. A fanfare within the pause starts it afresh: one pause, one clearing.
    m_fanfareTick = tickCount();
    m_fanfarePause.start();
}

void KeyPanel::endFanfarePauseWhenDue()
{
    if (tickCount() - m_fanfareTick < kFanfarePauseMs)
        return;
    m_fanfarePause.stop();
    clearLamps();
}

void KeyPanel::sendKey(int keyCode)
{
    QString makerCode = makerCodeEdit->text();
    sendKeyCode(keyCode, makerCode, chosenDeviceKind);
    // An empty box has been given the default maker code.
    if (makerCode != makerCodeEdit->text())
        makerCodeEdit->setText(makerCode);
}

void KeyPanel::onKeyButtonClicked()
{
    const auto* button = qobject_cast<const QPushButton*>(sender());
    if (!button)
        return;
    sendKey(button->property("keyIndex").toInt() + 1);
}

void KeyPanel::onClearClicked()
{
    clearLamps();
    sendKey(kClearCode);
    setKeyAreaColour(buttonFace());
}

void KeyPanel::onCheckModeToggled()
{
    soundBox->setChecked(checkModeBox->isChecked());
}

void KeyPanel::onStatusBarDoubleClicked()
{
    makerCodeEdit->setText(statusPanels->panelText(1));
}
