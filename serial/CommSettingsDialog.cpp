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
    setObjectName(QStringLiteral("commSettingsDialog"));
    setWindowTitle(QStringLiteral("通信ﾊﾟﾗﾒｰﾀ設定"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(368, 208);
    setFont(uiFont());

    auto* portParametersGroup = makeChild<QGroupBox>(this, "portParametersGroup", {8, 8, 201, 145});
    portParametersGroup->setTitle(QStringLiteral("通信ﾊﾟﾗﾒｰﾀ"));
    portSearchButton = makeChild<QPushButton>(portParametersGroup, "portSearchButton", {8, 19, 65, 22});
    portSearchButton->setText(QStringLiteral("接続ポート"));
    portBox = combo(portParametersGroup, "portBox", {80, 20}, 109, {});
    setUpPortList();
    label(portParametersGroup, "bitRateLabel", {16, 48}, QStringLiteral("ﾎﾞｰﾚｰﾄ"));
    bitRateBox = combo(portParametersGroup, "bitRateBox", {80, 44}, 109, bitRateTexts());
    label(portParametersGroup, "dataBitsLabel", {16, 72}, QStringLiteral("ﾃﾞｰﾀﾋﾞｯﾄ"));
    dataBitsBox = combo(portParametersGroup, "dataBitsBox", {80, 68}, 109, {"7", "8"});
    label(portParametersGroup, "parityLabel", {16, 96}, QStringLiteral("ﾊﾟﾘﾃｨﾁｪｯｸ"));
    parityBox = combo(portParametersGroup, "parityBox", {80, 92}, 109, {"NONE", "ODD", "EVEN"});
    label(portParametersGroup, "stopBitsLabel", {16, 120}, QStringLiteral("ｽﾄｯﾌﾟﾋﾞｯﾄ"));
    stopBitsBox = combo(portParametersGroup, "stopBitsBox", {80, 116}, 109, {"1", "2"});

    auto* sendFramingGroup = makeChild<QGroupBox>(this, "sendFramingGroup", {216, 8, 145, 70});
    sendFramingGroup->setTitle(QStringLiteral("送信ﾃﾞｰﾀ付加情報"));
    label(sendFramingGroup, "sendHeaderLabel", {16, 24}, QStringLiteral("ﾍｯﾀﾞｰ"));
    sendHeaderBox = combo(sendFramingGroup, "sendHeaderBox", {64, 20}, 65,
                          {QStringLiteral("無し"), QStringLiteral("STX"), QStringLiteral("SOH")});
    label(sendFramingGroup, "sendDelimiterLabel", {16, 48}, QStringLiteral("ﾃﾞﾘﾐﾀ"));
    sendDelimiterBox =
        combo(sendFramingGroup, "sendDelimiterBox", {64, 44}, 65,
              {QStringLiteral("無し"), QStringLiteral("ETX"), QStringLiteral("CR"), QStringLiteral("LF"),
               QStringLiteral("CRLF"), QStringLiteral("ACK"), QStringLiteral("NAK")});

    auto* receiveFramingGroup = makeChild<QGroupBox>(this, "receiveFramingGroup", {216, 83, 145, 70});
    receiveFramingGroup->setTitle(QStringLiteral("受信ﾃﾞｰﾀ付加情報"));
    label(receiveFramingGroup, "receiveDelimiterLabel", {16, 24}, QStringLiteral("ﾃﾞﾘﾐﾀ"));
    receiveDelimiterBox =
        combo(receiveFramingGroup, "receiveDelimiterBox", {64, 20}, 65,
              {QStringLiteral("無し"), QStringLiteral("ETX"), QStringLiteral("CR"), QStringLiteral("LF"),
               QStringLiteral("CRLF"), QStringLiteral("ALL(制御コード全般)")});
    label(receiveFramingGroup, "receiveTimeoutLabel", {16, 48}, QStringLiteral("ﾀｲﾑｱｳﾄ"));
    receiveTimeoutEdit = makeChild<QLineEdit>(receiveFramingGroup, "receiveTimeoutEdit", {64, 44, 49, 20});
    label(receiveFramingGroup, "receiveTimeoutUnitLabel", {120, 48}, QStringLiteral("mS"));

    searchProgressBar = makeChild<QProgressBar>(this, "searchProgressBar", {8, 172, 201, 17});
    searchProgressBar->setTextVisible(false);
    okButton = makeChild<QPushButton>(this, "okButton", {216, 160, 57, 41});
    okButton->setText(QStringLiteral("OK"));
    okButton->setToolTip(QStringLiteral("設定の確定"));
    okButton->setDefault(true);
    cancelButton = makeChild<QPushButton>(this, "cancelButton", {304, 160, 57, 41});
    cancelButton->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    cancelButton->setToolTip(QStringLiteral("設定のｷｬﾝｾﾙ"));

    connect(okButton, &QPushButton::clicked, this, &CommSettingsDialog::onOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &CommSettingsDialog::onCancelClicked);
    connect(portSearchButton, &QPushButton::clicked, this, &CommSettingsDialog::onPortSearchClicked);
}

void CommSettingsDialog::setUpPortList()
{
    // A table as the box's list: the box itself shows and takes the name column only, so the
    // stored setting stays the port name.
    m_ports = new QStandardItemModel(0, int(kPortColumns.size()), portBox);
    m_ports->setHorizontalHeaderLabels(kPortColumns);
    auto* view = new QTreeView(portBox);
    view->setObjectName(QStringLiteral("portList"));
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setAllColumnsShowFocus(true);
    view->setUniformRowHeights(true);
    view->header()->setStretchLastSection(false);
    view->header()->setSectionsClickable(false);
    portBox->setModel(m_ports);
    portBox->setView(view);
    portBox->setModelColumn(0);
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
    auto* view = static_cast<QTreeView*>(portBox->view());
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
    QLineEdit* edit = portBox->lineEdit();
    const QString typed = edit->text();
    const int cursor = edit->cursorPosition();
    m_ports->removeRows(0, m_ports->rowCount());
    for (const PortInfo& port : availablePorts())
        addPortRow(port);
    fitPortPopup();
    // The list opens on the port typed, when it is there.
    portBox->setCurrentIndex(portBox->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive));
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
    onOpened();
}

