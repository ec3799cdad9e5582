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
    return deviceBox->currentIndex();
}

int MainWindow::SelectedRateCode() const
{
    int code = kRate100k;
    if (rate9600Button->isChecked())
        code = kRate9600;
    if (rate100kButton->isChecked())
        code = kRate100k;
    if (rate500kButton->isChecked())
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
    channelBox->clear();
    channelBox->addItems(lists.channels);
    channelBox->setCurrentIndex(lists.channelIndex);
    powerBox->clear();
    powerBox->addItems(lists.powers);
    powerBox->setCurrentIndex(lists.powerIndex);
    if (lists.showRates)
        RFRateCode = SelectedRateCode();
    radioRatePanel->setVisible(lists.showRates);
}

void MainWindow::btnRFchClick()
{
    if (!CommSettings.OpenFlag)
        CommOpen();
    if (CommSettings.OpenFlag)
        SendRFConfig(deviceKind(), channelBox->currentIndex(), powerBox->currentIndex(), SelectedRateCode());
}

void MainWindow::btnInitClick()
{
    if (!CommSettings.OpenFlag)
        CommOpen();
    if (!CommSettings.OpenFlag)
        return;
    SendRFConfig(deviceKind(), channelBox->currentIndex(), powerBox->currentIndex(), SelectedRateCode());
    WaitForAnswer(1000);
    SendRFInit(deviceKind(), channelBox->currentIndex());
}

void MainWindow::btnToRFchClick()
{
    if (destinationIdPanel->text().isEmpty())
        return;
    SendRemoteRFch(deviceKind(), channelBox->currentIndex(), powerBox->currentIndex(), SelectedRateCode(),
                   RecvFrame.RecvDstID);
}
