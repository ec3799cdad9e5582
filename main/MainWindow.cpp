#include "MainWindow.h"

#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "CommSettingsDialog.h"
#include "DeviceSetup.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "IdPanel.h"
#include "KeyPanel.h"
#include "LinkStatsWindow.h"
#include "MakeChild.h"
#include "MonitorView.h"
#include "SendLine.h"
#include "SettingsFile.h"
#include "SurveyPanel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include <limits>

MainWindow* frmMain = nullptr;

namespace {
// The design's client width: controls anchored to the right keep their distance to it.
constexpr int kDesignWidth = 793;
// The design's gap between two bit-rate buttons, and after the last one.
constexpr int kRateGap = 6;

IdPanel* idPanel(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* p = makeChild<IdPanel>(parent, name, geometry);
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Sunken);
    QFont f = p->font();
    f.setBold(true);
    f.setPixelSize(15);
    p->setFont(f);
    QPalette pal = p->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    p->setPalette(pal);
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
    frmMain = this;
    setObjectName(QStringLiteral("frmMain"));
    setFont(uiFont());

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    pnlTop = new QFrame(central);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setFixedHeight(61);
    pnlSend = new QFrame(central);
    pnlSend->setObjectName(QStringLiteral("pnlSend"));
    pnlSend->setFixedHeight(48);
    pnlRecv = new QFrame(central);
    pnlRecv->setObjectName(QStringLiteral("pnlRecv"));
    pnlRecv->setFixedHeight(30);
    for (QWidget* band : {pnlTop, pnlSend, pnlRecv}) {
        static_cast<QFrame*>(band)->setFrameShape(QFrame::Panel);
        static_cast<QFrame*>(band)->setFrameShadow(QFrame::Raised);
        band->installEventFilter(this);
        column->addWidget(band);
    }
    memoRecv = new MonitorView(central);
    memoRecv->setObjectName(QStringLiteral("memoRecv"));
    memoRecv->setFont(monitorFont());
    column->addWidget(memoRecv, 1);
    setCentralWidget(central);

    buildTopBand(pnlTop);
    buildSendBand(pnlSend);
    buildRecvBand(pnlRecv);

    sBar = new PanelStatusBar(2, 70, this);
    sBar->setObjectName(QStringLiteral("sBar"));
    sBar->setFixedHeight(19);
    setStatusBar(sBar);
    connect(sBar, &PanelStatusBar::doubleClicked, this, &MainWindow::sBarDblClick);
    lblLog = new QLabel(sBar);
    lblLog->setObjectName(QStringLiteral("lblLog"));
    lblLog->hide();
    sBar->addPermanentWidget(lblLog);
    tmLog.setInterval(SessionLog::kFlushMs);
    connect(&tmLog, &QTimer::timeout, this, &MainWindow::tmLogTimer);

    buildMenu();
    resize(kDesignWidth, 507 + menuBar()->sizeHint().height());
    if (const QScreen* screen = this->screen()) {
        QRect placed = frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }
    setCommView(this);
    FormCreate(overrides);
}

MainWindow::~MainWindow()
{
    if (frmMain == this)
        frmMain = nullptr;
    if (&commView() == this)
        setCommView(nullptr);
}