void CommSettingsDialog::onOpened()
{
    m_searchResultShown = false;
    fillControls();
    refreshPortList();
    searchProgressBar->hide();
    reportOpenErrors = 1;
}

void CommSettingsDialog::fillControls()
{
    const CommSettings& s = commSettings;
    portBox->setEditText(s.portName);
    bitRateBox->setEditText(QString::number(s.baudRate));
    dataBitsBox->setEditText(QString::number(s.dataBits));
    stopBitsBox->setEditText(QString::number(s.stopBits));
    parityBox->setEditText(s.parity);
    sendHeaderBox->setEditText(s.sendHeader);
    sendDelimiterBox->setEditText(s.sendDelimiter);
    receiveDelimiterBox->setEditText(s.receiveDelimiter);
    receiveTimeoutEdit->setText(QString::number(s.receiveTimeoutMs));
}

void CommSettingsDialog::onOkClicked()
{
    // Every number is checked before anything is applied: a half-applied record would later
    // save a port name nobody confirmed.
    std::array<int32_t, 3> numbers{};
    const std::array<QComboBox*, 3> numberBoxes{bitRateBox, dataBitsBox, stopBitsBox};
    for (size_t i = 0; i < numberBoxes.size(); ++i) {
        const auto value = wholeNumber(numberBoxes[i]->currentText());
        if (!value) {
            showError(this, QStringLiteral("'%1' は整数ではありません").arg(numberBoxes[i]->currentText()));
            numberBoxes[i]->setFocus();
            return;
        }
        numbers[i] = *value;
    }
    const CommSettings kept = commSettings;
    CommSettings& s = commSettings;
    s.portName = portBox->currentText();
    s.baudRate = numbers[0];
    s.dataBits = numbers[1];
    s.stopBits = numbers[2];
    s.parity = parityBox->currentText();
    s.sendHeader = sendHeaderBox->currentText();
    s.sendDelimiter = sendDelimiterBox->currentText();
    s.receiveDelimiter = receiveDelimiterBox->currentText();
    s.receiveTimeoutMs = wholeNumber(receiveTimeoutEdit->text()).value_or(100);
    reportOpenErrors = 1;
    if (commOpen()) {
        accept();
        return;
    }
    commSettings = kept;
    fillControls();
}

void CommSettingsDialog::onCancelClicked()
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
    for (QPushButton* b : {portSearchButton, okButton, cancelButton})
        b->setEnabled(!searching);
}

void CommSettingsDialog::onPortSearchClicked()
{
    if (dialogs().message(this, QStringLiteral("Connect the USB to Serial Cable"),
                          QStringLiteral("COM Port Search"), Dialogs::Icon::Warning,
                          Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return;
    if (m_hooks.clearMonitor)
        m_hooks.clearMonitor();
    const QList<PortInfo> candidates = availablePorts();
    setSearching(true);
    setProgressRange(searchProgressBar, int(candidates.size()));
    searchProgressBar->setValue(0);
    searchProgressBar->show();
    m_ports->removeRows(0, m_ports->rowCount());
    // The probes open ports through the settings; the result goes only into the port box, for
    // OK to take or Cancel to drop.
    QString proposed = commSettings.portName;
    const qsizetype found = probePorts(candidates, {.trying =
                                                        [&](qsizetype i) {
                                                            searchProgressBar->setValue(int(i));
                                                            portBox->setEditText(candidates[i].name);
                                                        },
                                                    .opened =
                                                        [&](qsizetype i) {
                                                            addPortRow(candidates[i]);
                                                            fitPortPopup();
                                                            portBox->setEditText(candidates[i].name);
                                                            proposed = candidates[i].name;
                                                        },
                                                    .sendProbe = m_hooks.sendProbe});
    searchProgressBar->setValue(found < 0 ? searchProgressBar->maximum() : int(found));
    portBox->setEditText(proposed);
    m_searchResultShown = true;
    setSearching(false);
    if (answerReceived)
        dialogs().message(this, QStringLiteral("A connection has been found on ") + proposed,
                          QStringLiteral("Completed"), Dialogs::Icon::None, Dialogs::Buttons::Ok);
    else
        dialogs().message(this, QStringLiteral("COM port Not found"), QStringLiteral("Warnning"),
                          Dialogs::Icon::None, Dialogs::Buttons::Ok);
    searchProgressBar->hide();
}
