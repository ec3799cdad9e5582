// The Frames window: its model under QAbstractItemModelTester, and the window as the user meets it
// beside the main window on a pseudo-terminal: rows in order, filter bar, keys, copy, Send again,
// following, and a file that is refused.
#include "CommSettings.h"
#include "FrameText.h"
#include "FramesModel.h"
#include "FramesWindow.h"
#include "MainWindow.h"
#include "ModuleFrame.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

class FramesWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<MainWindow> m_main;

    // The main window on a pseudo-terminal with the Frames window opened from the Option menu.
    FramesWindow& window()
    {
        m_pty = std::make_unique<Pty>();
        useSettingsNamingPort(m_dir.filePath(QStringLiteral("zelvoterm.ini")), m_pty->slavePath());
        m_main = std::make_unique<MainWindow>();
        m_main->createToolWindows();
        m_main->show();
        m_main->findChild<QAction*>("framesAction")->trigger();
        FramesWindow& frames = *m_main->framesWindow();
        frames.activateWindow();
        if (!QTest::qWaitForWindowActive(&frames))
            qWarning("the Frames window did not become active");
        return frames;
    }
    template <typename T> T* child(const char* name) { return m_main->framesWindow()->findChild<T*>(name); }
    QTableView* table() { return child<QTableView>("framesTable"); }
    QString cell(int row, FrameColumn column)
    {
        return table()->model()->index(row, int(column)).data().toString();
    }
    QStringList columnTexts(FrameColumn column)
    {
        QStringList texts;
        for (int r = 0; r < table()->model()->rowCount(); ++r)
            texts << cell(r, column);
        return texts;
    }
    // What the module sends, once the window has taken it in.
    void receive(const QByteArray& bytes, int rowsAfter)
    {
        m_pty->write(bytes);
        QVERIFY(waitUntil([&] { return table()->model()->rowCount() == rowsAfter; }));
    }
    void type(const QString& text)
    {
        QTest::keyClicks(QApplication::focusWidget(), text);
        m_main->framesWindow()->refresh();
    }

