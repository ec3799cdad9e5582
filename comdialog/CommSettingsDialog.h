#pragma once

#include "CommSettings.h"
#include "PortSearch.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStandardItemModel;

// The communication settings dialog. Created for each use; its OK button opens the port with the
// edited settings and closes the dialog only when that succeeded.
class CommSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // What the port search needs from the main window.
    struct SearchHooks {
        std::function<void()> sendProbe;    // the RF-settings command of the current device kind
        std::function<void()> clearMonitor; // empties the main window's monitor
    };

    explicit CommSettingsDialog(QWidget* owner, SearchHooks hooks = {});

public slots:
    void onOkClicked();
    void onCancelClicked();
    void onPortSearchClicked();
    // Lists the ports the system has now, keeping what is typed in the port box; not while a
    // search's result is shown.
    void refreshPortList();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void onOpened();
    void fillControls();
    void setSearching(bool searching);
    void setUpPortList();
    void addPortRow(const PortInfo& port);
    void fitPortPopup();

    SearchHooks m_hooks;
    bool m_searching = false;
    bool m_searchResultShown = false;
    QStandardItemModel* m_ports = nullptr;
    QComboBox* portBox = nullptr;
    QComboBox* bitRateBox = nullptr;
    QComboBox* dataBitsBox = nullptr;
    QComboBox* parityBox = nullptr;
    QComboBox* stopBitsBox = nullptr;
    QComboBox* sendHeaderBox = nullptr;
    QComboBox* sendDelimiterBox = nullptr;
    QComboBox* receiveDelimiterBox = nullptr;
    QLineEdit* receiveTimeoutEdit = nullptr;
    QProgressBar* searchProgressBar = nullptr;
    QPushButton* portSearchButton = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
};