void MainWindow::buildTopBand(QWidget* band)
{
    cmbRFch = makeChild<QComboBox>(band, "cmbRFch", {4, 8, 57, 21});
    cmbRFpw = makeChild<QComboBox>(band, "cmbRFpw", {4, 32, 57, 21});
    btnRFch = makeChild<QPushButton>(band, "btnRFch", {68, 8, 57, 21});
    btnRFch->setText(QStringLiteral("Set RFch"));
    btnToRFch = makeChild<QPushButton>(band, "btnToRFch", {68, 32, 57, 21});
    btnToRFch->setText(QStringLiteral("To RFch"));
    lblSrcID = boldLabel(band, "lblSrcID", {140, 16, 109, 12}, QStringLiteral("Src. Device ID"));
    pnlSrcID = idPanel(band, "pnlSrcID", {140, 32, 109, 21});
    lblDstID = boldLabel(band, "lblDstID", {256, 16, 109, 12}, QStringLiteral("Dst. Device ID"));
    pnlDstID = idPanel(band, "pnlDstID", {256, 32, 109, 21});
    lblProID = boldLabel(band, "lblProID", {372, 16, 109, 12}, QStringLiteral("Product ID"));
    pnlProID = idPanel(band, "pnlProID", {372, 32, 109, 21});
    pnlRFBps = makeChild<QFrame>(band, "pnlRFBps", {492, 4, 157, 25});
    rb9600 = makeChild<QRadioButton>(pnlRFBps, "rb9600", {4, 4, 45, 17});
    rb9600->setText(QStringLiteral("9600"));
    rb100k = makeChild<QRadioButton>(pnlRFBps, "rb100k", {55, 4, 45, 17});
    rb100k->setText(QStringLiteral("100k"));
    rb500k = makeChild<QRadioButton>(pnlRFBps, "rb500k", {106, 4, 45, 17});
    rb500k->setText(QStringLiteral("500k"));
    // Each caption gets the room it needs, the next button keeping the design's gap after it.
    int next = 0;
    for (QRadioButton* rate : {rb9600, rb100k, rb500k}) {
        growToCaption(rate);
        rate->move(std::max(rate->x(), next), rate->y());
        next = rate->geometry().right() + 1 + kRateGap;
    }
    pnlRFBps->resize(std::max(pnlRFBps->width(), next), pnlRFBps->height());
    cmbDevice = makeChild<QComboBox>(band, "cmbDevice", {492, 32, 157, 21});
    cmbDevice->addItems(
        {QStringLiteral("Vinta-24A"), QStringLiteral("Vinta-24B"), QStringLiteral("920MHz(Vinta-C)")});
    lblDevice = makeChild<QLabel>(band, "lblDevice", {652, 12, 79, 12});
    lblDevice->setText(QStringLiteral("Device Name"));
    QFont bold = lblDevice->font();
    bold.setBold(true);
    lblDevice->setFont(bold);
    btnInit = makeChild<QPushButton>(band, "btnInit", {kDesignWidth - 45 - 8, 6, 45, 41});
    btnInit->setText(QStringLiteral("Init"));

    connect(btnRFch, &QPushButton::clicked, this, &MainWindow::btnRFchClick);
    connect(btnToRFch, &QPushButton::clicked, this, &MainWindow::btnToRFchClick);
    connect(btnInit, &QPushButton::clicked, this, &MainWindow::btnInitClick);
    connect(cmbDevice, &QComboBox::activated, this, &MainWindow::cmbDeviceCloseUp);
}

void MainWindow::buildSendBand(QWidget* band)
{
    btnSend = makeChild<QPushButton>(band, "btnSend", {4, 4, 45, 37});
    btnSend->setText(QStringLiteral("Send"));
    btnSend->setAutoDefault(true);
    Label1 = makeChild<ClickLabel>(band, "Label1", {56, 6, 30, 14});
    Label1->setText(QStringLiteral("MsgID"));
    edtMsgID = makeChild<QLineEdit>(band, "edtMsgID", {56, 20, 29, 20});
    edtMsgID->setText(QStringLiteral("00"));
    lblSendSrcID = makeChild<ClickLabel>(band, "lblSendSrcID", {96, 6, 40, 14});
    lblSendSrcID->setText(QStringLiteral("SrcID"));
    edtSrcID = makeChild<QLineEdit>(band, "edtSrcID", {92, 20, 77, 20});
    edtSrcID->setText(QStringLiteral("FF FF FF FF"));
    Label4 = makeChild<QLabel>(band, "Label4", {180, 6, 40, 14});
    Label4->setText(QStringLiteral("DstID"));
    edtDstID = makeChild<QLineEdit>(band, "edtDstID", {176, 20, 77, 20});
    edtDstID->setText(QStringLiteral("FF FF FF FF"));
    lblSendText = makeChild<ClickLabel>(band, "lblSendText", {264, 6, 60, 14});
    lblSendText->setText(QStringLiteral("Text"));
    cmbSend = editableCombo(band, "cmbSend", {260, 20, 460, 20});
    // A line edit cuts its text at 32767 characters by default, without a word; the send line
    // takes and sends the whole text.
    cmbSend->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    lblSendDlmt = makeChild<QLabel>(band, "lblSendDlmt", {kDesignWidth - 63 - 40, 6, 40, 14});
    lblSendDlmt->setText(QStringLiteral("Delimit"));
    lblSendDlmt->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    growToCaption(lblSendDlmt);
    // Captions take the width their text needs, as the form's auto-sized labels do.
    for (QLabel* caption : {static_cast<QLabel*>(Label1), static_cast<QLabel*>(lblSendSrcID), Label4})
        caption->resize(caption->sizeHint().width(), 14);
    cmbSendDlmt = editableCombo(band, "cmbSendDlmt", {722, 20, 57, 20});
    cmbSendDlmt->addItems(kDelimiterNames);

    Label1->setToolTip(QStringLiteral("Click: Monitor Clear"));
    lblSendText->setToolTip(QStringLiteral("Click: Text / Binary"));
    cmbSend->lineEdit()->installEventFilter(this);
    cmbSendDlmt->lineEdit()->installEventFilter(this);
    connect(btnSend, &QPushButton::clicked, this, &MainWindow::btnSendClick);
    connect(Label1, &ClickLabel::clicked, this, &MainWindow::btnClearClick);
    connect(lblSendText, &ClickLabel::clicked, this, &MainWindow::lblSendTextClick);
    connect(lblSendSrcID, &ClickLabel::doubleClicked, this, &MainWindow::lblSendSrcIDDblClick);
    connect(cmbSendDlmt, &QComboBox::currentTextChanged, this, &MainWindow::cmbSendDlmtChange);
}

