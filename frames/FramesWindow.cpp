#include "FramesWindow.h"

#include "Dialogs.h"
#include "Fonts.h"
#include "FrameCsv.h"
#include "FrameText.h"
#include "MakeChild.h"
#include "Placement.h"
#include "RegularFile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSplitter>
#include <QTableView>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
constexpr int kChoiceText = 0x100;
constexpr int kChoiceNotFrame = 0x200;
constexpr int kChoiceAll = -1;

// Backgrounds of the header fields in the byte view, in the order of frameFields().
const QColor kFieldColours[] = {QColor(220, 220, 220), QColor(255, 224, 178), QColor(200, 230, 201),
                                QColor(255, 249, 196), QColor(187, 222, 251), QColor(225, 190, 231),
                                QColor(255, 255, 255)};

int64_t now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

std::span<const uint8_t> asBytes(QByteArrayView bytes)
{
    return {reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size())};
}
} // namespace

FramesWindow::FramesWindow(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("framesWindow"));
    setWindowTitle(QStringLiteral("Frames"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(uiFont());

    directionBox = makeChild<QComboBox>(this, QStringLiteral("directionBox"));
    directionBox->addItem(QStringLiteral("All directions"), int(FrameFilter::Direction::All));
    directionBox->addItem(QStringLiteral("sent"), int(FrameFilter::Direction::Sent));
    directionBox->addItem(QStringLiteral("received"), int(FrameFilter::Direction::Received));
    commandBox = makeChild<QComboBox>(this, QStringLiteral("commandBox"));
    commandBox->addItem(QStringLiteral("All commands"), kChoiceAll);
    commandBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    idFilterEdit = makeChild<QLineEdit>(this, QStringLiteral("idFilterEdit"));
    idFilterEdit->setPlaceholderText(QStringLiteral("ID (12 34 …)"));
    idFilterEdit->setClearButtonEnabled(true);
    textFilterEdit = makeChild<QLineEdit>(this, QStringLiteral("textFilterEdit"));
    textFilterEdit->setPlaceholderText(QStringLiteral("Payload or decoded text (Ctrl+F, F3)"));
    textFilterEdit->setClearButtonEnabled(true);
    onlyMatchingBox = makeChild<QCheckBox>(this, QStringLiteral("onlyMatchingBox"));
    onlyMatchingBox->setText(QStringLiteral("Only matching rows"));
    onlyMatchingBox->setChecked(true);

    framesTable = makeChild<QTableView>(this, QStringLiteral("framesTable"));
    framesTable->setModel(&m_model);
    framesTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    framesTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    framesTable->setWordWrap(false);
    framesTable->verticalHeader()->hide();
    // Rows of one height need no measuring: a million rows lay out at once.
    framesTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    framesTable->verticalHeader()->setDefaultSectionSize(framesTable->fontMetrics().height() + 4);
    framesTable->horizontalHeader()->setStretchLastSection(true);
    framesTable->setContextMenuPolicy(Qt::CustomContextMenu);
    const QFontMetrics metrics = framesTable->fontMetrics();
    const QString widest[] = {QStringLiteral("0000000"),
                              QStringLiteral("0000/00/00 00:00:00.0000"),
                              QStringLiteral("received"),
                              QStringLiteral("17h RF set-up to another device"),
                              QStringLiteral("Seq."),
                              QStringLiteral("00 00 00 00"),
                              QStringLiteral("Destination ID"),
                              QStringLiteral("Length"),
                              QStringLiteral("00 00 00 00 00 00 00 00")};
    for (int c = 0; c < int(std::size(widest)); ++c)
        framesTable->setColumnWidth(c, metrics.horizontalAdvance(widest[c]) + 12);

    bytesView = makeChild<QTextEdit>(this, QStringLiteral("bytesView"));
    bytesView->setReadOnly(true);
    bytesView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    countLabel = makeChild<QLabel>(this, QStringLiteral("countLabel"));
    // The count changes with every beat; a label that asked for its width would lay out the
    // whole window each time.
    countLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    openButton = makeChild<QPushButton>(this, QStringLiteral("openButton"));
    openButton->setText(QStringLiteral("Open..."));
    saveAsButton = makeChild<QPushButton>(this, QStringLiteral("saveAsButton"));
    saveAsButton->setText(QStringLiteral("Save As..."));

    rowMenu = new QMenu(this);
    rowMenu->setObjectName(QStringLiteral("rowMenu"));
    QAction* sendAgain = rowMenu->addAction(QStringLiteral("Send again"));
    sendAgain->setObjectName(QStringLiteral("sendAgainAction"));
    connect(sendAgain, &QAction::triggered, this, [this] {
        const QModelIndex current = framesTable->currentIndex();
        const FrameRecord* r = m_model.recordAt(current.row());
        if (r && r->kind == FrameKind::Frame)
            emit sendAgainRequested(current.siblingAtColumn(0).data(FramesModel::kBytesRole).toByteArray());
    });

    auto* filters = new QHBoxLayout;
    filters->addWidget(directionBox);
    filters->addWidget(commandBox);
    filters->addWidget(idFilterEdit, 1);
    filters->addWidget(textFilterEdit, 2);
    filters->addWidget(onlyMatchingBox);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(framesTable);
    split->addWidget(bytesView);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(countLabel, 1);
    buttons->addWidget(openButton);
    buttons->addWidget(saveAsButton);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addLayout(filters);
    column->addWidget(split, 1);
    column->addLayout(buttons);
    resize(1000, 520);

    const auto shortcut = [this](const QKeySequence& keys, QWidget* on, auto slot) {
        auto* action = new QAction(on);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        on->addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    shortcut(QKeySequence::Find, this, [this] {
        textFilterEdit->setFocus(Qt::ShortcutFocusReason);
        textFilterEdit->selectAll();
    });
    shortcut(QKeySequence(Qt::Key_F3), this, &FramesWindow::findNext);
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this, &FramesWindow::findPrevious);
    shortcut(QKeySequence::Copy, framesTable, &FramesWindow::copySelectedRows);

    connect(directionBox, &QComboBox::currentIndexChanged, this, &FramesWindow::applyFilter);
    connect(commandBox, &QComboBox::currentIndexChanged, this, &FramesWindow::applyFilter);
    connect(idFilterEdit, &QLineEdit::textChanged, this, &FramesWindow::applyFilter);
    connect(textFilterEdit, &QLineEdit::textChanged, this, &FramesWindow::applyFilter);
    connect(onlyMatchingBox, &QCheckBox::toggled, this, &FramesWindow::applyFilter);
    connect(framesTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &FramesWindow::showSelectedBytes);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &FramesWindow::showSelectedBytes);
    QScrollBar* bar = framesTable->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { m_following = value == bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (m_following && !framesTable->selectionModel()->hasSelection())
            bar->setValue(maximum);
    });
    connect(framesTable, &QWidget::customContextMenuRequested, this, &FramesWindow::onTableContextMenu);
    connect(openButton, &QPushButton::clicked, this, &FramesWindow::onOpenClicked);
    connect(saveAsButton, &QPushButton::clicked, this, &FramesWindow::onSaveAsClicked);
    m_filterStep.setSingleShot(true);
    m_filterStep.setInterval(0);
    connect(&m_filterStep, &QTimer::timeout, this, &FramesWindow::continueFilter);
    m_beat.setInterval(kBeatMs);
    connect(&m_beat, &QTimer::timeout, this, &FramesWindow::refresh);
    updateCount();
}

