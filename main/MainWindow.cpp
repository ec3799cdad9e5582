#include "MainWindow.h"

#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "CommSettingsDialog.h"
#include "DeviceSetup.h"
#include "Dialogs.h"
#include "FixedColours.h"
#include "Fonts.h"
#include "FramesWindow.h"
#include "KeyPanel.h"
#include "LinkStatsWindow.h"
#include "LocalClock.h"
#include "MakeChild.h"
#include "ModuleFrame.h"
#include "MonitorFindBar.h"
#include "MonitorView.h"
#include "Placement.h"
#include "SendLine.h"
#include "SerialDevice.h"
#include "SettingsFile.h"
#include "SurveyPanel.h"
#include "TextPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include <limits>

namespace {
// The design's client width: controls anchored to the right keep their distance to it.
constexpr int kDesignWidth = 793;
// The design's gap between two bit-rate buttons, and after the last one.
constexpr int kRateGap = 6;

TextPanel* idPanel(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* p = makeChild<TextPanel>(parent, name, geometry);
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Sunken);
    QFont f = p->font();
    f.setBold(true);
    f.setPixelSize(15);
    p->setFont(f);
    return p;
}

QLabel* boldLabel(QWidget* parent, const char* name, const QRect& geometry, const QString& text)
{
    auto* l = makeChild<QLabel>(parent, name, geometry);
    l->setText(text);
    l->setAlignment(Qt::AlignCenter);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

ClickLabel* sunkenPanel(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* p = makeChild<ClickLabel>(parent, name, geometry);
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Sunken);
    p->setAlignment(Qt::AlignCenter);
    p->setTextFormat(Qt::PlainText);
    return p;
}

QComboBox* editableCombo(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* c = makeChild<QComboBox>(parent, name, geometry);
    c->setEditable(true);
    // Enter moves the focus to "Send"; it never adds to the list by itself.
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setDuplicatesEnabled(true);
    return c;
}
} // namespace

MainWindow::MainWindow(QWidget* parent, const SettingsOverrides& overrides) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mainWindow"));
    setFont(uiFont());

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setupBand = new QFrame(central);
    setupBand->setObjectName(QStringLiteral("setupBand"));
    setupBand->setFixedHeight(61);
    sendBand = new QFrame(central);
    sendBand->setObjectName(QStringLiteral("sendBand"));
    sendBand->setFixedHeight(48);
    monitorBand = new QFrame(central);
    monitorBand->setObjectName(QStringLiteral("monitorBand"));
    monitorBand->setFixedHeight(30);
    for (QWidget* band : {setupBand, sendBand, monitorBand}) {
        static_cast<QFrame*>(band)->setFrameShape(QFrame::Panel);
        static_cast<QFrame*>(band)->setFrameShadow(QFrame::Raised);
        band->installEventFilter(this);
        column->addWidget(band);
    }
    m_monitor = new MonitorView(central);
    m_monitor->setObjectName(QStringLiteral("monitor"));
    m_monitor->setFont(monitorFont());
    m_monitor->setAccessibleName(QStringLiteral("Monitor"));
    column->addWidget(m_monitor, 1);
    findBar = new MonitorFindBar(m_monitor, central);
    findBar->setObjectName(QStringLiteral("findBar"));
    findBar->hide();
    column->addWidget(findBar);
    setCentralWidget(central);

    buildSetupBand(setupBand);
    buildSendBand(sendBand);
    buildMonitorBand(monitorBand);

    m_statusPanels = new PanelStatusBar(2, 70, this);
    m_statusPanels->setObjectName(QStringLiteral("statusPanels"));
    m_statusPanels->setFixedHeight(19);
    setStatusBar(m_statusPanels);
    connect(m_statusPanels, &PanelStatusBar::doubleClicked, this, &MainWindow::onStatusBarDoubleClicked);
    logSizeLabel = new QLabel(m_statusPanels);
    logSizeLabel->setObjectName(QStringLiteral("logSizeLabel"));
    logSizeLabel->hide();
    m_statusPanels->addPermanentWidget(logSizeLabel);
    modemLinesLabel = new QLabel(m_statusPanels);
    modemLinesLabel->setObjectName(QStringLiteral("modemLinesLabel"));
    modemLinesLabel->setContentsMargins(4, 0, 4, 0);
    modemLinesLabel->hide();
    m_statusPanels->addPermanentWidget(modemLinesLabel);
    m_logTimer.setInterval(SessionLog::kFlushMs);
    connect(&m_logTimer, &QTimer::timeout, this, &MainWindow::updateLogStatus);

    buildMenu();
    resize(kDesignWidth, 507 + menuBar()->sizeHint().height());
    if (const QScreen* screen = this->screen()) {
        QRect placed = frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }
    setCommView(this);
    initialise(overrides);
}

