#pragma once

#include "CommView.h"
#include "PortReconnect.h"
#include "SessionLog.h"
#include "SettingsFile.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>

class ClickLabel;
class FramesWindow;
class TextPanel;
class KeyPanel;
class LinkStatsWindow;
class MonitorFindBar;
class MonitorView;
class PanelStatusBar;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class SurveyPanel;

// The main window: device set-up row, send line, monitor tool row, monitor and status bar. It
// owns start-up and shut-down of the link and shows what the link reports.
class MainWindow : public QMainWindow, public CommView {
    Q_OBJECT
public:
    // The overrides (from the command line) are applied to the settings as they are loaded.
    explicit MainWindow(QWidget* parent = nullptr, const SettingsOverrides& overrides = {});
    ~MainWindow() override;

    // What the link shows here.
    void setPortStatus(const QString& text) override;
    void setSettingsStatus(const QString& text) override;
    void displayReceivedBlock(std::span<const uint8_t> block) override;
    void showSourceId() override;
    void showDestinationId() override;
    void reportMessage(LinkMessage kind, const QString& text, const QString& caption) override;
    void showModemLines(bool dtrRaised, bool rtsRaised) override;

    // Creates the tool windows (key panel, survey panel, link statistics, frames), hidden, owned by this
    // window.
    void createToolWindows();
    // The tool windows; null before createToolWindows().
    [[nodiscard]] KeyPanel* keyPanel() const;
    [[nodiscard]] SurveyPanel* surveyPanel() const;
    [[nodiscard]] LinkStatsWindow* linkStatsWindow() const;
    [[nodiscard]] FramesWindow* framesWindow() const;

    // Shows the delimiter setting in the delimiter box, the port name and the bit rate.
    void showPortSettings();
    // Takes the delimiter box's text into its list (once) and into the setting.
    void commitSendDelimiter();
    void sendTextLine(const QString& text);
    void addSendHistory();
    // Send mode: true for "Binary", false for Text.
    [[nodiscard]] bool binaryMode() const { return m_binaryMode; }
    [[nodiscard]] int selectedRateCode() const;
    [[nodiscard]] MonitorView* monitor() const { return m_monitor; }
    [[nodiscard]] PanelStatusBar* statusPanels() const { return m_statusPanels; }

    // The caption for an executable file: the title, then "  [ Ver.yyyymmdd ]" from the file's
    // modification date when it can be read.
    [[nodiscard]] static QString captionFor(const QString& executablePath);

public slots:
    void onMonitorClearClicked();
    void onSendClicked();
    void toggleSendMode();
    void onDelimiterChanged();
    void editCommSettings();
    void onQuitChosen();
    void onShowInitButtonChosen();
    void showSurveyPanel();
    void onPadTypeChosen(int keyCount);
    void onOpenChosen();
    void onSaveAsChosen();
    void onLogChosen();
    void onAutoReconnectChosen();
    void onFontPanelDoubleClicked();
    void onStatusBarDoubleClicked();
    void onDeviceChosen();
    void onSetChannelClicked();
    void onInitClicked();
    void onRemoteChannelClicked();
    void onSourceIdLabelDoubleClicked();
    // Puts a frame into the send line (Binary mode), so that Send sends it again.
    void fillSendLine(const QByteArray& frame);
    void onClockTick();
    void updateLogStatus();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void initialise(const SettingsOverrides& overrides);
    void buildSetupBand(QWidget* band);
    void buildSendBand(QWidget* band);
    void buildMonitorBand(QWidget* band);
    void buildMenu();
    void placeRightAnchored();
    // Sets the clock timer for the next whole second, or half second while a survey runs, from
    // the milliseconds of the local clock.
    void startClockTimer(int msec);
    // Takes back what the last run remembered (font, colour, LogTime, send mode, send texts and
    // the main window's place), and keeps it for the next run.
    void restoreRememberedState();
    void rememberState();
    // The ID panels and the send mode in the colours that read on the window's palette.
    void showFixedColours();
    // An invalid colour keeps the text colour as it is.
    void showMonitorFont(const QFont& font, const QColor& colour);
    // The tool windows, null before createToolWindows().
    [[nodiscard]] std::array<QWidget*, 4> toolWindows() const;
    // The communication settings dialog; true when it was accepted.
    bool runSettingsDialog();
    [[nodiscard]] int deviceKind() const;
    // The log's menu item and status label after the log has stopped.
    void showLogStopped();