void FramesWindow::recordReceived(std::span<const uint8_t> block)
{
    m_log.recordReceived(block, now());
}

void FramesWindow::recordSentFrame(QByteArrayView frame)
{
    m_log.recordSentFrame(asBytes(frame), now());
}

void FramesWindow::recordSentText(QByteArrayView line)
{
    m_log.recordSentText(asBytes(line), now());
}

void FramesWindow::showInFront()
{
    show();
    raise();
    activateWindow();
}

void FramesWindow::refresh()
{
    updateCommandChoices();
    const bool rowsRemoved = m_model.rowCount() > 0 && m_model.frameIndex().staleCount() > 0;
    const bool rowsAdded = m_model.refresh();
    if (rowsAdded || rowsRemoved || !m_countAge.isValid() || m_countAge.elapsed() >= kCountRefreshMs)
        updateCount();
}

void FramesWindow::applyFilter()
{
    FrameFilter filter;
    filter.direction = FrameFilter::Direction(directionBox->currentData().toInt());
    const int command = commandBox->currentData().toInt();
    if (command == kChoiceText)
        filter.command = FrameFilter::CommandChoice{FrameKind::Text, 0};
    else if (command == kChoiceNotFrame)
        filter.command = FrameFilter::CommandChoice{FrameKind::NotFrame, 0};
    else if (command != kChoiceAll)
        filter.command = FrameFilter::CommandChoice{FrameKind::Frame, uint8_t(command)};
    filter.id = idFilterEdit->text();
    if (onlyMatchingBox->isChecked())
        filter.text = textFilterEdit->text();
    if (filter == m_model.wantedFilter())
        return;
    m_model.startFilter(filter);
    continueFilter();
}