MainWindow::~MainWindow()
{
    if (&commView() == this)
        setCommView(nullptr);
}

void MainWindow::buildSetupBand(QWidget* band)
{
    channelBox = makeChild<QComboBox>(band, "channelBox", {4, 8, 57, 21});
    powerBox = makeChild<QComboBox>(band, "powerBox", {4, 32, 57, 21});
    setChannelButton = makeChild<QPushButton>(band, "setChannelButton", {68, 8, 57, 21});
    setChannelButton->setText(QStringLiteral("Set RFch"));
    remoteChannelButton = makeChild<QPushButton>(band, "remoteChannelButton", {68, 32, 57, 21});
    remoteChannelButton->setText(QStringLiteral("To RFch"));
    sourceIdCaption =
        boldLabel(band, "sourceIdCaption", {140, 16, 109, 12}, QStringLiteral("Src. Device ID"));
    sourceIdPanel = idPanel(band, "sourceIdPanel", {140, 32, 109, 21});
    destinationIdCaption =
        boldLabel(band, "destinationIdCaption", {256, 16, 109, 12}, QStringLiteral("Dst. Device ID"));
    destinationIdPanel = idPanel(band, "destinationIdPanel", {256, 32, 109, 21});
    productIdCaption = boldLabel(band, "productIdCaption", {372, 16, 109, 12}, QStringLiteral("Product ID"));
    productIdPanel = idPanel(band, "productIdPanel", {372, 32, 109, 21});
    // An empty panel is named by its caption.
    sourceIdCaption->setBuddy(sourceIdPanel);
    destinationIdCaption->setBuddy(destinationIdPanel);
    productIdCaption->setBuddy(productIdPanel);
    radioRatePanel = makeChild<QFrame>(band, "radioRatePanel", {492, 4, 157, 25});
    rate9600Button = makeChild<QRadioButton>(radioRatePanel, "rate9600Button", {4, 4, 45, 17});
    rate9600Button->setText(QStringLiteral("9600"));
    rate100kButton = makeChild<QRadioButton>(radioRatePanel, "rate100kButton", {55, 4, 45, 17});
    rate100kButton->setText(QStringLiteral("100k"));
    rate500kButton = makeChild<QRadioButton>(radioRatePanel, "rate500kButton", {106, 4, 45, 17});
    rate500kButton->setText(QStringLiteral("500k"));
    // Each caption gets the room it needs, the next button keeping the design's gap after it.
    int next = 0;
    for (QRadioButton* rate : {rate9600Button, rate100kButton, rate500kButton}) {
        growToCaption(rate);
        rate->move(std::max(rate->x(), next), rate->y());
        next = rate->geometry().right() + 1 + kRateGap;
    }
    radioRatePanel->resize(std::max(radioRatePanel->width(), next), radioRatePanel->height());
    deviceBox = makeChild<QComboBox>(band, "deviceBox", {492, 32, 157, 21});
    deviceBox->addItems(
        {QStringLiteral("Vinta-24A"), QStringLiteral("Vinta-24B"), QStringLiteral("920MHz(Vinta-C)")});
    deviceLabel = makeChild<QLabel>(band, "deviceLabel", {652, 12, 79, 12});
    deviceLabel->setText(QStringLiteral("Device Name"));
    QFont bold = deviceLabel->font();
    bold.setBold(true);
    deviceLabel->setFont(bold);
    initButton = makeChild<QPushButton>(band, "initButton", {kDesignWidth - 45 - 8, 6, 45, 41});
    initButton->setText(QStringLiteral("Init"));

    connect(setChannelButton, &QPushButton::clicked, this, &MainWindow::onSetChannelClicked);
    connect(remoteChannelButton, &QPushButton::clicked, this, &MainWindow::onRemoteChannelClicked);
    connect(initButton, &QPushButton::clicked, this, &MainWindow::onInitClicked);
    connect(deviceBox, &QComboBox::activated, this, &MainWindow::onDeviceChosen);
}