private slots:
    void init() { resetLink(); }
    void cleanup()
    {
        m_main.reset();
        m_pty.reset();
        resetLink();
    }

    void theModelStaysSoundWhileFramesArriveDropOutAreFilteredAndReset()
    {
        FrameLog log(50);
        FramesModel model(log);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto add = [&](int count) {
            for (int i = 0; i < count; ++i) {
                log.recordReceived(asBlock(transmitterReport(0x12345600 + uint32_t(i % 3), uint8_t(i))), i);
                log.recordSentText(asBlock(QByteArray("x")), i);
            }
        };
        add(10);
        model.refresh();
        QCOMPARE(model.rowCount(), 20);
        FrameFilter oneTransmitter;
        oneTransmitter.id = QStringLiteral("12 34 56 01");
        model.setFilter(oneTransmitter);
        QCOMPARE(model.rowCount(), 3);
        add(40); // past the limit: the oldest drop out as new ones arrive
        model.refresh();
        QCOMPARE(model.rowCount(), 8);
        QCOMPARE(model.index(0, int(FrameColumn::Number)).data().toString(), QStringLiteral("53"));
        add(100); // everything shown before has dropped out
        model.refresh();
        QCOMPARE(model.rowCount(), 8);
        QCOMPARE(model.index(0, int(FrameColumn::Number)).data().toString(), QStringLiteral("253"));
        FrameLog other;
        other.recordReceived(asBlock(transmitterReport(0x12345601, 0)), 0);
        log.replaceWith(std::move(other));
        model.setFilter(model.filter());
        QCOMPARE(model.rowCount(), 1);
        model.setFilter({});
        QCOMPARE(model.rowCount(), 1);

        // A filter over many frames is built in slices; the rows stay those of the old filter
        // until the new ones are complete.
        FrameLog big;
        FramesModel sliced(big);
        QAbstractItemModelTester slicedTester(&sliced,
                                              QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int i = 0; i < 20'000; ++i)
            big.recordReceived(asBlock(transmitterReport(0x12345600 + uint32_t(i % 4), uint8_t(i))), i);
        sliced.refresh();
        sliced.startFilter(oneTransmitter);
        int slices = 1;
        while (!sliced.continueFilter(std::chrono::steady_clock::now())) {
            QCOMPARE(sliced.rowCount(), 20'000);
            ++slices;
        }
        QVERIFY(slices >= 4);
        QCOMPARE(sliced.rowCount(), 5'000);
    }

    void sentAndReceivedBlocksAreRowsInOrderDecoded()
    {
        FramesWindow& frames = window();
        QCOMPARE(frames.windowTitle(), QStringLiteral("Frames"));
        m_main->findChild<QPushButton*>("setChannelButton")->click();
        (void)m_pty->read(36);
        receive(transmitterReport(0x12345678, 0xFF, 0xCC), 2);
        receive("OK\r\n", 3);
        m_main->onStatusBarDoubleClicked();
        m_main->findChild<QPushButton*>("remoteChannelButton")->click();
        (void)m_pty->read(17);
        m_main->findChild<QLineEdit*>("msgIdEdit")->setText(QStringLiteral("55"));
        m_main->findChild<QComboBox*>("sendTextBox")->setEditText(QStringLiteral("01 02"));
        m_main->findChild<QPushButton*>("sendButton")->click();
        m_main->toggleSendMode();
        m_main->findChild<QComboBox*>("sendTextBox")->setEditText(QStringLiteral("hi"));
        m_main->findChild<QPushButton*>("sendButton")->click();
        // Nothing written while the port is closed is a sent frame.
        commClose();
        m_main->findChild<QPushButton*>("sendButton")->click();
        frames.refresh();
        QCOMPARE(columnTexts(FrameColumn::Direction),
                 QStringList({"sent", "received", "received", "sent", "sent", "sent"}));
        QCOMPARE(columnTexts(FrameColumn::Command),
                 QStringList({"2Ah RF parameter block", "13h key report", "not a frame",
                              "17h RF set-up to another device", "55h", "text"}));
        QCOMPARE(cell(0, FrameColumn::Decoded), QStringLiteral("ch 33  power 3  rate 100k"));
        QCOMPARE(cell(1, FrameColumn::Decoded),
                 QStringLiteral("maker 83 41 00 00  key Clear  complement ok"));
        QCOMPARE(cell(1, FrameColumn::Sequence), QStringLiteral("FF"));
        QCOMPARE(cell(1, FrameColumn::Destination), QStringLiteral("12 34 56 78"));
        QCOMPARE(cell(3, FrameColumn::Source), QStringLiteral("12 34 56 78"));
        QCOMPARE(cell(3, FrameColumn::Decoded), QStringLiteral("ch 33  power 3  rate 100k"));
        QCOMPARE(cell(4, FrameColumn::Payload), QStringLiteral("01 02"));
        QCOMPARE(cell(5, FrameColumn::Payload), QStringLiteral("68 69"));
        QCOMPARE(columnTexts(FrameColumn::Number), QStringList({"1", "2", "3", "4", "5", "6"}));
        QVERIFY(QRegularExpression(QStringLiteral(R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.0\d{3}$)"))
                    .match(cell(0, FrameColumn::Time))
                    .hasMatch());
        QCOMPARE(child<QLabel>("countLabel")->text(), QStringLiteral("6 frames, 6 shown"));

        // The command filter offers what was seen.
        auto* commands = child<QComboBox>("commandBox");
        QStringList offered;
        for (int i = 0; i < commands->count(); ++i)
            offered << commands->itemText(i);
        QCOMPARE(offered, QStringList({"All commands", "13h key report", "17h RF set-up to another device",
                                       "2Ah RF parameter block", "55h", "text", "not a frame"}));
        commands->setCurrentIndex(offered.indexOf(QStringLiteral("55h")));
        QCOMPARE(columnTexts(FrameColumn::Number), QStringList({"5"}));
    }

    void theFilterBarKeysCopyAndSendAgainWorkFromTheKeyboardAndMouse()
    {
        window();
        for (int i = 0; i < 6; ++i)
            receive(transmitterReport(0x12345670 + uint32_t(i % 2), uint8_t(i), uint8_t(i + 1)), i + 1);
        // Ctrl+F, then typing, filters at once; frames arriving later are filtered too.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>("textFilterEdit"));
        type(QStringLiteral("key 3"));
        QCOMPARE(columnTexts(FrameColumn::Number), QStringList({"3"}));
        QCOMPARE(child<QLabel>("countLabel")->text(), QStringLiteral("6 frames, 1 shown"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        type(QStringLiteral("complement ok"));
        child<QLineEdit>("idFilterEdit")->setFocus();
        type(QStringLiteral("12h 34h 56h 71h"));
        QCOMPARE(columnTexts(FrameColumn::Number), QStringList({"2", "4", "6"}));
        receive(transmitterReport(0x12345671, 9), 4);
        receive(transmitterReport(0x12345670, 9), 4);
        QCOMPARE(columnTexts(FrameColumn::Number), QStringList({"2", "4", "6", "7"}));

        // Without filtering by text, F3 and Shift+F3 move between the rows that hold it.
        child<QCheckBox>("onlyMatchingBox")->setChecked(false);
        child<QLineEdit>("textFilterEdit")->setText(QStringLiteral("key 4"));
        table()->setFocus();
        QCOMPARE(table()->model()->rowCount(), 4);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3);
        QCOMPARE(cell(table()->currentIndex().row(), FrameColumn::Number), QStringLiteral("4"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3);
        QCOMPARE(cell(table()->currentIndex().row(), FrameColumn::Number), QStringLiteral("4"));
        child<QLineEdit>("textFilterEdit")->setText(QStringLiteral("key"));
        table()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(cell(table()->currentIndex().row(), FrameColumn::Number), QStringLiteral("2"));

        // The selected row's bytes below, each header field named; Ctrl+C copies them.
        const QString shown = child<QTextEdit>("bytesView")->toPlainText();
        QVERIFY2(shown.startsWith(QStringLiteral("0F 5A 13 13 01 4D 53 00 01 12 34 56 71 83 41 00 00 02 FD")),
                 qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("start length command sequence source destination payload")),
                 qPrintable(shown));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("0F 5A 13 13 01 4D 53 00 01 12 34 56 71 83 41 00 00 02 FD"));

        // Send again, from the row's context menu, fills the send line; Send writes the frame.
        const QRect row = table()->visualRect(table()->model()->index(1, 0));
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, row.center(),
                                    table()->viewport()->mapToGlobal(row.center()));
        QApplication::sendEvent(table()->viewport(), &menuEvent);
        auto* menu = child<QMenu>("rowMenu");
        QVERIFY(waitUntil([&] { return menu->isVisible(); }));
        menu->findChild<QAction*>("sendAgainAction")->trigger();
        m_main->toggleSendMode();
        m_main->toggleSendMode();
        QVERIFY(m_main->binaryMode());
        frameSequence = 0x42;
        m_main->findChild<QPushButton*>("sendButton")->click();
        QCOMPARE(m_pty->read(19), hex("0F 5A 13 13 42 4D 53 00 01 12 34 56 71 83 41 00 00 04 FB"));
    }

    void theTableFollowsTheNewestUnlessTheUserLooksElsewhere()
    {
        FramesWindow& frames = window();
        QByteArray burst;
        for (int i = 0; i < 300; ++i)
            burst += transmitterReport(0x12345678, uint8_t(i));
        receive(burst, 300);
        QScrollBar* bar = table()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        // A click in the scroll bar's trough above the handle: scrolled up, it stays there.
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        const int scrolledTo = bar->value();
        QVERIFY(scrolledTo < bar->maximum());
        receive(transmitterReport(0x12345678, 1), 301);
        frames.refresh();
        QCOMPARE(bar->value(), scrolledTo);
        // Back at the end it follows again, until a row is selected.
        bar->setValue(bar->maximum());
        receive(transmitterReport(0x12345678, 2), 302);
        QCOMPARE(bar->value(), bar->maximum());
        const QRect lastRow = table()->visualRect(table()->model()->index(301, 0));
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, lastRow.center());
        QVERIFY(table()->selectionModel()->isRowSelected(301));
        const int selectedAt = bar->value();
        receive(transmitterReport(0x12345678, 3), 303);
        frames.refresh();
        QCOMPARE(bar->value(), selectedAt);
        QVERIFY(selectedAt < bar->maximum());
    }

    void aBadFileIsRefusedWithItsLineAndTheTableStaysAsItWas()
    {
        ScriptedDialogs dialogs;
        FramesWindow& frames = window();
        receive(transmitterReport(0x12345678, 1), 1);
        const QString path = m_dir.filePath(QStringLiteral("bad.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        dialogs.fileNames = {path};
        child<QPushButton>("saveAsButton")->click();
        file.close();
        QVERIFY(file.open(QIODevice::Append));
        file.write("2,2026/12/08 13:40:14.0123,received,13h key report,,,,,,,0F 5A\r\n");
        file.close();
        dialogs.fileNames = {path};
        child<QPushButton>("openButton")->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(
            dialogs.messages[0].text.endsWith(QStringLiteral("line 3: the command does not match the frame")),
            qPrintable(dialogs.messages[0].text));
        QCOMPARE(columnTexts(FrameColumn::Number), QStringList({"1"}));
        QCOMPARE(frames.log().record(frames.log().firstPosition()).loaded, false);

        // Closing only hides the window; it goes on recording.
        frames.close();
        QVERIFY(frames.isHidden());
        m_pty->write(transmitterReport(0x12345678, 2));
        QVERIFY(waitUntil([&] { return frames.log().size() == 2; }));
    }
};

QTEST_MAIN(FramesWindowTest)
#include "tst_frames.moc"
