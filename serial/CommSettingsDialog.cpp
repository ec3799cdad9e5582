#include "CommSettingsDialog.h"

#include "CommPort.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "FrameAssembler.h"
#include "MakeChild.h"
#include "PortSearch.h"
#include "Progress.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTreeView>

namespace {
QComboBox* combo(QWidget* parent, const char* name, QPoint at, int width, const QStringList& items)
{
    auto* c = makeChild<QComboBox>(parent, name, {at, QSize(width, 20)});
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    return c;
}

QLabel* label(QWidget* parent, const char* name, QPoint at, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->move(at);
    l->adjustSize();
    return l;
}

// The columns of the port list: the name, which the box takes, then what tells adapters apart.
const QStringList kPortColumns{QStringLiteral("Port"),         QStringLiteral("Product"),
                               QStringLiteral("Manufacturer"), QStringLiteral("Serial No."),
                               QStringLiteral("VID:PID"),      QStringLiteral("/dev/serial/by-id/")};

// A whole number as the settings hold it; nothing for any other text.
std::optional<int32_t> wholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int32_t>(value) : std::nullopt;
}
} // namespace

CommSettingsDialog::CommSettingsDialog(QWidget* owner, SearchHooks hooks)
    : QDialog(owner), m_hooks(std::move(hooks))
{
    setObjectName(QStringLiteral("frmCom"));
    setWindowTitle(QStringLiteral("通信ﾊﾟﾗﾒｰﾀ設定"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(368, 208);
    setFont(uiFont());

    auto* gbxParam = makeChild<QGroupBox>(this, "gbxParam", {8, 8, 201, 145});
    gbxParam->setTitle(QStringLiteral("通信ﾊﾟﾗﾒｰﾀ"));
    btnPort = makeChild<QPushButton>(gbxParam, "btnPort", {8, 19, 65, 22});
    btnPort->setText(QStringLiteral("接続ポート"));
    cmbPort = combo(gbxParam, "cmbPort", {80, 20}, 109, {});
    setUpPortList();
    label(gbxParam, "lblBound", {16, 48}, QStringLiteral("ﾎﾞｰﾚｰﾄ"));
    QStringList rates;
    for (const int32_t rate : kBitRates)
        rates << QString::number(rate);
    cmbBound = combo(gbxParam, "cmbBound", {80, 44}, 109, rates);
    label(gbxParam, "lblDatBit", {16, 72}, QStringLiteral("ﾃﾞｰﾀﾋﾞｯﾄ"));
    cmbDatBit = combo(gbxParam, "cmbDatBit", {80, 68}, 109, {"7", "8"});
    label(gbxParam, "lblParity", {16, 96}, QStringLiteral("ﾊﾟﾘﾃｨﾁｪｯｸ"));
    cmbParity = combo(gbxParam, "cmbParity", {80, 92}, 109, {"NONE", "ODD", "EVEN"});
    label(gbxParam, "lblStopBit", {16, 120}, QStringLiteral("ｽﾄｯﾌﾟﾋﾞｯﾄ"));
    cmbStopBit = combo(gbxParam, "cmbStopBit", {80, 116}, 109, {"1", "2"});

    auto* gbxSend = makeChild<QGroupBox>(this, "gbxSend", {216, 8, 145, 70});
    gbxSend->setTitle(QStringLiteral("送信ﾃﾞｰﾀ付加情報"));
    label(gbxSend, "lblSendHead", {16, 24}, QStringLiteral("ﾍｯﾀﾞｰ"));
    cmbSendHead = combo(gbxSend, "cmbSendHead", {64, 20}, 65,
                        {QStringLiteral("無し"), QStringLiteral("STX"), QStringLiteral("SOH")});
    label(gbxSend, "lblSendDlmt", {16, 48}, QStringLiteral("ﾃﾞﾘﾐﾀ"));
    cmbSendDlmt =
        combo(gbxSend, "cmbSendDlmt", {64, 44}, 65,
              {QStringLiteral("無し"), QStringLiteral("ETX"), QStringLiteral("CR"), QStringLiteral("LF"),
               QStringLiteral("CRLF"), QStringLiteral("ACK"), QStringLiteral("NAK")});

    auto* gbxRecv = makeChild<QGroupBox>(this, "gbxRecv", {216, 83, 145, 70});
    gbxRecv->setTitle(QStringLiteral("受信ﾃﾞｰﾀ付加情報"));
    label(gbxRecv, "lblRecvDlmt", {16, 24}, QStringLiteral("ﾃﾞﾘﾐﾀ"));
    cmbRecvDlmt =
        combo(gbxRecv, "cmbRecvDlmt", {64, 20}, 65,
              {QStringLiteral("無し"), QStringLiteral("ETX"), QStringLiteral("CR"), QStringLiteral("LF"),
               QStringLiteral("CRLF"), QStringLiteral("ALL(制御コード全般)")});
    label(gbxRecv, "lblRecvTout", {16, 48}, QStringLiteral("ﾀｲﾑｱｳﾄ"));
    edtRecvTout = makeChild<QLineEdit>(gbxRecv, "edtRecvTout", {64, 44, 49, 20});
    label(gbxRecv, "lblRecvToutUnit", {120, 48}, QStringLiteral("mS"));

    prgBar = makeChild<QProgressBar>(this, "prgBar", {8, 172, 201, 17});
    prgBar->setTextVisible(false);
    btnOK = makeChild<QPushButton>(this, "btnOK", {216, 160, 57, 41});
    btnOK->setText(QStringLiteral("OK"));
    btnOK->setToolTip(QStringLiteral("設定の確定"));
    btnOK->setDefault(true);
    btnCancel = makeChild<QPushButton>(this, "btnCancel", {304, 160, 57, 41});
    btnCancel->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    btnCancel->setToolTip(QStringLiteral("設定のｷｬﾝｾﾙ"));

    connect(btnOK, &QPushButton::clicked, this, &CommSettingsDialog::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &CommSettingsDialog::btnCancelClick);
    connect(btnPort, &QPushButton::clicked, this, &CommSettingsDialog::btnPortClick);
}

void CommSettingsDialog::setUpPortList()
{
    // A table as the box's list: the box itself shows and takes the name column only, so the
    // stored setting stays the port name.
    m_ports = new QStandardItemModel(0, int(kPortColumns.size()), cmbPort);
    m_ports->setHorizontalHeaderLabels(kPortColumns);
    auto* view = new QTreeView(cmbPort);
    view->setObjectName(QStringLiteral("portList"));
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setAllColumnsShowFocus(true);
    view->setUniformRowHeights(true);
    view->header()->setStretchLastSection(false);
    view->header()->setSectionsClickable(false);
    cmbPort->setModel(m_ports);
    cmbPort->setView(view);
    cmbPort->setModelColumn(0);
    auto* watcher = new PortWatcher(this);
    watcher->setObjectName(QStringLiteral("portWatcher"));
    connect(watcher, &PortWatcher::portsChanged, this, &CommSettingsDialog::refreshPortList);
}

void CommSettingsDialog::addPortRow(const PortInfo& port)
{
    QList<QStandardItem*> row;
    for (const QString& text : {port.name, port.product, port.manufacturer, port.serialNumber, port.usbIds,
                                QFileInfo(port.stableLink).fileName()}) {
        auto* item = new QStandardItem(text);
        item->setEditable(false);
        row << item;
    }
    row.last()->setToolTip(port.stableLink);
    m_ports->appendRow(row);
}

void CommSettingsDialog::fitPortPopup()
{
    // Columns no port fills are hidden, and with them the header when only names are left; the
    // list is as wide as its columns, however narrow the box.
    auto* view = static_cast<QTreeView*>(cmbPort->view());
    bool details = false;
    for (int column = 1; column < m_ports->columnCount(); ++column) {
        bool used = false;
        for (int row = 0; row < m_ports->rowCount() && !used; ++row)
            used = !m_ports->item(row, column)->text().isEmpty();
        view->setColumnHidden(column, !used);
        details = details || used;
    }
    view->setHeaderHidden(!details);
    int width = 2 * view->frameWidth() + view->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < m_ports->columnCount(); ++column) {
        if (view->isColumnHidden(column))
            continue;
        view->resizeColumnToContents(column);
        width += view->columnWidth(column);
    }
    view->setMinimumWidth(width);
}

void CommSettingsDialog::refreshPortList()
{
    // The search fills the list itself, and its result stays until the dialog closes.
    if (m_searching || m_searchResultShown)
        return;
    QLineEdit* edit = cmbPort->lineEdit();
    const QString typed = edit->text();
    const int cursor = edit->cursorPosition();
    m_ports->removeRows(0, m_ports->rowCount());
    for (const PortInfo& port : AvailablePorts())
        addPortRow(port);
    fitPortPopup();
    // The list opens on the port typed, when it is there.
    cmbPort->setCurrentIndex(cmbPort->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive));
    edit->setText(typed);
    edit->setCursorPosition(cursor);
}

void CommSettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
}

void CommSettingsDialog::FormShow()
{
    m_searchResultShown = false;
    fillControls();
    refreshPortList();
    prgBar->hide();
    OpenErrorReport = 1;
}

void CommSettingsDialog::fillControls()
{
    const TCommSettings& s = CommSettings;
    cmbPort->setEditText(s.PortName);
    cmbBound->setEditText(QString::number(s.BaudRate));
    cmbDatBit->setEditText(QString::number(s.ByteSize));
    cmbStopBit->setEditText(QString::number(s.StopBits));
    cmbParity->setEditText(s.Parity__);
    cmbSendHead->setEditText(s.SendHead);
    cmbSendDlmt->setEditText(s.SendDlmt);
    cmbRecvDlmt->setEditText(s.RecvDlmt);
    edtRecvTout->setText(QString::number(s.RecvTout));
}

void CommSettingsDialog::btnOKClick()
{
    // Every number is checked before anything is applied: a half-applied record would later
    // save a port name nobody confirmed.
    std::array<int32_t, 3> numbers{};
    const std::array<QComboBox*, 3> numberBoxes{cmbBound, cmbDatBit, cmbStopBit};
    for (size_t i = 0; i < numberBoxes.size(); ++i) {
        const auto value = wholeNumber(numberBoxes[i]->currentText());
        if (!value) {
            showError(this, QStringLiteral("'%1' は整数ではありません").arg(numberBoxes[i]->currentText()));
            numberBoxes[i]->setFocus();
            return;
        }
        numbers[i] = *value;
    }
    const TCommSettings kept = CommSettings;
    TCommSettings& s = CommSettings;
    s.PortName = cmbPort->currentText();
    s.BaudRate = numbers[0];
    s.ByteSize = numbers[1];
    s.StopBits = numbers[2];
    s.Parity__ = cmbParity->currentText();
    s.SendHead = cmbSendHead->currentText();
    s.SendDlmt = cmbSendDlmt->currentText();
    s.RecvDlmt = cmbRecvDlmt->currentText();
    s.RecvTout = wholeNumber(edtRecvTout->text()).value_or(100);
    OpenErrorReport = 1;
    if (CommOpen()) {
        accept();
        return;
    }
    CommSettings = kept;
    fillControls();
}