void MainWindow::buildRecvBand(QWidget* band)
{
    btnClear = makeChild<QPushButton>(band, "btnClear", {4, 4, 85, 22});
    btnClear->setText(QStringLiteral("Monitor Clear"));
    pnlCom = sunkenPanel(band, "pnlCom", {96, 6, 73, 18});
    pnlBps = sunkenPanel(band, "pnlBps", {172, 6, 73, 18});
    pnlFont = sunkenPanel(band, "pnlFont", {248, 6, 73, 18});
    pnlClock = makeChild<QLabel>(band, "pnlClock", {kDesignWidth - 125 - 8, 4, 125, 21});
    pnlClock->setAlignment(Qt::AlignCenter);
    pnlClock->setAutoFillBackground(true);
    QPalette pal = pnlClock->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::yellow);
    pnlClock->setPalette(pal);
    // Fixed-pitch digits: the full date and time fits the panel's 125 pixels.
    QFont clockFont(installedFamily(
        {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")}));
    clockFont.setPixelSize(12);
    pnlClock->setFont(clockFont);
    ckLogTime = makeChild<QCheckBox>(band, "ckLogTime", {pnlClock->x() - 8 - 61, 8, 61, 17});
    ckLogTime->setText(QStringLiteral("LogTime"));
    ckLogTime->setLayoutDirection(Qt::RightToLeft);
    growToCaption(ckLogTime);

    pnlCom->setToolTip(QStringLiteral("Double-click: 通信設定"));
    pnlBps->setToolTip(pnlCom->toolTip());
    pnlFont->setToolTip(QStringLiteral("Double-click: Font"));
    connect(btnClear, &QPushButton::clicked, this, &MainWindow::btnClearClick);
    connect(pnlCom, &ClickLabel::doubleClicked, this, &MainWindow::mmComPortClick);
    connect(pnlBps, &ClickLabel::doubleClicked, this, &MainWindow::mmComPortClick);
    connect(pnlFont, &ClickLabel::doubleClicked, this, &MainWindow::pnlFontDblClick);
}

void MainWindow::buildMenu()
{
    auto named = [](QAction* a, const char* name) {
        a->setObjectName(QLatin1String(name));
        return a;
    };
    mmFile = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ (&File)"));
    mmFile->setObjectName(QStringLiteral("mmFile"));
    connect(named(mmFile->addAction(QStringLiteral("開く (&Open)")), "mmOpen"), &QAction::triggered, this,
            &MainWindow::mmOpenClick);
    connect(named(mmFile->addAction(QStringLiteral("名前を付けて保存 (Save &As)")), "mmSave"),
            &QAction::triggered, this, &MainWindow::mmSaveClick);
    mmLog = named(mmFile->addAction(QStringLiteral("ログ記録 (&Log)...")), "mmLog");
    mmLog->setCheckable(true);
    connect(mmLog, &QAction::triggered, this, &MainWindow::mmLogClick);
    named(mmFile->addSeparator(), "N2");
    connect(named(mmFile->addAction(QStringLiteral("通信設定 (&ComPort)")), "mmComPort"), &QAction::triggered,
            this, &MainWindow::mmComPortClick);
    named(mmFile->addSeparator(), "N1");
    connect(named(mmFile->addAction(QStringLiteral("終了 (&Quit)")), "mmQuit"), &QAction::triggered, this,
            &MainWindow::mmQuitClick);

    mmOption = menuBar()->addMenu(QStringLiteral("その他 (&Option)"));
    mmOption->setObjectName(QStringLiteral("mmOption"));
    mmRem = mmOption->addMenu(QStringLiteral("Remocon Panel"));
    mmRem->setObjectName(QStringLiteral("mmRem"));
    for (const int keys : {2, 4, 8, 18, 27, 32, 48, 70}) {
        const QString caption = QStringLiteral("Pad%1").arg(keys, 2, 10, QLatin1Char('0'));
        QAction* pad = mmRem->addAction(caption);
        pad->setObjectName(QStringLiteral("mm") + caption);
        connect(pad, &QAction::triggered, this, [this, keys] { mmPadClick(keys); });
    }
    connect(named(mmOption->addAction(QStringLiteral("Survey Panel")), "mmSurvey"), &QAction::triggered, this,
            &MainWindow::mmSurveyClick);
    connect(named(mmOption->addAction(QStringLiteral("Link Statistics")), "mmLinkStats"), &QAction::triggered,
            this, [] {
                if (frmLinkStats)
                    frmLinkStats->showInFront();
            });
    mmViewInitBtn = named(mmOption->addAction(QStringLiteral("View Initilize Button")), "mmViewInitBtn");
    mmViewInitBtn->setCheckable(true);
    connect(mmViewInitBtn, &QAction::triggered, this, &MainWindow::mmViewInitBtnClick);
    mmAutoReconnect =
        named(mmOption->addAction(QStringLiteral("自動再接続 (Auto &Reconnect)")), "mmAutoReconnect");
    mmAutoReconnect->setCheckable(true);
    connect(mmAutoReconnect, &QAction::triggered, this, &MainWindow::mmAutoReconnectClick);
}

void InitApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("ZelvoTerm"));
}

