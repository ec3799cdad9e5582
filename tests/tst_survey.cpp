// The survey panel offscreen, fed by the real monitor: key reports written to a pseudo-terminal
// reach it through the main window's hand-off.
#include "ClickLabel.h"
#include "CommPort.h"
#include "KeyPanel.h"
#include "MainWindow.h"
#include "MonitorView.h"
#include "ScriptedDialogs.h"
#include "SettingsFile.h"
#include "Sound.h"
#include "SurveyPanel.h"
#include "TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
// A key report of the module: transmitter `id` in the destination-ID field, maker code 83 41 with
// two free bytes, the key and a check byte (its complement unless given).
QByteArray keyReport(uint32_t id, uint8_t key, uint8_t maker3 = 0x00, uint8_t maker4 = 0x00, int check = -1)
{
    static uint8_t seq = 0;
    const char bytes[19] = {0x0F,
                            0x5A,
                            0x13,
                            0x13,
                            char(seq++),
                            0x00,
                            0x00,
                            0x00,
                            0x01,
                            char(id >> 24),
                            char(id >> 16),
                            char(id >> 8),
                            char(id),
                            char(0x83),
                            0x41,
                            char(maker3),
                            char(maker4),
                            char(key),
                            char(check < 0 ? ~key : check)};
    return QByteArray(bytes, sizeof bytes);
}
} // namespace

class SurveyTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<MainWindow> m_main;
    QStringList m_sounds;

    SurveyPanel& survey() { return *m_main->surveyPanel(); }
    template <typename W> W* child(const char* name)
    {
        auto* w = survey().findChild<W*>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QPushButton* start() { return child<QPushButton>("startButton"); }
    QProgressBar* bar() { return child<QProgressBar>("runProgressBar"); }
    QTableWidget* grid() { return child<QTableWidget>("transmitterGrid"); }
    PanelStatusBar* status() { return child<PanelStatusBar>("statusPanels"); }
    QStringList boxes()
    {
        QStringList texts;
        for (const char* name : {"keyCounter1", "keyCounter2", "keyCounter3", "keyCounter4"})
            texts << child<QLabel>(name)->text();
        return texts;
    }

    // Starts a run of the given length (in seconds, as typed).
    void press(const QString& seconds = QStringLiteral("600"))
    {
        child<QLineEdit>("runSecondsEdit")->setText(seconds);
        start()->click();
    }
    // Writes frames to the module's side and waits until the monitor shows them all.
    void receive(const QByteArray& frames)
    {
        MonitorView* monitor = m_main->monitor();
        const int expected = monitor->lineCount() + int(frames.size() / 19);
        m_pty->write(frames);
        QVERIFY(waitUntil([&] { return monitor->lineCount() >= expected; }));
    }

private slots:
    void init()
    {
        resetLink();
        m_pty = std::make_unique<Pty>();
        const QString ini = m_dir.filePath(QStringLiteral("zelvoterm.ini"));
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[COMPORT]\r\nPortName=" + m_pty->slavePath().toLocal8Bit() + "\r\n");
        f.close();
        setSettingsFilePath(ini);
        m_main = std::make_unique<MainWindow>();
        m_main->createToolWindows();
        QVERIFY(commSettings.portOpen);
        m_main->show();
        survey().show();
        m_sounds.clear();
        setSoundPlayer([this](const QString& name) { m_sounds << name; });
    }
    void cleanup()
    {
        setSoundPlayer({});
        m_main.reset();
        resetLink();
        m_pty.reset();
    }

    void isCreatedHiddenAndLaidOutForItsFourRows()
    {
        m_main.reset();
        m_main = std::make_unique<MainWindow>();
        MainWindow& w = *m_main;
        w.createToolWindows();
        SurveyPanel& s = survey();
        QVERIFY(!s.isVisible());
        QCOMPARE(s.openFlag(), 0);
        QCOMPARE(s.windowTitle(), QStringLiteral("Pad04W Survey"));
        QVERIFY(s.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(s.size(), QSize(600, 644));
        QVERIFY(child<QTableWidget>("transmitterGrid")->isHidden());

        // Centred over the main window, but never with its title bar off the screen.
        w.move(0, 0);
        s.show();
        QCOMPARE(s.openFlag(), 1);
        QVERIFY(qAbs(s.frameGeometry().center().x() - w.frameGeometry().center().x()) <= 1);
        QCOMPARE(s.frameGeometry().top(), s.screen()->availableGeometry().top());
        QCOMPARE(start()->text(), QStringLiteral("Start"));
        QVERIFY(start()->isCheckable() && !start()->isChecked());
        QVERIFY(bar()->isHidden());
        QVERIFY(!child<QCheckBox>("keyChangeBox")->isChecked());
        QCOMPARE(child<QCheckBox>("keyChangeBox")->text(), QStringLiteral("Key Change Enabled"));
        QCOMPARE(child<QLineEdit>("runSecondsEdit")->text(), QStringLiteral("10"));
        QCOMPARE(child<QLabel>("secondsLabel")->text(), QStringLiteral("秒"));
        QCOMPARE(child<QPushButton>("closeButton")->text(), QStringLiteral("Close"));
        QCOMPARE(boxes(), QStringList({"", "", "", ""}));

        const QWidget* top = child<QWidget>("countArea");
        QCOMPARE(top->geometry(), QRect(0, 0, 600, 625));
        const int tops[4] = {16, 154, 292, 430};
        const int margins[4] = {12, 12, 8, 8};
        for (int i = 0; i < 4; ++i) {
            const auto* row = child<QLabel>(QByteArray("keyRow" + QByteArray::number(i + 1)).constData());
            QCOMPARE(row->geometry(), QRect(8, tops[i], 584, 130));
            QCOMPARE(row->text(), QStringLiteral("  Key No.%1").arg(i + 1));
            QCOMPARE(row->font().pointSize(), 48);
            // The key number stays clear of the counter box.
            QVERIFY(row->fontMetrics().horizontalAdvance(row->text()) < 304 - row->frameWidth());
            const auto* box = child<QLabel>(QByteArray("keyCounter" + QByteArray::number(i + 1)).constData());
            QCOMPARE(box->geometry(), QRect(304, margins[i], 268, 130 - 2 * margins[i]));
            QCOMPARE(box->font().pointSize(), 48);
            QCOMPARE(box->palette().color(QPalette::Window), QColor(Qt::black));
            QCOMPARE(box->palette().color(QPalette::WindowText), QColor(Qt::yellow));
        }
        QCOMPARE(start()->geometry().bottom() + 1, top->height() - 9);

        // Rows and the bar stretch with the window; the bottom row follows the bottom edge.
        s.resize(700, 744);
        QCOMPARE(top->size(), QSize(700, 725));
        QCOMPARE(child<QLabel>("keyRow4")->geometry(), QRect(8, 430, 684, 130));
        QCOMPARE(child<QLabel>("keyCounter4")->geometry(), QRect(304, 8, 368, 114));
        QCOMPARE(start()->geometry().bottom() + 1, top->height() - 9);
        QCOMPARE(child<QPushButton>("closeButton")->geometry().right() + 1, 700 - 9);
        QCOMPARE(bar()->geometry(), QRect(144, 388 + 307, 461, 17));
    }

    void theGridListsOneHundredNumberedRows()
    {
        QTableWidget* g = grid();
        QCOMPARE(g->columnCount(), 4);
        QCOMPARE(g->rowCount(), 100);
        const QStringList headers = {"No", "DeviceID", "Key", "Comments"};
        const int widths[4] = {24, 200, 40, 300};
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(g->horizontalHeaderItem(c)->text(), headers[c]);
            QCOMPARE(g->columnWidth(c), widths[c]);
        }
        QCOMPARE(g->item(0, 0)->text(), QStringLiteral("  1"));
        QCOMPARE(g->item(99, 0)->text(), QStringLiteral("100"));
        QCOMPARE(g->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(g->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!(g->item(0, 1)->flags() & Qt::ItemIsEditable));
        QCOMPARE(g->currentRow(), 0);
        QCOMPARE(g->currentColumn(), 1);
    }

    void aRunOfTenSecondsEndsOnTheTwentyFirstTick()
    {
        m_main->monitor()->appendLine("before the run");
        press(QStringLiteral("10"));
        QVERIFY(start()->isChecked());
        QCOMPARE(start()->text(), QStringLiteral("Busy"));
        QCOMPARE(m_main->monitor()->lineCount(), 0);
        QVERIFY(!bar()->isHidden());
        QCOMPARE(bar()->maximum(), 20);
        QCOMPARE(bar()->value(), 0);
        for (int i = 1; i <= 20; ++i)
            survey().onClockTick();
        QVERIFY(start()->isChecked());
        QCOMPARE(bar()->value(), 20);
        QVERIFY(m_sounds.isEmpty());
        survey().onClockTick();
        QVERIFY(!start()->isChecked());
        QCOMPARE(start()->text(), QStringLiteral("Start"));
        QCOMPARE(m_sounds, QStringList{QStringLiteral("chimes.wav")});
        // Over: later ticks do nothing, and reports are no longer counted.
        survey().onClockTick();
        QCOMPARE(m_sounds.size(), 1);
        receive(keyReport(1, 1));
        QCOMPARE(boxes(), QStringList({"", "", "", ""}));
    }

    void runLengthTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maximum"); // -1: refused
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("32767") << "32767" << 65534;
        QTest::newRow("not a number") << "1O" << 20;
        QTest::newRow("empty") << "" << 20;
        QTest::newRow("-1") << "-1" << -1;
        QTest::newRow("32768") << "32768" << -1;
        QTest::newRow("too long for any integer") << "99999999999999999999999" << -1;
    }
    void runLengthTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, maximum);
        ScriptedDialogs dialogs;
        receive(keyReport(1, 2));
        press(QStringLiteral("600"));
        receive(keyReport(1, 2));
        start()->click(); // a press during a run ends it
        QCOMPARE(start()->text(), QStringLiteral("Start"));
        QCOMPARE(boxes(), QStringList({"0", "1", "0", "0"}));

        // While the refusal is shown, the clock ticks and reports arrive: no run takes them.
        bool downWhileShown = true;
        dialogs.onMessage = [&](const ScriptedDialogs::Message&) {
            downWhileShown = start()->isChecked();
            survey().onClockTick();
            receive(keyReport(2, 3));
        };
        press(text);
        if (maximum < 0) {
            QVERIFY(!downWhileShown);
            QVERIFY(m_sounds.isEmpty());
            QCOMPARE(dialogs.messages.size(), 1);
            QVERIFY(dialogs.messages[0].text.contains(QStringLiteral("32767")));
            QVERIFY(!start()->isChecked());
            QCOMPARE(start()->text(), QStringLiteral("Start"));
            // Nothing of the last run is lost or added to.
            QCOMPARE(boxes(), QStringList({"0", "1", "0", "0"}));
            QCOMPARE(m_main->monitor()->lineCount(), 2);
            return;
        }
        QVERIFY(dialogs.messages.isEmpty());
        QVERIFY(start()->isChecked());
        QCOMPARE(boxes(), QStringList({"", "", "", ""}));
        QCOMPARE(bar()->maximum(), std::max(1, maximum));
        if (maximum == 0) {
            survey().onClockTick();
            QVERIFY(!start()->isChecked());
            QCOMPARE(m_sounds, QStringList{QStringLiteral("chimes.wav")});
            QCOMPARE(bar()->value(), bar()->maximum());
        }
    }

    void theMainClockEndsARunOfOneSecond()
    {
        QElapsedTimer t;
        t.start();
        press(QStringLiteral("1"));
        QVERIFY(waitUntil([&] { return !start()->isChecked(); }, 4000));
        const qint64 elapsed = t.elapsed();
        // The third 500 ms tick after the press; a one-second tick would take two seconds or more.
        QVERIFY2(elapsed >= 990 && elapsed < 1800, QByteArray::number(elapsed));
        QCOMPARE(m_sounds, QStringList{QStringLiteral("chimes.wav")});
    }

    void aTransmitterChangingItsKey_data()
    {
        QTest::addColumn<bool>("keyChange");
        QTest::addColumn<QStringList>("totals");
        QTest::addColumn<QString>("rowKey");
        QTest::newRow("key change off") << false << QStringList{"1", "0", "0", "0"} << "01";
        QTest::newRow("key change on") << true << QStringList{"0", "0", "1", "0"} << "03";
    }
    void aTransmitterChangingItsKey()
    {
        QFETCH(bool, keyChange);
        QFETCH(QStringList, totals);
        QFETCH(QString, rowKey);
        child<QCheckBox>("keyChangeBox")->setChecked(keyChange);
        press();
        receive(keyReport(0x12345678, 0x01) + keyReport(0x12345678, 0x03));
        QCOMPARE(boxes(), totals);
        QCOMPARE(grid()->item(0, 1)->text(), QStringLiteral("12h 34h 56h 78h"));
        QCOMPARE(grid()->item(0, 2)->text(), rowKey);
        QVERIFY(grid()->item(1, 1)->text().isEmpty());
    }

    void tenReportsOfOneTransmitterCountOnce()
    {
        for (const bool keyChange : {false, true}) {
            child<QCheckBox>("keyChangeBox")->setChecked(keyChange);
            press();
            QByteArray frames;
            for (int i = 0; i < 10; ++i)
                frames += keyReport(0xCAFE, 0x02);
            receive(frames);
            QCOMPARE(boxes(), QStringList({"0", "1", "0", "0"}));
            start()->click();
        }
    }

    void theBoxesShowNumbersFromTheFirstCountedReport()
    {
        press();
        QCOMPARE(boxes(), QStringList({"", "", "", ""}));
        QVERIFY(status()->panelText(1).isEmpty());
        // Another maker, a short report: nothing at all.
        QByteArray otherMaker = keyReport(5, 1);
        otherMaker[14] = 0x42;
        QByteArray shortReport = keyReport(5, 1).left(16);
        shortReport[2] = 16;
        m_pty->write(otherMaker + shortReport);
        QVERIFY(waitUntil([&] { return m_main->monitor()->lineCount() == 2; }));
        QVERIFY(status()->panelText(1).isEmpty());
        // Keys the survey does not know: only the status.
        receive(keyReport(5, 0x0A) + keyReport(5, 0x05));
        QCOMPARE(status()->panelText(1), QStringLiteral("83h 41h"));
        QVERIFY(status()->panelText(0).isEmpty());
        QCOMPARE(boxes(), QStringList({"", "", "", ""}));
        QVERIFY(grid()->item(0, 1)->text().isEmpty());
        // The free maker bytes and the check byte are not looked at.
        receive(keyReport(6, 0x01, 0xFF, 0x7E, 0x00));
        QCOMPARE(boxes(), QStringList({"1", "0", "0", "0"}));
        receive(keyReport(7, 0x04, 0x12, 0x34, 0x04) + keyReport(8, 0x04, 0x00, 0x00, 0xAA));
        QCOMPARE(boxes(), QStringList({"1", "0", "0", "2"}));
        QCOMPARE(grid()->item(2, 1)->text(), QStringLiteral("00h 00h 00h 08h"));
    }

    void reportsGoToTheKeyPanelWhileItIsOpen()
    {
        press();
        m_main->keyPanel()->show();
        receive(keyReport(1, 1) + keyReport(2, 2));
        QCOMPARE(boxes(), QStringList({"", "", "", ""}));
        QVERIFY(status()->panelText(1).isEmpty());
        m_main->keyPanel()->hide();
        receive(keyReport(3, 3));
        QCOMPARE(boxes(), QStringList({"0", "0", "1", "0"}));
    }

    void theHundredAndFirstTransmitterIsNeitherRecordedNorCounted()
    {
        press();
        QByteArray frames;
        for (uint32_t id = 1; id <= 100; ++id)
            frames += keyReport(id, uint8_t(1 + id % 4));
        receive(frames);
        QCOMPARE(boxes(), QStringList({"25", "25", "25", "25"}));
        QCOMPARE(grid()->item(99, 1)->text(), QStringLiteral("00h 00h 00h 64h"));
        for (const char* name : {"keyCounter1", "keyCounter2", "keyCounter3", "keyCounter4"})
            child<QLabel>(name)->setText(QStringLiteral("x"));
        receive(keyReport(101, 1));
        QCOMPARE(boxes(), QStringList({"25", "25", "25", "25"}));
        for (int r = 0; r < 100; ++r)
            QVERIFY(grid()->item(r, 1)->text() != QStringLiteral("00h 00h 00h 65h"));
    }

    void closingEndsTheRunAndShowingAgainEmptiesTheGrid()
    {
        press();
        receive(keyReport(1, 2));
        survey().onClockTick();
        survey().close();
        QVERIFY(!survey().isVisible());
        QCOMPARE(survey().openFlag(), 0);
        QVERIFY(!start()->isChecked());
        QCOMPARE(start()->text(), QStringLiteral("Start"));
        QVERIFY(bar()->isHidden());
        receive(keyReport(2, 2)); // not routed here any more
        m_main->findChild<QAction*>(QStringLiteral("surveyPanelAction"))->trigger();
        QVERIFY(survey().isVisible());
        QCOMPARE(survey().openFlag(), 1);
        QVERIFY(bar()->isHidden());
        QVERIFY(grid()->item(0, 1)->text().isEmpty());
        QCOMPARE(boxes(), QStringList({"0", "1", "0", "0"})); // the last totals stay
        // The Close button closes the same way.
        press();
        QTest::mouseClick(child<QPushButton>("closeButton"), Qt::LeftButton);
        QCOMPARE(survey().openFlag(), 0);
        QVERIFY(!start()->isChecked());
    }

    void statusBarDoubleClickTogglesTheGridAndCentres()
    {
        const QRect screen = survey().screen()->geometry();
        auto centredOnScreen = [&] {
            return qAbs(survey().frameGeometry().center().x() - screen.center().x()) <= 1;
        };
        const int before = survey().width();
        QTest::mouseDClick(status()->panel(1), Qt::LeftButton);
        QVERIFY(!grid()->isHidden());
        QCOMPARE(survey().width(), before + 288);
        QCOMPARE(grid()->width(), 288);
        QCOMPARE(child<QWidget>("countArea")->width(), before);
        QVERIFY(centredOnScreen());
        QTest::mouseDClick(status(), Qt::LeftButton);
        QVERIFY(grid()->isHidden());
        QCOMPARE(survey().width(), before);
        QVERIFY(centredOnScreen());
    }

    void anyLineReachingTheCountIsSafe()
    {
        press();
        QString line;
        for (int n = 0; n < 200; ++n) {
            survey().countReceivedKey(line);
            line += n % 3 ? QChar(u'h') : QChar(0xD800 + n);
        }
        survey().countReceivedKey(QString(100000, u'8'));
        QCOMPARE(boxes(), QStringList({"", "", "", ""}));
    }
};

QTEST_MAIN(SurveyTest)
#include "tst_survey.moc"
