#include "D_rem.h"

#include "ModuleFrame.h"

TfrmRem* frmRem = nullptr;

TfrmRem::TfrmRem(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    frmRem = this;
    setObjectName(QStringLiteral("frmRem"));
    setWindowTitle(QStringLiteral("Remocon Panel"));
    setAttribute(Qt::WA_QuitOnClose, false);
    FrameSeq = 0;
}

TfrmRem::~TfrmRem()
{
    if (frmRem == this)
        frmRem = nullptr;
}

void TfrmRem::ShowRecvKey(const QString& line)
{
    (void)line;
}

void TfrmRem::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_openFlag = 1;
}

void TfrmRem::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_openFlag = 0;
}