void MainWindow::buildSendBand(QWidget* band)
{
    sendButton = makeChild<QPushButton>(band, "sendButton", {4, 4, 45, 37});
    sendButton->setText(QStringLiteral("Send"));
    sendButton->setAutoDefault(true);
    msgIdLabel = makeChild<ClickLabel>(band, "msgIdLabel", {56, 6, 30, 14});
    msgIdLabel->setText(QStringLiteral("MsgID"));
    msgIdEdit = makeChild<QLineEdit>(band, "msgIdEdit", {56, 20, 29, 20});
    msgIdEdit->setText(QStringLiteral("00"));
    sourceIdLabel = makeChild<ClickLabel>(band, "sourceIdLabel", {96, 6, 40, 14});
    sourceIdLabel->setText(QStringLiteral("SrcID"));
    sourceIdEdit = makeChild<QLineEdit>(band, "sourceIdEdit", {92, 20, 77, 20});
    sourceIdEdit->setText(QStringLiteral("FF FF FF FF"));
    destinationIdLabel = makeChild<QLabel>(band, "destinationIdLabel", {180, 6, 40, 14});
    destinationIdLabel->setText(QStringLiteral("DstID"));
    destinationIdEdit = makeChild<QLineEdit>(band, "destinationIdEdit", {176, 20, 77, 20});
    destinationIdEdit->setText(QStringLiteral("FF FF FF FF"));
    sendModeLabel = makeChild<ClickLabel>(band, "sendModeLabel", {264, 6, 60, 14});
    sendModeLabel->setText(QStringLiteral("Text"));
    sendTextBox = editableCombo(band, "sendTextBox", {260, 20, 460, 20});
    // A line edit cuts its text at 32767 characters by default, without a word; the send line
    // takes and sends the whole text.
    sendTextBox->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    delimiterLabel = makeChild<QLabel>(band, "delimiterLabel", {kDesignWidth - 63 - 40, 6, 40, 14});
    delimiterLabel->setText(QStringLiteral("Delimit"));
    delimiterLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    growToCaption(delimiterLabel);
    // Captions take the width their text needs, as auto-sized labels do.
    for (QLabel* caption :
         {static_cast<QLabel*>(msgIdLabel), static_cast<QLabel*>(sourceIdLabel), destinationIdLabel})
        caption->resize(caption->sizeHint().width(), 14);
    delimiterBox = editableCombo(band, "delimiterBox", {722, 20, 57, 20});
    delimiterBox->addItems(kDelimiterNames);

    msgIdLabel->setToolTip(QStringLiteral("Click: Monitor Clear"));
    sendModeLabel->setToolTip(QStringLiteral("Click: Text / Binary"));
    // The focus rests on the combo box, which hands keys to its line edit without the line edit's
    // filters seeing them: Enter is caught on the combo box.
    sendTextBox->installEventFilter(this);
    delimiterBox->installEventFilter(this);
    connect(sendButton, &QPushButton::clicked, this, &MainWindow::onSendClicked);
    connect(msgIdLabel, &ClickLabel::clicked, this, &MainWindow::onMonitorClearClicked);
    connect(sendModeLabel, &ClickLabel::clicked, this, &MainWindow::toggleSendMode);
    connect(sourceIdLabel, &ClickLabel::doubleClicked, this, &MainWindow::onSourceIdLabelDoubleClicked);
    connect(delimiterBox, &QComboBox::currentTextChanged, this, &MainWindow::onDelimiterChanged);
}

