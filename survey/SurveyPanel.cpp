#include "SurveyPanel.h"

#include "ClickLabel.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "MakeChild.h"
#include "Placement.h"
#include "Progress.h"
#include "Sound.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// The design size of countArea: the bottom row of controls keeps its distance to the bottom edge,
// the right-hand controls to the right edge.
constexpr int kDesignWidth = 600;
constexpr int kDesignHeight = 418;
constexpr int kRowHeight = 130;
constexpr int kRowGap = 8;
constexpr int kFirstRowTop = 16;
constexpr int kCounterLeft = 304;
constexpr int kCounterRightMargin = 12;
constexpr int kFontPoints = 48;
constexpr int kGridRows = SurveyTally::kRows;
constexpr std::array kGridWidths = {24, 200, 40, 300};
constexpr int kStatusHeight = 19;
constexpr int kDefaultRunSeconds = 10;

// The counter boxes of the lower rows sit closer to their row's edges.
constexpr int counterMargin(int row)
{
    return row < 2 ? 12 : 8;
}

QFont digitsFont()
{
    const QString family =
        installedFamily({QStringLiteral("Impact"), QStringLiteral("Nimbus Sans Narrow"),
                         QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    QFont f(family);
    f.setPointSize(kFontPoints);
    // The stand-ins are lighter than Impact; bold brings them close to its weight.
    if (family != QLatin1String("Impact"))
        f.setBold(true);
    return f;
}

// Where only a wide stand-in font is installed, the caption shrinks rather than run under the
// counter box and hide its key number.
void fitLeftOfCounter(QLabel* row)
{
    QFont f = row->font();
    const int room = kCounterLeft - 2 * row->frameWidth();
    while (f.pointSize() > 8 && QFontMetrics(f).horizontalAdvance(row->text()) > room)
        f.setPointSize(f.pointSize() - 1);
    row->setFont(f);
}

} // namespace

SurveyPanel::SurveyPanel(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("surveyPanel"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(uiFont());

    countArea = makeChild<QFrame>(this, "countArea");
    countArea->setFrameShape(QFrame::Panel);
    countArea->setFrameShadow(QFrame::Raised);
    countArea->installEventFilter(this);

    const QFont digits = digitsFont();
    for (int i = 0; i < SurveyTally::kKeys; ++i) {
        auto* row = new QLabel(countArea);
        row->setObjectName(QStringLiteral("keyRow%1").arg(i + 1));
        row->setFrameShape(QFrame::Panel);
        row->setFrameShadow(QFrame::Raised);
        row->setTextFormat(Qt::PlainText);
        row->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        row->setText(QStringLiteral("  Key No.%1").arg(i + 1));
        row->setFont(digits);
        fitLeftOfCounter(row);
        keyRows[size_t(i)] = row;

        auto* box = new QLabel(row);
        box->setObjectName(QStringLiteral("keyCounter%1").arg(i + 1));
        box->setTextFormat(Qt::PlainText);
        box->setAlignment(Qt::AlignCenter);
        box->setAutoFillBackground(true);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, Qt::black);
        pal.setColor(QPalette::WindowText, Qt::yellow);
        box->setPalette(pal);
        box->setFont(digits);
        keyCounters[size_t(i)] = box;
    }

    startButton = makeChild<QPushButton>(countArea, "startButton");
    startButton->setCheckable(true);
    startButton->setText(QStringLiteral("Start"));
    startButton->resize(75, 41);
    keyChangeBox = makeChild<QCheckBox>(countArea, "keyChangeBox");
    keyChangeBox->setText(QStringLiteral("Key Change Enabled"));
    keyChangeBox->resize(129, 17);
    growToCaption(keyChangeBox);
    runSecondsEdit = makeChild<QLineEdit>(countArea, "runSecondsEdit");
    runSecondsEdit->resize(29, 20);
    secondsLabel = makeChild<QLabel>(countArea, "secondsLabel");
    secondsLabel->setText(QStringLiteral("秒"));
    secondsLabel->adjustSize();
    runProgressBar = makeChild<QProgressBar>(countArea, "runProgressBar");
    runProgressBar->setTextVisible(false);
    runProgressBar->resize(361, 17);
    closeButton = makeChild<QPushButton>(countArea, "closeButton");
    closeButton->setText(QStringLiteral("Close"));
    closeButton->resize(75, 25);

    transmitterGrid = makeChild<QTableWidget>(this, "transmitterGrid");
    transmitterGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    transmitterGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    transmitterGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    transmitterGrid->verticalHeader()->hide();
    transmitterGrid->verticalHeader()->setDefaultSectionSize(20);
    transmitterGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    transmitterGrid->horizontalHeader()->setHighlightSections(false);
    // Row numbers fill the narrow first column; clipped, not replaced by an ellipsis.
    transmitterGrid->setTextElideMode(Qt::ElideNone);

    statusPanels = new PanelStatusBar(2, 50, this);
    statusPanels->setObjectName(QStringLiteral("statusPanels"));
    statusPanels->setFixedHeight(kStatusHeight);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(countArea, 1);
    body->addWidget(transmitterGrid);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(body, 1);
    column->addWidget(statusPanels);

    connect(startButton, &QPushButton::clicked, this, &SurveyPanel::onStartClicked);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(statusPanels, &PanelStatusBar::doubleClicked, this, &SurveyPanel::onStatusBarDoubleClicked);
    initialise();
}

void SurveyPanel::initialise()
{
    setWindowTitle(QStringLiteral("Pad04W Survey"));
    transmitterGrid->hide();
    // The four rows, then the bottom row of controls 15 pixels below them.
    resize(kDesignWidth, startButton->height() + kStatusHeight + 584);
    countArea->resize(kDesignWidth, height() - kStatusHeight);
    placeAnchored();
    runSecondsEdit->setText(QString::number(kDefaultRunSeconds));
    setUpGrid();
    resetSurvey(kDefaultRunSeconds);
}

void SurveyPanel::placeAnchored()
{
    const int w = countArea->width();
    const int h = countArea->height();
    for (int i = 0; i < SurveyTally::kKeys; ++i) {
        QLabel* row = keyRows[size_t(i)];
        row->setGeometry(8, kFirstRowTop + i * (kRowHeight + kRowGap), w - 16, kRowHeight);
        const int m = counterMargin(i);
        keyCounters[size_t(i)]->setGeometry(kCounterLeft, m,
                                            std::max(0, row->width() - kCounterLeft - kCounterRightMargin),
                                            std::max(0, kRowHeight - 2 * m));
    }
    const int dy = h - kDesignHeight;
    const int dx = w - kDesignWidth;
    startButton->move(8, 368 + dy);
    keyChangeBox->move(88, 368 + dy);
    runSecondsEdit->move(88, 386 + dy);
    secondsLabel->move(120, 392 + dy);
    runProgressBar->setGeometry(144, 388 + dy, std::max(0, 361 + dx), 17);
    closeButton->move(516 + dx, 384 + dy);
}

bool SurveyPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == countArea && event->type() == QEvent::Resize)
        placeAnchored();
    return QWidget::eventFilter(watched, event);
}

