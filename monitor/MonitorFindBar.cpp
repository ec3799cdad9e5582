#include "MonitorFindBar.h"

#include "MakeChild.h"
#include "MonitorView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

MonitorFindBar::MonitorFindBar(MonitorView* monitor, QWidget* parent) : QWidget(parent), m_monitor(monitor)
{
    findEdit = makeChild<QLineEdit>(this, QStringLiteral("findEdit"));
    findEdit->setPlaceholderText(QStringLiteral("検索 (Find)"));
    findEdit->setAccessibleName(QStringLiteral("Find"));
    findEdit->setClearButtonEnabled(true);
    caseSensitiveBox = makeChild<QCheckBox>(this, QStringLiteral("caseSensitiveBox"));
    caseSensitiveBox->setText(QStringLiteral("Match case"));
    findPreviousButton = makeChild<QToolButton>(this, QStringLiteral("findPreviousButton"));
    findPreviousButton->setArrowType(Qt::UpArrow);
    findPreviousButton->setToolTip(QStringLiteral("Previous (Shift+F3)"));
    findPreviousButton->setAccessibleName(QStringLiteral("Previous"));
    findNextButton = makeChild<QToolButton>(this, QStringLiteral("findNextButton"));
    findNextButton->setArrowType(Qt::DownArrow);
    findNextButton->setToolTip(QStringLiteral("Next (F3)"));
    findNextButton->setAccessibleName(QStringLiteral("Next"));
    matchCountLabel = makeChild<QLabel>(this, QStringLiteral("matchCountLabel"));
    // Room for "1000000 of 4000000" without the bar moving as the numbers grow.
    matchCountLabel->setMinimumWidth(
        matchCountLabel->fontMetrics().horizontalAdvance(QStringLiteral("0000000 of 0000000")));
    closeFindButton = makeChild<QToolButton>(this, QStringLiteral("closeFindButton"));
    closeFindButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeFindButton->setAutoRaise(true);
    closeFindButton->setToolTip(QStringLiteral("Close (Esc)"));
    closeFindButton->setAccessibleName(QStringLiteral("Close"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(findEdit, 1);
    row->addWidget(caseSensitiveBox);
    row->addWidget(findPreviousButton);
    row->addWidget(findNextButton);
    row->addWidget(matchCountLabel);
    row->addWidget(closeFindButton);
    setFocusProxy(findEdit);

    // Enter is told from Shift+Enter on the line edit, which reports only that one was pressed.
    findEdit->installEventFilter(this);
    connect(findEdit, &QLineEdit::textChanged, this, &MonitorFindBar::applyPattern);
    connect(caseSensitiveBox, &QCheckBox::toggled, this, &MonitorFindBar::applyPattern);
    connect(findPreviousButton, &QToolButton::clicked, this, &MonitorFindBar::findPrevious);
    connect(findNextButton, &QToolButton::clicked, this, &MonitorFindBar::findNext);
    connect(closeFindButton, &QToolButton::clicked, this, &MonitorFindBar::closeBar);
    // Matches counted as lines arrive are shown four times a second: a count redrawn with every
    // repaint of the monitor cost reception more than searching the lines did.
    m_countTimer.setSingleShot(true);
    m_countTimer.setInterval(250);
    connect(&m_countTimer, &QTimer::timeout, this, &MonitorFindBar::showCount);
    connect(m_monitor, &MonitorView::matchesChanged, this, [this] {
        if (!m_countTimer.isActive())
            m_countTimer.start();
    });
}

void MonitorFindBar::open()
{
    if (isHidden()) {
        show();
        m_monitor->setFindPattern(findEdit->text(),
                                  caseSensitiveBox->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
    }
    findEdit->setFocus(Qt::ShortcutFocusReason);
    findEdit->selectAll();
    showCount();
}

void MonitorFindBar::findNext()
{
    open();
    m_monitor->find(MonitorView::FindStep::Next);
    showCount();
}

void MonitorFindBar::findPrevious()
{
    open();
    m_monitor->find(MonitorView::FindStep::Previous);
    showCount();
}

void MonitorFindBar::applyPattern()
{
    m_monitor->setFindPattern(findEdit->text(),
                              caseSensitiveBox->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
    // As typed: the match nearest to where the user is looking.
    m_monitor->find(MonitorView::FindStep::Here);
    showCount();
}

void MonitorFindBar::closeBar()
{
    hide();
    // Nothing is searched while the bar is closed; the match gone to stays selected.
    m_monitor->setFindPattern(QString(), Qt::CaseInsensitive);
    m_monitor->setFocus(Qt::OtherFocusReason);
}

void MonitorFindBar::showCount()
{
    if (findEdit->text().isEmpty() || isHidden())
        matchCountLabel->clear();
    else
        matchCountLabel->setText(
            QStringLiteral("%1 of %2").arg(m_monitor->currentMatch()).arg(m_monitor->matchCount()));
}

bool MonitorFindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == findEdit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                findPrevious();
            else
                findNext();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MonitorFindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        closeBar();
        return;
    }
    QWidget::keyPressEvent(event);
}