QString MainWindow::captionFor(const QString& executablePath)
{
    const QDateTime modified = QFileInfo(executablePath).lastModified();
    if (!modified.isValid())
        return kProgramTitle;
    return kProgramTitle + QStringLiteral("  [ Ver.") + modified.toString(QStringLiteral("yyyyMMdd")) +
           QStringLiteral(" ]");
}

void MainWindow::FormCreate(const SettingsOverrides& overrides)
{
    setWindowTitle(captionFor(QCoreApplication::applicationFilePath()));
    LoadSettings();
    ApplySettingsOverrides(overrides);
    mmAutoReconnect->setChecked(AutoReconnect);
    CommOpen();
    memoRecv->clearLines();
    cmbSend->clear();
    cmbSend->setEditText(QString());
    ShowPortSettings();
    mmOption->menuAction()->setVisible(false);
    btnToRFch->hide();
    placeRightAnchored();
    btnInit->show();
    pnlSend->show();
    pnlFont->setText(QStringLiteral("Size:%1").arg(memoRecv->font().pointSize()));
    pnlClock->clear();
    tmClock.setInterval(500);
    connect(&tmClock, &QTimer::timeout, this, &MainWindow::tmClockTimer);
    tmClock.start();
    ckLogTime->setChecked(false);
    lblDevice->hide();
    lblSendTextClick();
    pnlSrcID->clear();
    pnlDstID->clear();
    pnlProID->clear();
    pnlProID->hide();
    lblProID->hide();
    if (RFRateCode == kRate9600) {
        rb9600->setChecked(true);
    } else if (RFRateCode == kRate500k) {
        rb500k->setChecked(true);
    } else {
        rb100k->setChecked(true);
        RFRateCode = kRate100k;
    }
    cmbDevice->setCurrentIndex(2);
    cmbDeviceCloseUp();
    cmbDevice->setEnabled(false);
}

