// Reception end to end: a pseudo-terminal, the receive worker, the passes and the main window's
// monitor.
#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "Dialogs.h"
#include "FrameAssembler.h"
#include "KeyPanel.h"
#include "LinkStatsWindow.h"
#include "MainWindow.h"
#include "MonitorView.h"
#include "SurveyPanel.h"
#include "TestSupport.h"
#include "TextPanel.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class RecvPathTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<MainWindow> m_main;

    // The main window, opened on a fresh pseudo-terminal at start-up.
    MainWindow& window()
    {
        m_pty = std::make_unique<Pty>();
        useSettingsNamingPort(m_dir.filePath(QStringLiteral("zelvoterm.ini")), m_pty->slavePath());
        m_main = std::make_unique<MainWindow>();
        return *m_main;
    }
    QStringList monitorLines() { return m_main->monitor()->lines(); }

private slots:
    void init() { resetLink(); }
    void cleanup()
    {
        m_main.reset();
        m_pty.reset();
        resetLink();
    }

    void aFrameReachesTheMonitorAndAnswersTheWait()
    {
        MainWindow& w = window();
        QVERIFY(commSettings.portOpen);
        answerReceived = 0;
        QTimer::singleShot(100, [this] { m_pty->write(hex("0F 5A 0E 13 01 12 34 56 78 9A BC DE F0 55")); });
        QElapsedTimer t;
        t.start();
        QVERIFY(waitForAnswer(2000));
        QVERIFY(t.elapsed() < 1000);
        QVERIFY(waitUntil([this] { return !monitorLines().isEmpty(); }));
        QCOMPARE(monitorLines(),
                 QStringList(QStringLiteral(" 0Fh 5Ah 0Eh 13h 01h 12h 34h 56h 78h 9Ah BCh DEh F0h 55h")));
        QCOMPARE(w.findChild<TextPanel*>("sourceIdPanel")->text(), QStringLiteral("12 34 56 78 "));
        QCOMPARE(w.findChild<TextPanel*>("destinationIdPanel")->text(), QStringLiteral("9A BC DE F0 "));
    }

    void textRepliesAreShownInTextModeAsOneLine()
    {
        MainWindow& w = window();
        w.toggleSendMode();                                       // Text
        m_pty->write(hex("82 B1 82 F1 82 C9 82 BF 82 CD 0D 0A")); // こんにちは CR LF
        QVERIFY(waitUntil([this] { return !monitorLines().isEmpty(); }));
        QCOMPARE(monitorLines(), QStringList(QStringLiteral("こんにちは 0Dh 0Ah")));
    }

    void thousandAndOneLinesThenOneBlockLeavesOneLine()
    {
        MainWindow& w = window();
        MonitorView* m = w.monitor();
        m->setLines(QStringList(1001, QStringLiteral("old")));
        const uint8_t block[] = {0x41};
        w.displayReceivedBlock(block);
        QCOMPARE(m->lineCount(), 1);
        QCOMPARE(m->lines(), QStringList(QStringLiteral(" 41h")));

        m->setLines(QStringList(1000, QStringLiteral("old")));
        w.displayReceivedBlock(block);
        QCOMPARE(m->lineCount(), 1001);
        w.displayReceivedBlock(block);
        QCOMPARE(m->lineCount(), 1);
    }

    void timeStampsLeadTheLine()
    {
        MainWindow& w = window();
        w.findChild<QCheckBox*>("timeStampBox")->setChecked(true);
        const uint8_t block[] = {0x0F, 0x5A};
        w.displayReceivedBlock(block);
        const QString line = w.monitor()->lines().value(0);
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.0\\d{3} => 0Fh 5Ah$"))
                     .match(line)
                     .hasMatch(),
                 qPrintable(line));
    }

    void keyReportsGoToTheKeyPanelFirstShortBlocksToNobodyAndAllToTheLinkStatistics()
    {
        MainWindow& w = window();
        w.createToolWindows();
        w.onPadTypeChosen(4);
        w.showSurveyPanel();
        w.surveyPanel()->findChild<QPushButton*>("startButton")->click();
        auto* keyPanelStatus = w.keyPanel()->findChild<PanelStatusBar*>("statusPanels");
        auto* surveyStatus = w.surveyPanel()->findChild<PanelStatusBar*>("statusPanels");
        const QByteArray report = hex("0F 5A 13 13 00 FF FF FF FF 12 34 56 78 83 41 00 00 01 FE");
        const auto feed = [&](const QByteArray& b) { w.displayReceivedBlock(asBlock(b)); };
        feed(report);
        QCOMPARE(keyPanelStatus->panelText(1), QStringLiteral("83h 41h 00h 00h"));
        QCOMPARE(surveyStatus->panelText(1), QString());

        keyPanelStatus->setPanelText(1, QStringLiteral("untouched"));
        for (int n = 1; n <= 3; ++n)
            feed(hex("13 13 13").left(n));
        QCOMPARE(keyPanelStatus->panelText(1), QStringLiteral("untouched"));

        w.keyPanel()->close();
        feed(report);
        QCOMPARE(surveyStatus->panelText(1), QStringLiteral("83h 41h"));

        // The link statistics count every block, whichever panel took it, in either send mode.
        w.toggleSendMode();
        QVERIFY(!w.binaryMode());
        feed(report);
        const std::vector<LinkRow>& rows = w.linkStatsWindow()->stats().rows();
        QCOMPARE(rows.size(), size_t(2));
        QCOMPARE(rows[0].frames, uint64_t(3));
        QCOMPARE(rows[0].duplicates, uint64_t(2));
        QCOMPARE(rows[1].kind, LinkRow::Kind::NotAFrame);
        QCOMPARE(rows[1].bytes, uint64_t(1 + 2 + 3));
    }

    void monitorClearAndTheMsgIdLabelBlankThePortState()
    {
        MainWindow& w = window();
        const uint8_t block[] = {0x41};
        for (const char* clearer : {"monitorClearButton", "msgIdLabel"}) {
            w.displayReceivedBlock(block);
            w.statusPanels()->setPanelText(0, QStringLiteral("x:OK"));
            QWidget* c = w.findChild<QWidget*>(clearer);
            QTest::mouseClick(c, Qt::LeftButton, {}, c->rect().center());
            QCOMPARE(w.monitor()->lineCount(), 0);
            QCOMPARE(w.statusPanels()->panelText(0), QString());
        }
    }

    void aPulledCableEndsReceptionAndTheWindowStaysUsable()
    {
        MainWindow& w = window();
        const QString name = m_pty->slavePath();
        m_pty->closeMaster();
        QVERIFY(waitUntil([] { return !commSettings.portOpen; }));
        QCOMPARE(w.statusPanels()->panelText(0), name + QStringLiteral(":OFF"));
        const uint8_t block[] = {0x41};
        w.displayReceivedBlock(block);
        QCOMPARE(w.monitor()->lineCount(), 1);
        Pty other;
        commSettings.portName = other.slavePath();
        QVERIFY(commOpen());
        other.write("hello");
        QVERIFY(waitUntil([&] { return w.monitor()->lineCount() == 2; }));
    }

    void closingDuringABurstReturnsPromptly()
    {
        window();
        const QByteArray burst(60000, 'z');
        QTimer::singleShot(0, [this, &burst] { m_pty->write(burst); });
        QTest::qWait(20);
        QElapsedTimer t;
        t.start();
        commClose();
        QVERIFY(t.elapsed() < 500);
        QVERIFY(!commSettings.portOpen);
        QVERIFY(!commSettings.workerRunning);
    }

    // A handler inside a pass that runs an event loop in which the port is closed (a message box,
    // a wait, the settings command) must not wait for its own pass.
    void closingFromInsideAPassDoesNotDeadlock()
    {
        struct ClosingView : RecordingView {
            bool closed = false;
            void displayReceivedBlock(std::span<const uint8_t> block) override
            {
                RecordingView::displayReceivedBlock(block);
                if (closed)
                    return;
                closed = true;
                pumpWait(20);
                commClose();
            }
        } view;
        Pty pty;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        pty.write(hex("0F 5A 0D 13 00 01 02 03 04 05 06 07 08 0F 5A 0D"));
        QVERIFY(waitUntil([&] { return view.closed && !commSettings.portOpen; }));
        QVERIFY(!commSettings.workerRunning);
        QVERIFY(commOpen());
        pty.write(hex("0F 5A 0D 13 00 01 02 03 04 05 06 07 08"));
        QVERIFY(waitUntil([&] { return view.blocks.size() >= 2; }));
    }

    void openingAPortStartsBetweenFrames()
    {
        RecordingView view;
        Pty pty;
        // The last port closed in the middle of a frame of 16 bytes.
        receivedFrame.state = 7;
        receivedFrame.length = 16;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        const QByteArray frame = hex("0F 5A 0D 13 00 01 02 03 04 05 06 07 08");
        pty.write(frame);
        QVERIFY(waitForAnswer(2000));
        QCOMPARE(view.blocks, std::vector<QByteArray>{frame});
        QCOMPARE(view.srcShown, 1);
    }

    // A handler that closes and reopens the port in a nested event loop (the key panel's pause,
    // a message box) sees the new port start between frames, and the closed port's pass shows
    // nothing more.
    void aPortReopenedWhileABlockIsHandledStartsAfresh()
    {
        struct ReopeningView : RecordingView {
            Pty* pty = nullptr;
            QByteArray answer;
            void displayReceivedBlock(std::span<const uint8_t> block) override
            {
                RecordingView::displayReceivedBlock(block);
                if (blocks.size() != 1)
                    return;
                commClose();
                QVERIFY(commOpen());
                pty->write(answer);
                QVERIFY(waitUntil([this] { return blocks.size() >= 2; }));
            }
        } view;
        Pty pty;
        view.pty = &pty;
        view.answer = hex("0F 5A 0E 13 00 21 22 23 24 25 26 27 28 29");
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        const QByteArray first = hex("0F 5A 0D 13 00 01 02 03 04 05 06 07 08");
        const QByteArray beforeClose = hex("0F 5A 0D 13 00 11 12 13 14 15 16 17 18 0F 5A 0E 13");
        pty.write(first + beforeClose);
        QVERIFY(waitUntil([&] { return view.blocks.size() >= 2; }));
        const QByteArray last = hex("0F 5A 0D 13 00 31 32 33 34 35 36 37 38");
        answerReceived = 0;
        pty.write(last);
        QVERIFY(waitForAnswer(2000));
        QTest::qWait(150); // longer than the receive time-out: any cut-off piece would show now
        QCOMPARE(view.blocks, (std::vector<QByteArray>{first, view.answer, last}));
        QCOMPARE(receivedFrame.sourceId, (std::array<uint8_t, 4>{0x31, 0x32, 0x33, 0x34}));
    }

    void everyByteOfAFloodIsShown()
    {
        RecordingView view;
        Pty pty;
        commSettings.portName = pty.slavePath();
        commSettings.receiveTimeoutMs = 30;
        QVERIFY(commOpen());
        const auto shownBytes = [&] {
            qsizetype shown = 0;
            for (const QByteArray& b : view.blocks)
                shown += b.size();
            return shown;
        };
        QByteArray frames;
        for (int i = 0; i < 3000; ++i)
            frames += hex("0F 5A 13 13 00 11 22 33 44 55 66 77 88 83 41 00 00 05 FA");
        pty.write(frames);
        QVERIFY(waitUntil([&] { return shownBytes() == frames.size(); }, 10000));
        QCOMPARE(view.blocks.size(), size_t(3000));

        view.blocks.clear();
        QByteArray text;
        for (int i = 0; text.size() < 100000; ++i)
            text += "line " + QByteArray::number(i) + "\r\n";
        pty.write(text);
        QVERIFY(waitUntil([&] { return shownBytes() == text.size(); }, 10000));
        QCOMPARE(view.blocks.front().size(), 4097);
    }
};

QTEST_MAIN(RecvPathTest)
#include "tst_recvpath.moc"