void FramesWindow::continueFilter()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFilterSliceMs);
    if (!m_model.continueFilter(deadline)) {
        m_filterStep.start();
        updateCount();
        return;
    }
    m_filterStep.stop();
    m_following = true;
    framesTable->scrollToBottom();
    updateCount();
}

void FramesWindow::updateCommandChoices()
{
    const std::bitset<256>& seen = m_log.commandsSeen();
    const bool text = m_log.kindSeen(FrameKind::Text);
    const bool notFrame = m_log.kindSeen(FrameKind::NotFrame);
    if ((seen & ~m_commandsListed).none() && (!text || m_kindsListed[size_t(FrameKind::Text)]) &&
        (!notFrame || m_kindsListed[size_t(FrameKind::NotFrame)]))
        return;
    // Listed choices stay while the log forgets them, so that a chosen one is never taken away.
    m_commandsListed |= seen;
    m_kindsListed[size_t(FrameKind::Text)] = m_kindsListed[size_t(FrameKind::Text)] || text;
    m_kindsListed[size_t(FrameKind::NotFrame)] = m_kindsListed[size_t(FrameKind::NotFrame)] || notFrame;
    const QSignalBlocker quiet(commandBox);
    const int chosen = commandBox->currentData().toInt();
    commandBox->clear();
    commandBox->addItem(QStringLiteral("All commands"), kChoiceAll);
    for (int c = 0; c < 256; ++c) {
        if (!m_commandsListed[size_t(c)])
            continue;
        std::string name;
        appendCommand(name, uint8_t(c));
        commandBox->addItem(QString::fromStdString(name), c);
    }
    if (m_kindsListed[size_t(FrameKind::Text)])
        commandBox->addItem(QString::fromLatin1(kTextKindName), kChoiceText);
    if (m_kindsListed[size_t(FrameKind::NotFrame)])
        commandBox->addItem(QString::fromLatin1(kNotFrameKindName), kChoiceNotFrame);
    commandBox->setCurrentIndex(commandBox->findData(chosen));
}

void FramesWindow::updateCount()
{
    QString text = QStringLiteral("%L1 frames, %L2 shown").arg(m_log.size()).arg(m_model.rowCount());
    if (m_log.droppedOut() > 0)
        text += QStringLiteral("; the oldest %L1 have dropped out (%L2 are kept)")
                    .arg(m_log.droppedOut())
                    .arg(FrameLog::kDefaultLimit);
    if (!m_loadedFrom.isEmpty())
        text += QStringLiteral("; loaded from %1").arg(m_loadedFrom);
    if (m_model.filtering())
        text += QStringLiteral("; filtering…");
    countLabel->setText(text);
    m_countAge.start();
}

void FramesWindow::showSelectedBytes()
{
    const QModelIndex current = framesTable->currentIndex();
    const FrameRecord* r = m_model.recordAt(current.isValid() ? current.row() : -1);
    if (!r) {
        bytesView->clear();
        return;
    }
    const auto bytes = m_log.bytes(*r);
    QString bytesLine;
    QString names;
    int colour = 0;
    for (const FrameField& field : frameFields(r->kind, bytes.size())) {
        std::string hex;
        appendHex(hex, bytes.subspan(field.start, field.length));
        const QString background = kFieldColours[colour++ % std::size(kFieldColours)].name();
        bytesLine += QStringLiteral("<span style=\"background-color:%1\">%2</span> ")
                         .arg(background, QString::fromLatin1(hex.data(), qsizetype(hex.size())));
        names += QStringLiteral("<span style=\"background-color:%1\">%2</span> ")
                     .arg(background, QString::fromLatin1(field.name));
    }
    bytesView->setHtml(QStringLiteral("<p>%1</p><p>%2</p>").arg(bytesLine, names));
}