void SurveyPanel::setUpGrid()
{
    transmitterGrid->clear();
    transmitterGrid->setColumnCount(int(kGridWidths.size()));
    transmitterGrid->setRowCount(kGridRows);
    transmitterGrid->setHorizontalHeaderLabels({QStringLiteral("No"), QStringLiteral("DeviceID"),
                                                QStringLiteral("Key"), QStringLiteral("Comments")});
    for (int c = 0; c < int(kGridWidths.size()); ++c)
        transmitterGrid->setColumnWidth(c, kGridWidths[size_t(c)]);
    for (int r = 0; r < kGridRows; ++r) {
        for (int c = 0; c < int(kGridWidths.size()); ++c) {
            auto* item = new QTableWidgetItem(c == 0 ? QString::asprintf("%3d", r + 1) : QString());
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (c == 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            transmitterGrid->setItem(r, c, item);
        }
    }
    clearGrid();
}

void SurveyPanel::clearGrid()
{
    m_tally.clearRows();
    for (int r = 0; r < kGridRows; ++r) {
        for (int c = 1; c < int(kGridWidths.size()); ++c)
            transmitterGrid->item(r, c)->setText(QString());
    }
    transmitterGrid->setCurrentCell(0, 1);
}

void SurveyPanel::mirrorRow(int row)
{
    const SurveyTally::Row& r = m_tally.rows[size_t(row)];
    transmitterGrid->item(row, 1)->setText(r.deviceId);
    transmitterGrid->item(row, 2)->setText(r.keyText);
}

void SurveyPanel::resetSurvey(int seconds)
{
    m_tally.clearCounters();
    statusPanels->setPanelText(0, QString());
    statusPanels->setPanelText(1, QString());
    for (QLabel* box : keyCounters)
        box->clear();
    clearGrid();
    m_position = 0;
    m_maximum = 2 * seconds;
    showProgress();
    runProgressBar->show();
    if (clearMainMonitor)
        clearMainMonitor();
}

void SurveyPanel::showProgress()
{
    setProgressRange(runProgressBar, m_maximum);
    runProgressBar->setValue(m_position);
}

bool SurveyPanel::running() const
{
    return startButton->isChecked();
}

void SurveyPanel::onStartClicked()
{
    if (!running()) {
        // A press during a run ends it; the tally stays for the user to read.
        startButton->setText(QStringLiteral("Start"));
        return;
    }
    const std::optional<int> seconds = runSeconds(runSecondsEdit->text());
    if (!seconds) {
        // Raised before the message: the clock and reception run on inside it, and must find no
        // run to advance, end or count into.
        startButton->setChecked(false);
        startButton->setText(QStringLiteral("Start"));
        showError(this, QStringLiteral("The run length must be 0 to %1 seconds.").arg(kMaxRunSeconds));
        return;
    }
    resetSurvey(*seconds);
    startButton->setText(QStringLiteral("Busy"));
    emit runStarted();
}

void SurveyPanel::onClockTick()
{
    if (!running())
        return;
    if (m_position < m_maximum) {
        ++m_position;
        showProgress();
        return;
    }
    startButton->setChecked(false);
    startButton->setText(QStringLiteral("Start"));
    runProgressBar->setValue(runProgressBar->maximum());
    playSystemSound(QStringLiteral("chimes.wav"));
}

void SurveyPanel::countReceivedKey(const QString& line)
{
    const KeyLineOutcome outcome = countKeyLine(m_tally, line, running(), keyChangeBox->isChecked());
    if (outcome.makerPrefix)
        statusPanels->setPanelText(1, SurveyLine::kMakerPrefix);
    if (outcome.row >= 0)
        mirrorRow(outcome.row);
    if (outcome.refresh)
        showCounters();
}

void SurveyPanel::showCounters()
{
    for (int i = 0; i < SurveyTally::kKeys; ++i)
        keyCounters[size_t(i)]->setText(QString::number(m_tally.counters[size_t(i)]));
}

void SurveyPanel::onStatusBarDoubleClicked()
{
    int clientWidth = countArea->width();
    if (transmitterGrid->isHidden()) {
        // The "Comments" column lies beyond the visible part.
        const int w = transmitterGrid->columnWidth(0) + transmitterGrid->columnWidth(1) +
                      transmitterGrid->columnWidth(2) + 24;
        transmitterGrid->setFixedWidth(w);
        clientWidth += w;
        transmitterGrid->show();
    } else {
        transmitterGrid->hide();
    }
    resize(clientWidth, height());
    centreHorizontally(clientWidth);
}

void SurveyPanel::centreHorizontally(int clientWidth)
{
    const QScreen* s = screen();
    if (!s)
        return;
    const QRect area = s->geometry();
    const int frameWidth = clientWidth + (frameGeometry().width() - width());
    move(area.x() + (area.width() - frameWidth) / 2, pos().y());
}

void SurveyPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Showing again after a minimise is no new opening.
    if (!event->spontaneous())
        onOpened();
}

void SurveyPanel::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // A minimised window is still open; only a close or hide ends the panel's turn.
    if (!event->spontaneous())
        onClosed();
}

void SurveyPanel::onOpened()
{
    if (!m_placed) {
        m_placed = true;
        centreOverOwner(this);
    }
    if (m_openFlag != 0)
        return;
    m_openFlag = 1;
    setUpGrid();
    startButton->setText(QStringLiteral("Start"));
    startButton->setChecked(false);
    runProgressBar->hide();
}

void SurveyPanel::onClosed()
{
    startButton->setText(QStringLiteral("Start"));
    startButton->setChecked(false);
    runProgressBar->hide();
    m_openFlag = 0;
}
