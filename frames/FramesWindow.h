#pragma once

#include "FrameLog.h"
#include "FramesModel.h"

#include <QByteArrayView>
#include <QTimer>
#include <QWidget>

#include <bitset>
#include <span>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QTextEdit;

// Every frame sent and received, decoded, filtered and searchable: a tool window created hidden at
// start-up. It records whether shown or not; the table catches up with the log on a beat while the
// window is shown.
class FramesWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBeatMs = 30;
    static constexpr int kFilterSliceMs = 25;

    explicit FramesWindow(QWidget* owner = nullptr);

    void recordReceived(std::span<const uint8_t> block);
    void recordSentFrame(QByteArrayView frame);
    void recordSentText(QByteArrayView line);
    [[nodiscard]] const FrameLog& log() const { return m_log; }
    [[nodiscard]] FramesModel& model() { return m_model; }

    // Shows the window, or brings it to the front when it is shown already.
    void showInFront();

public slots:
    // Takes the new frames into the table now; the beat does it every 30 ms while shown.
    void refresh();
    void onOpenClicked();
    void onSaveAsClicked();
    // F3 and Shift+F3: the next or previous row whose payload or decoded column holds the text.
    void findNext();
    void findPrevious();

signals:
    // "Send again" on a frame: its bytes, for the send line.
    void sendAgainRequested(const QByteArray& frame);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void applyFilter();
    void continueFilter();
    void updateCommandChoices();
    void updateCount();
    void showSelectedBytes();
    void copySelectedRows();
    void onTableContextMenu(const QPoint& at);
    void find(int step);
    [[nodiscard]] bool following() const;

    FrameLog m_log;
    FramesModel m_model{m_log};
    QComboBox* directionBox = nullptr;
    QComboBox* commandBox = nullptr;
    QLineEdit* idFilterEdit = nullptr;
    QLineEdit* textFilterEdit = nullptr;
    QCheckBox* onlyMatchingBox = nullptr;
    QTableView* framesTable = nullptr;
    QTextEdit* bytesView = nullptr;
    QLabel* countLabel = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* saveAsButton = nullptr;
    QMenu* rowMenu = nullptr;
    QTimer m_beat;
    QTimer m_filterStep; // builds a new filter's rows in slices, so typing never waits for them
    std::bitset<256> m_commandsListed;
    std::bitset<3> m_kindsListed;
    QString m_fileName;
    QString m_loadedFrom; // the file the loaded rows came from
    bool m_placed = false;
};
