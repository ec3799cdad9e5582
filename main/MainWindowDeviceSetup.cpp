// The device set-up row of the main window: device kind, RF channel, power and over-the-air bit
// rate, and the commands that send them.
#include "MainWindow.h"

#include "CommPort.h"
#include "CommSettings.h"
#include "DeviceSetup.h"
#include "FrameAssembler.h"
#include "TextPanel.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

int MainWindow::deviceKind() const
{
    return deviceBox->currentIndex();
}

int MainWindow::selectedRateCode() const
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

void MainWindow::onDeviceChosen()
{
    const int kind = deviceKind();
    if (kind < KindVinta24A || kind > KindVintaC)
        return;
    chosenDeviceKind = kind;
    const DeviceLists lists = applyDeviceKind(kind);
    channelBox->clear();
    channelBox->addItems(lists.channels);
    channelBox->setCurrentIndex(lists.channelIndex);
    powerBox->clear();
    powerBox->addItems(lists.powers);
    powerBox->setCurrentIndex(lists.powerIndex);
    if (lists.showRates)
        rfRateCode = selectedRateCode();
    radioRatePanel->setVisible(lists.showRates);
}

void MainWindow::onSetChannelClicked()
{
    if (!commSettings.portOpen)
        commOpen();
    if (commSettings.portOpen)
        sendRfConfig(deviceKind(), channelBox->currentIndex(), powerBox->currentIndex(), selectedRateCode());
}

void MainWindow::onInitClicked()
{
    if (!commSettings.portOpen)
        commOpen();
    if (!commSettings.portOpen)
        return;
    sendRfConfig(deviceKind(), channelBox->currentIndex(), powerBox->currentIndex(), selectedRateCode());
    waitForAnswer(1000);
    sendRfInit(deviceKind(), channelBox->currentIndex());
}

void MainWindow::onRemoteChannelClicked()
{
    if (destinationIdPanel->text().isEmpty())
        return;
    sendRemoteChannel(deviceKind(), channelBox->currentIndex(), powerBox->currentIndex(), selectedRateCode(),
                      receivedFrame.destinationId);
}
