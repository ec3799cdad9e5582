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

SurveyPanel* frmSurvey = nullptr;

namespace {
// The design size of pnlTop: the bottom row of controls keeps its distance to the bottom edge,
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
    frmSurvey = this;
    setObjectName(QStringLiteral("frmSurvey"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(uiFont());

    pnlTop = makeChild<QFrame>(this, "pnlTop");
    pnlTop->setFrameShape(QFrame::Panel);
    pnlTop->setFrameShadow(QFrame::Raised);
    pnlTop->installEventFilter(this);

    const QFont digits = digitsFont();
    for (int i = 0; i < SurveyTally::kKeys; ++i) {
        auto* row = new QLabel(pnlTop);
        row->setObjectName(QStringLiteral("pnlKey%1").arg(i + 1));
        row->setFrameShape(QFrame::Panel);
        row->setFrameShadow(QFrame::Raised);
        row->setTextFormat(Qt::PlainText);
        row->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        row->setText(QStringLiteral("  Key No.%1").arg(i + 1));
        row->setFont(digits);
        fitLeftOfCounter(row);
        pnlKey[size_t(i)] = row;

        auto* box = new QLabel(row);
        box->setObjectName(QStringLiteral("pnlKct%1").arg(i + 1));
        box->setTextFormat(Qt::PlainText);
        box->setAlignment(Qt::AlignCenter);
        box->setAutoFillBackground(true);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, Qt::black);
        pal.setColor(QPalette::WindowText, Qt::yellow);
        box->setPalette(pal);
        box->setFont(digits);
        pnlKct[size_t(i)] = box;
    }

    btnStart = makeChild<QPushButton>(pnlTop, "btnStart");
    btnStart->setCheckable(true);
    btnStart->setText(QStringLiteral("Start"));
    btnStart->resize(75, 41);
    ckKeyChange = makeChild<QCheckBox>(pnlTop, "ckKeyChange");
    ckKeyChange->setText(QStringLiteral("Key Change Enabled"));
    ckKeyChange->resize(129, 17);
    growToCaption(ckKeyChange);
    edtTout = makeChild<QLineEdit>(pnlTop, "edtTout");
    edtTout->resize(29, 20);
    Label1 = makeChild<QLabel>(pnlTop, "Label1");
    Label1->setText(QStringLiteral("秒"));
    Label1->adjustSize();
    prgBar = makeChild<QProgressBar>(pnlTop, "prgBar");
    prgBar->setTextVisible(false);
    prgBar->resize(361, 17);
    btnClose = makeChild<QPushButton>(pnlTop, "btnClose");
    btnClose->setText(QStringLiteral("Close"));
    btnClose->resize(75, 25);

    sGrid = makeChild<QTableWidget>(this, "sGrid");
    sGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    sGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    sGrid->verticalHeader()->hide();
    sGrid->verticalHeader()->setDefaultSectionSize(20);
    sGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    sGrid->horizontalHeader()->setHighlightSections(false);
    // Row numbers fill the narrow first column; clipped, not replaced by an ellipsis.
    sGrid->setTextElideMode(Qt::ElideNone);

    sBar = new PanelStatusBar(2, 50, this);
    sBar->setObjectName(QStringLiteral("sBar"));
    sBar->setFixedHeight(kStatusHeight);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(pnlTop, 1);
    body->addWidget(sGrid);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(body, 1);
    column->addWidget(sBar);

    connect(btnStart, &QPushButton::clicked, this, &SurveyPanel::btnStartClick);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(sBar, &PanelStatusBar::doubleClicked, this, &SurveyPanel::sBarDblClick);
    FormCreate();
}

SurveyPanel::~SurveyPanel()
{
    if (frmSurvey == this)
        frmSurvey = nullptr;
}

void SurveyPanel::FormCreate()
{
    setWindowTitle(QStringLiteral("Pad04W Survey"));
    sGrid->hide();
    // The four rows, then the bottom row of controls 15 pixels below them.
    resize(kDesignWidth, btnStart->height() + kStatusHeight + 584);
    pnlTop->resize(kDesignWidth, height() - kStatusHeight);
    placeAnchored();
    edtTout->setText(QString::number(kDefaultRunSeconds));
    InitGrid();
    ResetSurvey(kDefaultRunSeconds);
}

void SurveyPanel::placeAnchored()
{
    const int w = pnlTop->width();
    const int h = pnlTop->height();
    for (int i = 0; i < SurveyTally::kKeys; ++i) {
        QLabel* row = pnlKey[size_t(i)];
        row->setGeometry(8, kFirstRowTop + i * (kRowHeight + kRowGap), w - 16, kRowHeight);
        const int m = counterMargin(i);
        pnlKct[size_t(i)]->setGeometry(kCounterLeft, m,
                                       std::max(0, row->width() - kCounterLeft - kCounterRightMargin),
                                       std::max(0, kRowHeight - 2 * m));
    }
    const int dy = h - kDesignHeight;
    const int dx = w - kDesignWidth;
    btnStart->move(8, 368 + dy);
    ckKeyChange->move(88, 368 + dy);
    edtTout->move(88, 386 + dy);
    Label1->move(120, 392 + dy);
    prgBar->setGeometry(144, 388 + dy, std::max(0, 361 + dx), 17);
    btnClose->move(516 + dx, 384 + dy);
}

bool SurveyPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == pnlTop && event->type() == QEvent::Resize)
        placeAnchored();
    return QWidget::eventFilter(watched, event);
}

