#include "LinkStatsWindow.h"

#include "Dialogs.h"
#include "Fonts.h"
#include "MakeChild.h"
#include "Placement.h"
#include "Tick.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

LinkStatsWindow* frmLinkStats = nullptr;

LinkStatsWindow::LinkStatsWindow(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint)
{
    frmLinkStats = this;
    setObjectName(QStringLiteral("frmLinkStats"));
    setWindowTitle(QStringLiteral("Link Statistics"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(uiFont());

    m_sorted.setSourceModel(&m_model);
    sGrid = makeChild<QTableView>(this, QStringLiteral("sGrid"));
    sGrid->setModel(&m_sorted);
    sGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    sGrid->setWordWrap(false);
    sGrid->verticalHeader()->hide();
    sGrid->verticalHeader()->setDefaultSectionSize(20);
    sGrid->horizontalHeader()->setStretchLastSection(true);
    sGrid->setColumnWidth(LinkStatsModel::DeviceId, 120);
    sGrid->setSortingEnabled(true);
    sGrid->sortByColumn(LinkStatsModel::DeviceId, Qt::AscendingOrder);

    btnReset = makeChild<QPushButton>(this, QStringLiteral("btnReset"));
    btnReset->setText(QStringLiteral("Reset"));
    btnSave = makeChild<QPushButton>(this, QStringLiteral("btnSave"));
    btnSave->setText(QStringLiteral("Save As..."));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnReset);
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(sGrid, 1);
    column->addLayout(buttons);
    resize(760, 360);

    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &LinkStatsWindow::refresh);
    connect(btnReset, &QPushButton::clicked, this, &LinkStatsWindow::btnResetClick);
    connect(btnSave, &QPushButton::clicked, this, &LinkStatsWindow::btnSaveClick);
}

LinkStatsWindow::~LinkStatsWindow()
{
    if (frmLinkStats == this)
        frmLinkStats = nullptr;
}

void LinkStatsWindow::CountRecvBlock(std::span<const uint8_t> block)
{
    m_stats.count(block, tickCount());
}

void LinkStatsWindow::showInFront()
{
    show();
    raise();
    activateWindow();
}

void LinkStatsWindow::refresh()
{
    m_stats.advance(tickCount());
    m_model.update(m_stats);
}

void LinkStatsWindow::btnResetClick()
{
    m_stats.clear();
    refresh();
}

void LinkStatsWindow::btnSaveClick()
{
    refresh();
    const Dialogs::FileRequest request{QStringLiteral("Save As"),
                                       {QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*)")},
                                       QStringLiteral("csv"),
                                       m_saveFileName.isEmpty() ? QStringLiteral("linkstats.csv")
                                                                : m_saveFileName};
    const QString chosen = dialogs().saveFileName(this, request);
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    if (const QString error = SaveTableCsv(path, m_sorted); !error.isEmpty()) {
        showError(this, error);
        return;
    }
    m_saveFileName = path;
}

void LinkStatsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_placed) {
        m_placed = true;
        centreOverOwner(this);
    }
    refresh();
    m_refresh.start();
}

void LinkStatsWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Minimised, the window is still open; closed, its table is not worth keeping up to date.
    if (!event->spontaneous())
        m_refresh.stop();
}
