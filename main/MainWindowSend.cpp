// The send line of the main window and the port settings it shows.
#include "MainWindow.h"

#include "ClickLabel.h"
#include "CommSettings.h"
#include "Dialogs.h"
#include "ModuleFrame.h"
#include "SendLine.h"
#include "TextPanel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

void MainWindow::onSendClicked()
{
    if (binaryMode()) {
        const QString refused = sendUserFrame(msgIdEdit->text(), sourceIdEdit->text(),
                                              destinationIdEdit->text(), sendTextBox->currentText());
        if (!refused.isEmpty())
            showError(this, refused);
        return;
    }
    commitSendDelimiter();
    sendTextLine(sendTextBox->currentText());
    addSendHistory();
}

void MainWindow::sendTextLine(const QString& text)
{
    writeSent(SentKind::TextLine, {textLineBytes(text, commSettings.sendHeader, commSettings.sendDelimiter)});
}

void MainWindow::addSendHistory()
{
    const QString text = sendTextBox->currentText();
    if (sendTextBox->findText(text) < 0) {
        sendTextBox->addItem(text);
        sendTextBox->setEditText(text);
    }
}

void MainWindow::commitSendDelimiter()
{
    const QString text = delimiterBox->currentText();
    if (delimiterBox->findText(text) < 0) {
        const QSignalBlocker quiet(delimiterBox);
        delimiterBox->addItem(text);
        delimiterBox->setEditText(text);
    }
    commSettings.sendDelimiter = text;
}

void MainWindow::onDelimiterChanged()
{
    const int index = delimiterBox->currentIndex();
    const bool itemSelected = index >= 0 && delimiterBox->itemText(index) == delimiterBox->currentText();
    if (itemSelected && index < kDelimiterNames.size())
        commSettings.sendDelimiter = kDelimiterNames[index];
    else
        commSettings.sendDelimiter = delimiterBox->currentText();
}

void MainWindow::toggleSendMode()
{
    m_binaryMode = !m_binaryMode;
    sendModeLabel->setText(m_binaryMode ? QStringLiteral("Binary") : QStringLiteral("Text"));
    showFixedColours();
}

void MainWindow::showPortSettings()
{
    const QString dlmt = commSettings.sendDelimiter;
    {
        const QSignalBlocker quiet(delimiterBox);
        if (const int index = delimiterBox->findText(dlmt); index >= 0) {
            delimiterBox->setCurrentIndex(index);
        } else {
            delimiterBox->addItem(dlmt);
            delimiterBox->setCurrentIndex(delimiterBox->count() - 1);
        }
    }
    showFitting(portPanel, commSettings.portName, Qt::AlignCenter);
    bitRatePanel->setText(QString::number(commSettings.baudRate) + QStringLiteral("bps"));
}

void MainWindow::onSourceIdLabelDoubleClicked()
{
    const QString id = destinationIdPanel->text();
    sourceIdEdit->setText(id);
    if (id.contains(QStringLiteral("FF FF FF FF")))
        msgIdEdit->setText(QStringLiteral("13"));
    else if (!id.isEmpty())
        msgIdEdit->setText(QStringLiteral("11"));
}

void MainWindow::fillSendLine(const QByteArray& frame)
{
    const QByteArray hex = frame.toHex(' ').toUpper();
    // Each byte is three characters of the hexadecimal text: command at 3, the IDs at 5 and 9.
    msgIdEdit->setText(QString::fromLatin1(hex.mid(3 * 3, 2)));
    sourceIdEdit->setText(QString::fromLatin1(hex.mid(5 * 3, 11)));
    destinationIdEdit->setText(QString::fromLatin1(hex.mid(9 * 3, 11)));
    sendTextBox->setEditText(QString::fromLatin1(hex.mid(13 * 3)));
    if (!binaryMode())
        toggleSendMode();
}
