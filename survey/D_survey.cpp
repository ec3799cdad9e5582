#include "D_survey.h"

TfrmSurvey* frmSurvey = nullptr;

TfrmSurvey::TfrmSurvey(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint)
{
    frmSurvey = this;
    setObjectName(QStringLiteral("frmSurvey"));
    setWindowTitle(QStringLiteral("Pad04W Survey"));
    setAttribute(Qt::WA_QuitOnClose, false);
}

TfrmSurvey::~TfrmSurvey()
{
    if (frmSurvey == this)
        frmSurvey = nullptr;
}

void TfrmSurvey::CountRecvKey(const QString& line)
{
    (void)line;
}

void TfrmSurvey::SurveyTick() {}

void TfrmSurvey::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_openFlag = 1;
}

void TfrmSurvey::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_openFlag = 0;
}