void CommSettingsDialog::btnCancelClick()
{
    reject();
}

void CommSettingsDialog::reject()
{
    // The search holds the port; it ends by itself and the dialog can close after it.
    if (!m_searching)
        QDialog::reject();
}

void CommSettingsDialog::setSearching(bool searching)
{
    m_searching = searching;
    for (QPushButton* b : {btnPort, btnOK, btnCancel})
        b->setEnabled(!searching);
}

void CommSettingsDialog::btnPortClick()
{
    if (dialogs().message(this, QStringLiteral("Connect the USB to Serial Cable"),
                          QStringLiteral("COM Port Search"), Dialogs::Icon::Warning,
                          Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return;
    if (m_hooks.clearMonitor)
        m_hooks.clearMonitor();
    const QList<PortInfo> candidates = AvailablePorts();
    setSearching(true);
    setProgressRange(prgBar, int(candidates.size()));
    prgBar->setValue(0);
    prgBar->show();
    m_ports->removeRows(0, m_ports->rowCount());
    RecvFrame.RecvState = 0;
    AnswerFlag = 0;
    // The probes open ports through the settings; the result goes only into the port box, for
    // OK to take or Cancel to drop.
    const TCommSettings kept = CommSettings;
    QString proposed = CommSettings.PortName;
    OpenErrorReport = 0;
    qsizetype stoppedAt = candidates.size();
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        prgBar->setValue(int(i));
        const QString& name = candidates[i].name;
        CommSettings.PortName = name;
        cmbPort->setEditText(name);
        if (CommOpen()) {
            addPortRow(candidates[i]);
            fitPortPopup();
            cmbPort->setEditText(name);
            proposed = name;
            if (m_hooks.sendProbe)
                m_hooks.sendProbe();
            WaitForAnswer(2000);
            CommClose();
            if (AnswerFlag) {
                stoppedAt = i;
                break;
            }
        }
        WaitForAnswer(100);
    }
    prgBar->setValue(stoppedAt == candidates.size() ? prgBar->maximum() : int(stoppedAt));
    CommSettings = kept;
    OpenErrorReport = 1;
    cmbPort->setEditText(proposed);
    m_searchResultShown = true;
    setSearching(false);
    if (AnswerFlag)
        dialogs().message(this, QStringLiteral("A connection has been found on ") + proposed,
                          QStringLiteral("Completed"), Dialogs::Icon::None, Dialogs::Buttons::Ok);
    else
        dialogs().message(this, QStringLiteral("COM port Not found"), QStringLiteral("Warnning"),
                          Dialogs::Icon::None, Dialogs::Buttons::Ok);
    prgBar->hide();
}
