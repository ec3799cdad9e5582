// The send line of the main window and the port settings it shows.
#include "MainWindow.h"

#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "Dialogs.h"
#include "IdPanel.h"
#include "ModuleFrame.h"
#include "SendLine.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace {
int exactIndex(const QComboBox* box, const QString& text)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i) == text)
            return i;
    }
    return -1;
}
} // namespace

void MainWindow::btnSendClick()
{
    if (binaryMode()) {
        const QString refused =
            SendUserFrame(edtMsgID->text(), edtSrcID->text(), edtDstID->text(), cmbSend->currentText());
        if (!refused.isEmpty())
            showError(this, refused);
        return;
    }
    CommitSendDelimiter();
    SendTextLine(cmbSend->currentText());
    AddSendHistory();
}

void MainWindow::SendTextLine(const QString& text)
{
    CommWrite(TextLineBytes(text, CommSettings.SendHead, CommSettings.SendDlmt));
}

void MainWindow::AddSendHistory()
{
    const QString text = cmbSend->currentText();
    if (exactIndex(cmbSend, text) < 0) {
        cmbSend->addItem(text);
        cmbSend->setEditText(text);
    }
}

void MainWindow::CommitSendDelimiter()
{
    const QString text = cmbSendDlmt->currentText();
    if (exactIndex(cmbSendDlmt, text) < 0) {
        const QSignalBlocker quiet(cmbSendDlmt);
        cmbSendDlmt->addItem(text);
        cmbSendDlmt->setEditText(text);
    }
    CommSettings.SendDlmt = text;
}

void MainWindow::cmbSendDlmtChange()
{
    const int index = cmbSendDlmt->currentIndex();
    const bool itemSelected = index >= 0 && cmbSendDlmt->itemText(index) == cmbSendDlmt->currentText();
    if (itemSelected && index < kDelimiterNames.size())
        CommSettings.SendDlmt = kDelimiterNames[index];
    else
        CommSettings.SendDlmt = cmbSendDlmt->currentText();
}

void MainWindow::lblSendTextClick()
{
    QPalette pal = lblSendText->palette();
    if (m_sendModeTag != 0) {
        m_sendModeTag = 0;
        lblSendText->setText(QStringLiteral("Text"));
        pal.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
    } else {
        m_sendModeTag = 1;
        lblSendText->setText(QStringLiteral("Binary"));
        pal.setColor(QPalette::WindowText, QColor(255, 0, 0));
    }
    lblSendText->setPalette(pal);
}

void MainWindow::ShowPortSettings()
{
    const QString dlmt = CommSettings.SendDlmt;
    {
        const QSignalBlocker quiet(cmbSendDlmt);
        if (const int index = exactIndex(cmbSendDlmt, dlmt); index >= 0) {
            cmbSendDlmt->setCurrentIndex(index);
        } else {
            cmbSendDlmt->addItem(dlmt);
            cmbSendDlmt->setCurrentIndex(cmbSendDlmt->count() - 1);
        }
    }
    showFitting(pnlCom, CommSettings.PortName, Qt::AlignCenter);
    pnlBps->setText(QString::number(CommSettings.BaudRate) + QStringLiteral("bps"));
}

void MainWindow::lblSendSrcIDDblClick()
{
    const QString id = pnlDstID->text();
    edtSrcID->setText(id);
    if (id.contains(QStringLiteral("FF FF FF FF")))
        edtMsgID->setText(QStringLiteral("13"));
    else if (!id.isEmpty())
        edtMsgID->setText(QStringLiteral("11"));
}