    // The three bands above the monitor.
    QWidget* setupBand = nullptr;
    QWidget* sendBand = nullptr;
    QWidget* monitorBand = nullptr;

    // The device set-up row; the ID panels show the IDs of the last frame received.
    QComboBox* channelBox = nullptr;
    QComboBox* powerBox = nullptr;
    QPushButton* setChannelButton = nullptr;
    QPushButton* remoteChannelButton = nullptr;
    QLabel* sourceIdCaption = nullptr;
    TextPanel* sourceIdPanel = nullptr;
    QLabel* destinationIdCaption = nullptr;
    TextPanel* destinationIdPanel = nullptr;
    QLabel* productIdCaption = nullptr;
    TextPanel* productIdPanel = nullptr;
    QFrame* radioRatePanel = nullptr; // the over-the-air bit rate
    QRadioButton* rate9600Button = nullptr;
    QRadioButton* rate100kButton = nullptr;
    QRadioButton* rate500kButton = nullptr;
    QComboBox* deviceBox = nullptr;
    QLabel* deviceLabel = nullptr;
    QPushButton* initButton = nullptr;

    // The send line; in "Binary" mode the MsgID and ID boxes fill the frame's header. A click on
    // msgIdLabel clears the monitor; a double-click on sourceIdLabel takes the last destination ID
    // into sourceIdEdit.
    QPushButton* sendButton = nullptr;
    ClickLabel* msgIdLabel = nullptr;
    QLineEdit* msgIdEdit = nullptr;
    ClickLabel* sourceIdLabel = nullptr;
    QLineEdit* sourceIdEdit = nullptr;
    QLabel* destinationIdLabel = nullptr;
    QLineEdit* destinationIdEdit = nullptr;
    ClickLabel* sendModeLabel = nullptr;
    QComboBox* sendTextBox = nullptr;
    QLabel* delimiterLabel = nullptr;
    QComboBox* delimiterBox = nullptr;

    // The monitor tool row.
    QPushButton* monitorClearButton = nullptr;
    ClickLabel* portPanel = nullptr;
    ClickLabel* bitRatePanel = nullptr;
    ClickLabel* fontPanel = nullptr;
    QCheckBox* timeStampBox = nullptr;
    TextPanel* clockPanel = nullptr;

    MonitorView* m_monitor = nullptr;
    MonitorFindBar* findBar = nullptr; // under the monitor, hidden until Ctrl+F
    PanelStatusBar* m_statusPanels = nullptr;

    QPointer<KeyPanel> m_keyPanel;
    QPointer<SurveyPanel> m_surveyPanel;
    QPointer<LinkStatsWindow> m_linkStatsWindow;
    QPointer<FramesWindow> m_framesWindow;

    QMenu* fileMenu = nullptr;
    QMenu* optionMenu = nullptr;
    QMenu* keyPanelMenu = nullptr;
    QAction* showInitButtonAction = nullptr;
    QAction* logAction = nullptr;
    QAction* autoReconnectAction = nullptr;
    QAction* dtrAction = nullptr; // ticked while the line is raised
    QAction* rtsAction = nullptr;
    QAction* breakAction = nullptr;
    QLabel* modemLinesLabel = nullptr; // the raised lines, in the status bar
    QLabel* logSizeLabel = nullptr;    // the running log and its size, in the status bar

    QTimer m_clockTimer;
    QTimer m_logTimer; // refreshes the log's size and hears of its failure
    SessionLog m_log;
    QString m_logFileName;
    PortReconnect m_reconnect;
    QColor m_monitorColour;    // the monitor's text colour the user chose, if any
    bool m_binaryMode = false; // the send mode: Text or "Binary"
    QString m_openFileName;    // the file names the open and save dialogs remember
    QString m_saveFileName;
};

// The program entry's set-up of the application object: its name, and no display name, which the
// platform would append to every window's caption.
void setUpApplication();