void MainWindow::createToolWindows()
{
    new KeyPanel(this);
    auto* survey = new SurveyPanel(this);
    survey->clearMainMonitor = [this] { memoRecv->clearLines(); };
    new LinkStatsWindow(this);
}

void MainWindow::placeRightAnchored()
{
    const int w = pnlTop->width() > 0 ? pnlTop->width() : kDesignWidth;
    btnInit->move(w - btnInit->width() - 8, btnInit->y());
    const int sendW = pnlSend->width() > 0 ? pnlSend->width() : kDesignWidth;
    cmbSendDlmt->move(sendW - (kDesignWidth - 722), cmbSendDlmt->y());
    lblSendDlmt->move(cmbSendDlmt->x() + cmbSendDlmt->width() - lblSendDlmt->width(), lblSendDlmt->y());
    cmbSend->resize(std::max(60, cmbSendDlmt->x() - 2 - cmbSend->x()), cmbSend->height());
    const int recvW = pnlRecv->width() > 0 ? pnlRecv->width() : kDesignWidth;
    pnlClock->move(recvW - pnlClock->width() - 8, pnlClock->y());
    ckLogTime->move(pnlClock->x() - 8 - ckLogTime->width(), ckLogTime->y());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && (watched == pnlTop || watched == pnlSend || watched == pnlRecv)) {
        placeRightAnchored();
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == cmbSendDlmt->lineEdit())
                CommitSendDelimiter();
            if (watched == cmbSend->lineEdit() || watched == cmbSendDlmt->lineEdit()) {
                btnSend->setFocus(Qt::OtherFocusReason);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setPortStatus(const QString& text)
{
    sBar->setPanelText(0, text);
}

void MainWindow::setSettingsStatus(const QString& text)
{
    sBar->setPanelText(1, text);
}

void MainWindow::tmClockTimer()
{
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    if (now != pnlClock->text())
        pnlClock->setText(now);
    if (frmSurvey)
        frmSurvey->SurveyTick();
}

void MainWindow::mmComPortClick()
{
    CommitSendDelimiter();
    CommClose();
    if (runSettingsDialog()) {
        SaveSettings();
        ShowPortSettings();
        return;
    }
    // A port search leaves the state of the last port it probed in the status bar; the port the
    // settings name is closed.
    setPortStatus(CommSettings.PortName + QStringLiteral(":OFF"));
}

bool MainWindow::runSettingsDialog()
{
    CommSettingsDialog::SearchHooks hooks;
    hooks.sendProbe = [this] {
        SendRFConfig(deviceKind(), cmbRFch->currentIndex(), cmbRFpw->currentIndex(), SelectedRateCode());
    };
    hooks.clearMonitor = [this] { memoRecv->clearLines(); };
    CommSettingsDialog dialog(this, hooks);
    return dialog.exec() == QDialog::Accepted;
}

void MainWindow::mmQuitClick()
{
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    SaveSettings();
    CommClose();
    m_log.stop();
    m_log.finish();
    showLogStopped();
    tmClock.stop();
    event->accept();
}

void MainWindow::mmAutoReconnectClick()
{
    AutoReconnect = mmAutoReconnect->isChecked();
    if (!AutoReconnect)
        m_reconnect.stop();
}

void MainWindow::mmViewInitBtnClick()
{
    btnInit->setVisible(mmViewInitBtn->isChecked());
}

void MainWindow::mmSurveyClick()
{
    if (!frmSurvey)
        return;
    frmSurvey->show();
    frmSurvey->raise();
    frmSurvey->activateWindow();
}

void MainWindow::mmPadClick(int keyCount)
{
    if (frmRem)
        frmRem->showType(keyCount);
}

void MainWindow::sBarDblClick()
{
    if (mmOption->menuAction()->isVisible())
        return;
    mmOption->menuAction()->setVisible(true);
    btnRFch->setText(QStringLiteral("My RFch"));
    btnToRFch->show();
    lblProID->show();
    pnlProID->show();
}