void SurveyPanel::InitGrid()
{
    sGrid->clear();
    sGrid->setColumnCount(int(kGridWidths.size()));
    sGrid->setRowCount(kGridRows);
    sGrid->setHorizontalHeaderLabels({QStringLiteral("No"), QStringLiteral("DeviceID"), QStringLiteral("Key"),
                                      QStringLiteral("Comments")});
    for (int c = 0; c < int(kGridWidths.size()); ++c)
        sGrid->setColumnWidth(c, kGridWidths[size_t(c)]);
    for (int r = 0; r < kGridRows; ++r) {
        for (int c = 0; c < int(kGridWidths.size()); ++c) {
            auto* item = new QTableWidgetItem(c == 0 ? QString::asprintf("%3d", r + 1) : QString());
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (c == 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            sGrid->setItem(r, c, item);
        }
    }
    ClearGrid();
}

void SurveyPanel::ClearGrid()
{
    m_tally.clearRows();
    for (int r = 0; r < kGridRows; ++r) {
        for (int c = 1; c < int(kGridWidths.size()); ++c)
            sGrid->item(r, c)->setText(QString());
    }
    sGrid->setCurrentCell(0, 1);
}

void SurveyPanel::mirrorRow(int row)
{
    const SurveyTally::Row& r = m_tally.rows[size_t(row)];
    sGrid->item(row, 1)->setText(r.deviceId);
    sGrid->item(row, 2)->setText(r.keyText);
}

void SurveyPanel::ResetSurvey(int seconds)
{
    m_tally.clearCounters();
    sBar->setPanelText(0, QString());
    sBar->setPanelText(1, QString());
    for (QLabel* box : pnlKct)
        box->clear();
    ClearGrid();
    m_position = 0;
    m_maximum = 2 * seconds;
    showProgress();
    prgBar->show();
    if (clearMainMonitor)
        clearMainMonitor();
}

void SurveyPanel::showProgress()
{
    setProgressRange(prgBar, m_maximum);
    prgBar->setValue(m_position);
}

bool SurveyPanel::running() const
{
    return btnStart->isChecked();
}

void SurveyPanel::btnStartClick()
{
    if (!running()) {
        // A press during a run ends it; the tally stays for the user to read.
        btnStart->setText(QStringLiteral("Start"));
        return;
    }
    const std::optional<int> seconds = RunSeconds(edtTout->text());
    if (!seconds) {
        // Raised before the message: the clock and reception run on inside it, and must find no
        // run to advance, end or count into.
        btnStart->setChecked(false);
        btnStart->setText(QStringLiteral("Start"));
        showError(this, QStringLiteral("The run length must be 0 to %1 seconds.").arg(kMaxRunSeconds));
        return;
    }
    ResetSurvey(*seconds);
    btnStart->setText(QStringLiteral("Busy"));
}

void SurveyPanel::SurveyTick()
{
    if (!running())
        return;
    if (m_position < m_maximum) {
        ++m_position;
        showProgress();
        return;
    }
    btnStart->setChecked(false);
    btnStart->setText(QStringLiteral("Start"));
    prgBar->setValue(prgBar->maximum());
    PlaySystemSound(QStringLiteral("chimes.wav"));
}

void SurveyPanel::CountRecvKey(const QString& line)
{
    const KeyLineOutcome outcome = CountKeyLine(m_tally, line, running(), ckKeyChange->isChecked());
    if (outcome.makerPrefix)
        sBar->setPanelText(1, SurveyLine::kMakerPrefix);
    if (outcome.row >= 0)
        mirrorRow(outcome.row);
    if (outcome.refresh)
        showCounters();
}

void SurveyPanel::showCounters()
{
    for (int i = 0; i < SurveyTally::kKeys; ++i)
        pnlKct[size_t(i)]->setText(QString::number(m_tally.counters[size_t(i)]));
}

void SurveyPanel::sBarDblClick()
{
    int clientWidth = pnlTop->width();
    if (sGrid->isHidden()) {
        // The "Comments" column lies beyond the visible part.
        const int w = sGrid->columnWidth(0) + sGrid->columnWidth(1) + sGrid->columnWidth(2) + 24;
        sGrid->setFixedWidth(w);
        clientWidth += w;
        sGrid->show();
    } else {
        sGrid->hide();
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
        FormShow();
}

void SurveyPanel::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // A minimised window is still open; only a close or hide ends the panel's turn.
    if (!event->spontaneous())
        FormClose();
}

void SurveyPanel::FormShow()
{
    if (!m_placed) {
        m_placed = true;
        centreOverOwner(this);
    }
    if (m_openFlag != 0)
        return;
    m_openFlag = 1;
    InitGrid();
    btnStart->setText(QStringLiteral("Start"));
    btnStart->setChecked(false);
    prgBar->hide();
}

void SurveyPanel::FormClose()
{
    btnStart->setText(QStringLiteral("Start"));
    btnStart->setChecked(false);
    prgBar->hide();
    m_openFlag = 0;
}