void MainWindow::buildMonitorBand(QWidget* band)
{
    monitorClearButton = makeChild<QPushButton>(band, "monitorClearButton", {4, 4, 85, 22});
    monitorClearButton->setText(QStringLiteral("Monitor Clear"));
    portPanel = sunkenPanel(band, "portPanel", {96, 6, 73, 18});
    bitRatePanel = sunkenPanel(band, "bitRatePanel", {172, 6, 73, 18});
    fontPanel = sunkenPanel(band, "fontPanel", {248, 6, 73, 18});
    clockPanel = makeChild<TextPanel>(band, "clockPanel", {kDesignWidth - 125 - 8, 4, 125, 21});
    QPalette pal = clockPanel->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::yellow);
    clockPanel->setPalette(pal);
    // Fixed-pitch digits: the full date and time fits the panel's 125 pixels.
    QFont clockFont(installedFamily(
        {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")}));
    clockFont.setPixelSize(12);
    clockPanel->setFont(clockFont);
    timeStampBox = makeChild<QCheckBox>(band, "timeStampBox", {clockPanel->x() - 8 - 61, 8, 61, 17});
    timeStampBox->setText(QStringLiteral("LogTime"));
    timeStampBox->setLayoutDirection(Qt::RightToLeft);
    growToCaption(timeStampBox);

    portPanel->setToolTip(QStringLiteral("Double-click: 通信設定"));
    bitRatePanel->setToolTip(portPanel->toolTip());
    fontPanel->setToolTip(QStringLiteral("Double-click: Font"));
    connect(monitorClearButton, &QPushButton::clicked, this, &MainWindow::onMonitorClearClicked);
    connect(portPanel, &ClickLabel::doubleClicked, this, &MainWindow::editCommSettings);
    connect(bitRatePanel, &ClickLabel::doubleClicked, this, &MainWindow::editCommSettings);
    connect(fontPanel, &ClickLabel::doubleClicked, this, &MainWindow::onFontPanelDoubleClicked);
}

void MainWindow::buildMenu()
{
    auto named = [](QAction* a, const char* name) {
        a->setObjectName(QLatin1String(name));
        return a;
    };
    fileMenu = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ (&File)"));
    fileMenu->setObjectName(QStringLiteral("fileMenu"));
    connect(named(fileMenu->addAction(QStringLiteral("開く (&Open)"), QKeySequence(Qt::CTRL | Qt::Key_O)),
                  "openAction"),
            &QAction::triggered, this, &MainWindow::onOpenChosen);
    connect(named(fileMenu->addAction(QStringLiteral("名前を付けて保存 (Save &As)"),
                                      QKeySequence(Qt::CTRL | Qt::Key_S)),
                  "saveAsAction"),
            &QAction::triggered, this, &MainWindow::onSaveAsChosen);
    logAction =
        named(fileMenu->addAction(QStringLiteral("ログ記録 (&Log)..."), QKeySequence(Qt::CTRL | Qt::Key_L)),
              "logAction");
    logAction->setCheckable(true);
    connect(logAction, &QAction::triggered, this, &MainWindow::onLogChosen);
    connect(named(fileMenu->addAction(QStringLiteral("検索 (&Find)..."), QKeySequence(Qt::CTRL | Qt::Key_F)),
                  "findAction"),
            &QAction::triggered, findBar, &MonitorFindBar::open);
    // F3 and Shift+F3 work from anywhere in the window, the find bar open or not.
    connect(named(addAction(QStringLiteral("Find Next"), QKeySequence(Qt::Key_F3)), "findNextAction"),
            &QAction::triggered, findBar, &MonitorFindBar::findNext);
    connect(named(addAction(QStringLiteral("Find Previous"), QKeySequence(Qt::SHIFT | Qt::Key_F3)),
                  "findPreviousAction"),
            &QAction::triggered, findBar, &MonitorFindBar::findPrevious);
    named(fileMenu->addSeparator(), "commSettingsSeparator");
    connect(named(fileMenu->addAction(QStringLiteral("通信設定 (&ComPort)")), "commSettingsAction"),
            &QAction::triggered, this, &MainWindow::editCommSettings);
    named(fileMenu->addSeparator(), "quitSeparator");
    connect(named(fileMenu->addAction(QStringLiteral("終了 (&Quit)"), QKeySequence(Qt::CTRL | Qt::Key_Q)),
                  "quitAction"),
            &QAction::triggered, this, &MainWindow::onQuitChosen);

    optionMenu = menuBar()->addMenu(QStringLiteral("その他 (&Option)"));
    optionMenu->setObjectName(QStringLiteral("optionMenu"));
    keyPanelMenu = optionMenu->addMenu(QStringLiteral("Remocon Panel"));
    keyPanelMenu->setObjectName(QStringLiteral("keyPanelMenu"));
    for (const int keys : {2, 4, 8, 18, 27, 32, 48, 70}) {
        const QString number = QStringLiteral("%1").arg(keys, 2, 10, QLatin1Char('0'));
        QAction* pad = keyPanelMenu->addAction(QStringLiteral("Pad") + number);
        pad->setObjectName(QStringLiteral("pad") + number + QStringLiteral("Action"));
        connect(pad, &QAction::triggered, this, [this, keys] { onPadTypeChosen(keys); });
    }
    connect(named(optionMenu->addAction(QStringLiteral("Survey Panel")), "surveyPanelAction"),
            &QAction::triggered, this, &MainWindow::showSurveyPanel);
    connect(named(optionMenu->addAction(QStringLiteral("Link Statistics")), "linkStatsAction"),
            &QAction::triggered, this, [this] {
                if (m_linkStatsWindow)
                    m_linkStatsWindow->showInFront();
            });
    connect(named(optionMenu->addAction(QStringLiteral("Frames")), "framesAction"), &QAction::triggered, this,
            [this] {
                if (m_framesWindow)
                    m_framesWindow->showInFront();
            });
    showInitButtonAction =
        named(optionMenu->addAction(QStringLiteral("View Initilize Button")), "showInitButtonAction");
    showInitButtonAction->setCheckable(true);
    connect(showInitButtonAction, &QAction::triggered, this, &MainWindow::onShowInitButtonChosen);
    autoReconnectAction =
        named(optionMenu->addAction(QStringLiteral("自動再接続 (Auto &Reconnect)")), "autoReconnectAction");
    autoReconnectAction->setCheckable(true);
    connect(autoReconnectAction, &QAction::triggered, this, &MainWindow::onAutoReconnectChosen);

    named(optionMenu->addSeparator(), "modemLinesSeparator");
    dtrAction = named(optionMenu->addAction(QStringLiteral("DTR")), "dtrAction");
    rtsAction = named(optionMenu->addAction(QStringLiteral("RTS")), "rtsAction");
    for (auto [action, line] : {std::pair{dtrAction, ModemLine::Dtr}, std::pair{rtsAction, ModemLine::Rts}}) {
        action->setCheckable(true);
        // With no port open nothing is raised, and the tick comes off again.
        connect(action, &QAction::triggered, this, [action, line](bool raised) {
            if (!setModemLine(line, raised))
                action->setChecked(false);
        });
    }
    breakAction = named(optionMenu->addAction(QStringLiteral("Break")), "breakAction");
    connect(breakAction, &QAction::triggered, this, [] { sendBreak(); });
}

void setUpApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("ZelvoTerm"));
    // Desktops match the windows to the menu entry (its icon, its name in the task bar) by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("zelvoterm"));
    QIcon icon;
    for (const int size : {32, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/zelvoterm-%1.png").arg(size), QSize(size, size));
    // The installed theme's icon, where there is one, is the one the menu shows.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zelvoterm"), icon));
}

QString MainWindow::captionFor(const QString& executablePath)
{
    const QDateTime modified = QFileInfo(executablePath).lastModified();
    if (!modified.isValid())
        return kProgramTitle;
    return kProgramTitle + QStringLiteral("  [ Ver.") + modified.toString(QStringLiteral("yyyyMMdd")) +
           QStringLiteral(" ]");
}

void MainWindow::initialise(const SettingsOverrides& overrides)
{
    setWindowTitle(captionFor(QCoreApplication::applicationFilePath()));
    loadSettings();
    applySettingsOverrides(overrides);
    autoReconnectAction->setChecked(autoReconnect);
    commOpen();
    m_monitor->clearLines();
    sendTextBox->clear();
    sendTextBox->setEditText(QString());
    showPortSettings();
    optionMenu->menuAction()->setVisible(false);
    remoteChannelButton->hide();
    placeRightAnchored();
    initButton->show();
    sendBand->show();
    fontPanel->setText(QStringLiteral("Size:%1").arg(m_monitor->font().pointSize()));
    clockPanel->clear();
    m_clockTimer.setSingleShot(true);
    // A coarse timer may fire a little before the half second it is set for.
    m_clockTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_clockTimer, &QTimer::timeout, this, &MainWindow::onClockTick);
    startClockTimer(readLocalClock().msec);
    timeStampBox->setChecked(false);
    deviceLabel->hide();
    toggleSendMode();
    sourceIdPanel->clear();
    destinationIdPanel->clear();
    productIdPanel->clear();
    productIdPanel->hide();
    productIdCaption->hide();
    if (rfRateCode == kRate9600) {
        rate9600Button->setChecked(true);
    } else if (rfRateCode == kRate500k) {
        rate500kButton->setChecked(true);
    } else {
        rate100kButton->setChecked(true);
        rfRateCode = kRate100k;
    }
    deviceBox->setCurrentIndex(2);
    onDeviceChosen();
    deviceBox->setEnabled(false);
    restoreRememberedState();
}

void MainWindow::showFixedColours()
{
    const QPalette& window = palette();
    for (TextPanel* id : {sourceIdPanel, destinationIdPanel, productIdPanel}) {
        QPalette pal = id->palette();
        pal.setColor(QPalette::WindowText, idColour(window));
        id->setPalette(pal);
    }
    QPalette pal = sendModeLabel->palette();
    pal.setColor(QPalette::WindowText,
                 m_binaryMode ? alertColour(window) : window.color(QPalette::WindowText));
    sendModeLabel->setPalette(pal);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // A desktop switched between light and dark while the program runs.
    if (event->type() == QEvent::PaletteChange && sendModeLabel)
        showFixedColours();
}

void MainWindow::restoreRememberedState()
{
    const RememberedState& r = rememberedState;
    if (const auto place = r.places.find(objectName()); place != r.places.end())
        restorePlace(this, place->second);
    QFont font = m_monitor->font();
    if (!r.monitorFont.isEmpty())
        (void)font.fromString(r.monitorFont);
    showMonitorFont(font, r.monitorColour ? QColor::fromRgba(*r.monitorColour) : QColor());
    if (r.timeStamps)
        timeStampBox->setChecked(*r.timeStamps);
    if (r.binaryMode && *r.binaryMode != m_binaryMode)
        toggleSendMode();
    sendTextBox->addItems(r.sendHistory);
    sendTextBox->setEditText(QString());
}

void MainWindow::rememberState()
{
    RememberedState& r = rememberedState;
    r.places[objectName()] = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    for (QWidget* window : toolWindows()) {
        // A window never shown this run has no place of its own yet: the one remembered stays.
        if (window && window->testAttribute(Qt::WA_Moved))
            r.places[window->objectName()] = window->geometry();
    }
    r.monitorFont = m_monitor->font().toString();
    r.monitorColour =
        m_monitorColour.isValid() ? std::optional<uint32_t>(m_monitorColour.rgba()) : std::nullopt;
    r.timeStamps = timeStampBox->isChecked();
    r.binaryMode = m_binaryMode;
    r.sendHistory.clear();
    for (int i = std::max(0, sendTextBox->count() - kRememberedTexts); i < sendTextBox->count(); ++i)
        r.sendHistory << sendTextBox->itemText(i);
}

void MainWindow::createToolWindows()
{
    m_keyPanel = new KeyPanel(this);
    m_surveyPanel = new SurveyPanel(this);
    m_surveyPanel->clearMainMonitor = [this] { m_monitor->clearLines(); };
    connect(m_surveyPanel, &SurveyPanel::runStarted, this,
            [this] { startClockTimer(readLocalClock().msec); });
    m_linkStatsWindow = new LinkStatsWindow(this);
    m_framesWindow = new FramesWindow(this);
    connect(m_framesWindow, &FramesWindow::sendAgainRequested, this, &MainWindow::fillSendLine);
    for (QWidget* window : toolWindows()) {
        if (const auto place = rememberedState.places.find(window->objectName());
            place != rememberedState.places.end())
            restorePlace(window, place->second);
    }
    setSentListener([frames = m_framesWindow](SentKind kind, QByteArrayView bytes) {
        if (!frames)
            return;
        if (kind == SentKind::Frame)
            frames->recordSentFrame(bytes);
        else
            frames->recordSentText(bytes);
    });
}

std::array<QWidget*, 4> MainWindow::toolWindows() const
{
    return {m_keyPanel, m_surveyPanel, m_linkStatsWindow, m_framesWindow};
}

KeyPanel* MainWindow::keyPanel() const
{
    return m_keyPanel;
}

SurveyPanel* MainWindow::surveyPanel() const
{
    return m_surveyPanel;
}

LinkStatsWindow* MainWindow::linkStatsWindow() const
{
    return m_linkStatsWindow;
}

FramesWindow* MainWindow::framesWindow() const
{
    return m_framesWindow;
}

void MainWindow::placeRightAnchored()
{
    const int w = setupBand->width() > 0 ? setupBand->width() : kDesignWidth;
    initButton->move(w - initButton->width() - 8, initButton->y());
    const int sendW = sendBand->width() > 0 ? sendBand->width() : kDesignWidth;
    delimiterBox->move(sendW - (kDesignWidth - 722), delimiterBox->y());
    delimiterLabel->move(delimiterBox->x() + delimiterBox->width() - delimiterLabel->width(),
                         delimiterLabel->y());
    sendTextBox->resize(std::max(60, delimiterBox->x() - 2 - sendTextBox->x()), sendTextBox->height());
    const int recvW = monitorBand->width() > 0 ? monitorBand->width() : kDesignWidth;
    clockPanel->move(recvW - clockPanel->width() - 8, clockPanel->y());
    timeStampBox->move(clockPanel->x() - 8 - timeStampBox->width(), timeStampBox->y());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize &&
        (watched == setupBand || watched == sendBand || watched == monitorBand)) {
        placeRightAnchored();
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == delimiterBox)
                commitSendDelimiter();
            if (watched == sendTextBox || watched == delimiterBox) {
                sendButton->setFocus(Qt::OtherFocusReason);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setPortStatus(const QString& text)
{
    m_statusPanels->setPanelText(0, text);
}

void MainWindow::showModemLines(bool dtrRaised, bool rtsRaised)
{
    dtrAction->setChecked(dtrRaised);
    rtsAction->setChecked(rtsRaised);
    QStringList raised;
    if (dtrRaised)
        raised << QStringLiteral("DTR");
    if (rtsRaised)
        raised << QStringLiteral("RTS");
    modemLinesLabel->setText(raised.join(u' '));
    modemLinesLabel->setVisible(!raised.isEmpty());
}

void MainWindow::setSettingsStatus(const QString& text)
{
    m_statusPanels->setPanelText(1, text);
}

void MainWindow::reportMessage(LinkMessage kind, const QString& text, const QString& caption)
{
    const Dialogs::Icon icon = kind == LinkMessage::OpenFailed ? Dialogs::Icon::Warning : Dialogs::Icon::None;
    dialogs().message(this, text, caption, icon, Dialogs::Buttons::Ok);
}

void MainWindow::onClockTick()
{
    const LocalClockReading now = readLocalClock();
    clockPanel->setText(now.text);
    if (m_surveyPanel)
        m_surveyPanel->onClockTick();
    startClockTimer(now.msec);
}

void MainWindow::startClockTimer(int msec)
{
    // On the whole second, so the panel turns with the second that the time stamps read; on the
    // half second too while a survey runs, which counts its run in ticks of 500 ms. An idle
    // program wakes once a second.
    const int period = m_surveyPanel && m_surveyPanel->running() ? 500 : 1000;
    m_clockTimer.start(period - msec % period);
}

void MainWindow::editCommSettings()
{
    commitSendDelimiter();
    commClose();
    if (runSettingsDialog()) {
        saveSettings();
        showPortSettings();
        return;
    }
    // A port search leaves the state of the last port it probed in the status bar; the port the
    // settings name is closed.
    setPortStatus(commSettings.portName + QStringLiteral(":OFF"));
}

bool MainWindow::runSettingsDialog()
{
    CommSettingsDialog::SearchHooks hooks;
    hooks.sendProbe = [this] {
        sendRfConfig(deviceKind(), channelBox->currentIndex(), powerBox->currentIndex(), selectedRateCode());
    };
    hooks.clearMonitor = [this] { m_monitor->clearLines(); };
    CommSettingsDialog dialog(this, hooks);
    return dialog.exec() == QDialog::Accepted;
}

void MainWindow::onQuitChosen()
{
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    rememberState();
    saveSettings();
    commClose();
    m_log.stop();
    m_log.finish();
    showLogStopped();
    m_clockTimer.stop();
    event->accept();
}

void MainWindow::onAutoReconnectChosen()
{
    autoReconnect = autoReconnectAction->isChecked();
    if (!autoReconnect)
        m_reconnect.stop();
}

void MainWindow::onShowInitButtonChosen()
{
    initButton->setVisible(showInitButtonAction->isChecked());
}

void MainWindow::showSurveyPanel()
{
    if (!m_surveyPanel)
        return;
    m_surveyPanel->show();
    m_surveyPanel->raise();
    m_surveyPanel->activateWindow();
}

void MainWindow::onPadTypeChosen(int keyCount)
{
    if (m_keyPanel)
        m_keyPanel->showType(keyCount);
}

void MainWindow::onStatusBarDoubleClicked()
{
    if (optionMenu->menuAction()->isVisible())
        return;
    optionMenu->menuAction()->setVisible(true);
    setChannelButton->setText(QStringLiteral("My RFch"));
    remoteChannelButton->show();
    productIdCaption->show();
    productIdPanel->show();
}