void FramesWindow::copySelectedRows()
{
    QStringList lines;
    const QModelIndexList rows = framesTable->selectionModel()->selectedRows();
    QList<int> numbers;
    for (const QModelIndex& row : rows)
        numbers << row.row();
    std::sort(numbers.begin(), numbers.end());
    for (const int row : numbers) {
        const QByteArray bytes = m_model.index(row, 0).data(FramesModel::kBytesRole).toByteArray();
        if (!bytes.isNull())
            lines << QString::fromLatin1(bytes.toHex(' ').toUpper());
    }
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join(u'\n'));
}

void FramesWindow::onTableContextMenu(const QPoint& at)
{
    const QModelIndex index = framesTable->indexAt(at);
    const FrameRecord* r = m_model.recordAt(index.row());
    if (!r || r->kind != FrameKind::Frame)
        return;
    framesTable->setCurrentIndex(index);
    rowMenu->popup(framesTable->viewport()->mapToGlobal(at));
}

void FramesWindow::findNext()
{
    find(1);
}

void FramesWindow::findPrevious()
{
    find(-1);
}

void FramesWindow::find(int step)
{
    FrameFilter search;
    search.text = textFilterEdit->text();
    if (search.text.isEmpty() || m_model.rowCount() == 0)
        return;
    FrameMatcher matcher(search);
    const int rows = m_model.rowCount();
    const int current =
        framesTable->currentIndex().isValid() ? framesTable->currentIndex().row() : (step > 0 ? -1 : rows);
    for (int row = current + step; row >= 0 && row < rows; row += step) {
        const FrameRecord* r = m_model.recordAt(row);
        if (r && matcher.matches(*r, m_log.bytes(*r))) {
            framesTable->setCurrentIndex(m_model.index(row, 0));
            framesTable->scrollTo(m_model.index(row, 0));
            return;
        }
    }
    QApplication::beep();
}

void FramesWindow::onOpenClicked()
{
    const QString path = chooseCsvFile(this, false, m_fileName);
    if (path.isEmpty())
        return;
    const FileContents file = readRegularFile(path, kMaxFramesCsvBytes);
    QString error;
    switch (file.status) {
    case FileContents::Status::Read:
        break;
    case FileContents::Status::TooLarge:
        error = QStringLiteral("larger than %L1 bytes").arg(kMaxFramesCsvBytes);
        break;
    case FileContents::Status::NotRegular:
        error = QStringLiteral("not a regular file");
        break;
    default:
        error = file.reason;
    }
    FramesCsvRead read;
    if (error.isEmpty()) {
        read = readFramesCsv(file.bytes);
        error = read.error;
    }
    if (!error.isEmpty()) {
        showError(this, QStringLiteral("Cannot open \"%1\": %2").arg(path, error));
        return;
    }
    m_log.replaceWith(std::move(read.log));
    m_fileName = path;
    m_loadedFrom = QFileInfo(path).fileName();
    m_model.setFilter(m_model.wantedFilter());
    updateCommandChoices();
    updateCount();
}

void FramesWindow::onSaveAsClicked()
{
    refresh();
    const QString path =
        chooseCsvFile(this, true, m_fileName.isEmpty() ? QStringLiteral("frames.csv") : m_fileName);
    if (path.isEmpty())
        return;
    if (const QString reason = replaceRegularFile(path, framesCsv(m_log, m_model.frameIndex()));
        !reason.isEmpty()) {
        showError(this, QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
        return;
    }
    m_fileName = path;
}

void FramesWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_placed) {
        m_placed = true;
        centreOverOwner(this);
    }
    refresh();
    m_beat.start();
}

void FramesWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        m_beat.stop();
}
