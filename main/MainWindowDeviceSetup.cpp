// The device set-up row of the main window: device kind, RF channel, power and over-the-air bit
// rate, and the commands that send them.
#include "MainWindow.h"

#include "CommPort.h"
#include "CommSettings.h"
#include "DeviceSetup.h"
#include "FrameAssembler.h"
#include "IdPanel.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

int MainWindow::deviceKind() const
{
    return cmbDevice->currentIndex();
}

int MainWindow::SelectedRateCode() const
{
    int code = kRate100k;
    if (rb9600->isChecked())
        code = kRate9600;
    if (rb100k->isChecked())
        code = kRate100k;
    if (rb500k->isChecked())
        code = kRate500k;
    return code;
}

void MainWindow::cmbDeviceCloseUp()
{
    const int kind = deviceKind();
    if (kind < KindVinta24A || kind > KindVintaC)
        return;
    DeviceKind = kind;
    const DeviceLists lists = ApplyDeviceKind(kind);
    cmbRFch->clear();
    cmbRFch->addItems(lists.channels);
    cmbRFch->setCurrentIndex(lists.channelIndex);
    cmbRFpw->clear();
    cmbRFpw->addItems(lists.powers);
    cmbRFpw->setCurrentIndex(lists.powerIndex);
    if (lists.showRates)
        RFRateCode = SelectedRateCode();
    pnlRFBps->setVisible(lists.showRates);
}

void MainWindow::btnRFchClick()
{
    if (!CommSettings.OpenFlag)
        CommOpen();
    if (CommSettings.OpenFlag)
        SendRFConfig(deviceKind(), cmbRFch->currentIndex(), cmbRFpw->currentIndex(), SelectedRateCode());
}

void MainWindow::btnInitClick()
{
    if (!CommSettings.OpenFlag)
        CommOpen();
    if (!CommSettings.OpenFlag)
        return;
    SendRFConfig(deviceKind(), cmbRFch->currentIndex(), cmbRFpw->currentIndex(), SelectedRateCode());
    WaitForAnswer(1000);
    SendRFInit(deviceKind(), cmbRFch->currentIndex());
}

void MainWindow::btnToRFchClick()
{
    if (pnlDstID->text().isEmpty())
        return;
    SendRemoteRFch(deviceKind(), cmbRFch->currentIndex(), cmbRFpw->currentIndex(), SelectedRateCode(),
                   RecvFrame.RecvDstID);
}
