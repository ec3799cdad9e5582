// The main window offscreen: start-up, layout, clock, menus and closing.
#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "IdPanel.h"
#include "KeyPanel.h"
#include "MainWindow.h"
#include "MonitorView.h"
#include "SettingsFile.h"
#include "SurveyPanel.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString iniPath() const { return m_dir.filePath(QStringLiteral("zelvoterm.ini")); }
    void writeIni(const QByteArray& bytes)
    {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray iniBytes() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        resetLink();
        // No test here wants a real port: COM1 exists on some machines.
        writeIni("[COMPORT]\r\nPortName=/dev/no-such-port\r\n");
        setSettingsFilePath(iniPath());
    }
    void cleanup() { resetLink(); }

    void startsQuietlyWithoutAModule()
    {
        ScriptedDialogs dialogs;
        MainWindow w;
        w.show();
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(w.statusPanels()->panelText(0), QStringLiteral("/dev/no-such-port:OFF"));
        QCOMPARE(w.findChild<QLabel*>("portPanel")->text(), QStringLiteral("/dev/no-such-port"));
        QCOMPARE(w.findChild<QLabel*>("bitRatePanel")->text(), QStringLiteral("38400bps"));
        QCOMPARE(w.findChild<QLabel*>("fontPanel")->text(), QStringLiteral("Size:10"));
        QVERIFY(w.windowTitle().startsWith(kProgramTitle));

        const auto* mode = w.findChild<QLabel*>("sendModeLabel");
        QCOMPARE(mode->text(), QStringLiteral("Binary"));
        QCOMPARE(mode->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(w.binaryMode());

        const auto* device = w.findChild<QComboBox*>("deviceBox");
        QCOMPARE(device->currentText(), QStringLiteral("920MHz(Vinta-C)"));
        QVERIFY(!device->isEnabled());
        QCOMPARE(w.findChild<QComboBox*>("channelBox")->currentText(), QStringLiteral("33ch"));
        QCOMPARE(w.findChild<QComboBox*>("powerBox")->currentText(), QStringLiteral("3pw"));

        QVERIFY(!w.findChild<QMenu*>("optionMenu")->menuAction()->isVisible());
        QVERIFY(w.findChild<QMenu*>("fileMenu")->menuAction()->isVisible());
        QVERIFY(!w.findChild<QPushButton*>("remoteChannelButton")->isVisible());
        QVERIFY(!w.findChild<IdPanel*>("productIdPanel")->isVisible());
        QVERIFY(!w.findChild<QLabel*>("deviceLabel")->isVisible());
        const auto* init = w.findChild<QPushButton*>("initButton");
        const auto* top = w.findChild<QWidget*>("setupBand");
        QVERIFY(init->isVisible());
        QCOMPARE(init->geometry().right() + 1, top->width() - 8);
        const auto* clock = w.findChild<QLabel*>("clockPanel");
        QCOMPARE(clock->geometry().right() + 1, w.findChild<QWidget*>("monitorBand")->width() - 8);
        for (const char* empty : {"sourceIdPanel", "destinationIdPanel", "productIdPanel"})
            QVERIFY(w.findChild<IdPanel*>(empty)->text().isEmpty());
        QVERIFY(!w.findChild<QCheckBox*>("timeStampBox")->isChecked());
    }

    void captionCarriesTheProgramFilesDate()
    {
        QTemporaryDir dir;
        const QString exe = dir.filePath(QStringLiteral("zelvoterm"));
        QFile f(exe);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.setFileTime(QDateTime(QDate(2008, 6, 5), QTime(12, 0)), QFileDevice::FileModificationTime));
        f.close();
        QCOMPARE(MainWindow::captionFor(exe), QStringLiteral("ZelvoTerm for 920MHz  [ Ver.20080605 ]"));
        QCOMPARE(MainWindow::captionFor(dir.filePath(QStringLiteral("missing"))),
                 QStringLiteral("ZelvoTerm for 920MHz"));
    }

    void captionsAreTheWindowsOwnAndMessagesCarryTheTitle()
    {
        setUpApplication();
        // A display name of the application's own would be appended to every window's caption;
        // without one, it follows the application's name.
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        const QString displayName = QGuiApplication::applicationDisplayName();
        QCoreApplication::setApplicationName(name);
        QCOMPARE(displayName, QStringLiteral("probe"));

        ScriptedDialogs dialogs;
        showError(nullptr, QStringLiteral("failed"));
        QCOMPARE(dialogs.messages[0].caption, QStringLiteral("ZelvoTerm for 920MHz"));
    }

    void rateCodesOtherThanTwoSevenAndTenBecomeSeven_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("saved");
        QTest::newRow("2") << 2 << "rate9600Button" << 2;
        QTest::newRow("10") << 10 << "rate500kButton" << 10;
        QTest::newRow("7") << 7 << "rate100kButton" << 7;
        QTest::newRow("5") << 5 << "rate100kButton" << 7;
    }
    void rateCodesOtherThanTwoSevenAndTenBecomeSeven()
    {
        QFETCH(int, stored);
        QFETCH(QString, button);
        QFETCH(int, saved);
        writeIni("[COMPORT]\r\nPortName=/dev/no-such-port\r\n[Dev.920M]\r\nRFbp____=" +
                 QByteArray::number(stored) + "\r\n");
        {
            MainWindow w;
            QVERIFY(w.findChild<QRadioButton*>(button)->isChecked());
            w.close();
        }
        QVERIFY(iniBytes().contains("RFbp____=" + QByteArray::number(saved) + "\r\n"));
    }

    void closingSavesTheSettingsAndClosesThePort()
    {
        Pty pty;
        writeIni("[COMPORT]\r\nPortName=" + pty.slavePath().toLocal8Bit() + "\r\n");
        MainWindow w;
        QVERIFY(commSettings.portOpen);
        QCOMPARE(w.statusPanels()->panelText(0), pty.slavePath() + QStringLiteral(":OK"));
        QFile::remove(iniPath());
        auto* reconnectItem = w.findChild<QAction*>("autoReconnectAction");
        QCOMPARE(reconnectItem->text(), QStringLiteral("自動再接続 (Auto &Reconnect)"));
        QVERIFY(!reconnectItem->isChecked());
        reconnectItem->trigger();
        w.close();
        QVERIFY(!commSettings.portOpen);
        QVERIFY(iniBytes().contains("RFbp____=7"));
        QVERIFY(iniBytes().contains("AutoReconnect=1\r\n"));
        QCOMPARE(iniBytes().count('\n'), 16); // two sections, thirteen keys and AutoReconnect
    }

    // Made a little before the middle of a second, a window whose clock ran freely from its start
    // would show the last second until the middle of the next, while the stamps show the new one.
    void theClockTurnsWithTheSecondOfTheTimeStamps()
    {
        {
            // The first window loads the fonts; the one under test is then made in a few ms.
            const MainWindow first;
        }
        QVERIFY(waitUntil([] { return QTime::currentTime().msec() / 50 == 8; }));
        MainWindow w;
        const auto* clock = w.findChild<QLabel*>("clockPanel");
        w.findChild<QCheckBox*>("timeStampBox")->setChecked(true);
        const uint8_t block[] = {0x41};
        QString last = clock->text();
        QElapsedTimer t;
        t.start();
        QList<qint64> changes;
        int stamped = 0;
        while (t.elapsed() < 3700) {
            QTest::qWait(20);
            if (clock->text() != last) {
                if (!last.isEmpty())
                    changes << t.elapsed();
                last = clock->text();
            }
            const int ms = QTime::currentTime().msec();
            if (ms >= 250 && ms < 350 && !last.isEmpty()) {
                w.displayReceivedBlock(block);
                QCOMPARE(w.monitor()->lines().constLast().left(20), last + u'.');
                ++stamped;
            }
        }
        QVERIFY(stamped >= 3);
        QVERIFY(changes.size() >= 2);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                    .match(last)
                    .hasMatch());
        for (qsizetype i = 1; i < changes.size(); ++i)
            QVERIFY(changes[i] - changes[i - 1] > 800);
    }

    void assistiveTechnologyNamesTheMonitorAndReadsTheIdPanelsAsLabels()
    {
        MainWindow w;
        w.show();
        QCOMPARE(QAccessible::queryAccessibleInterface(w.monitor())->text(QAccessible::Name),
                 QStringLiteral("Monitor"));
        const std::pair<const char*, QString> panels[] = {
            {"sourceIdPanel", QStringLiteral("Src. Device ID")},
            {"destinationIdPanel", QStringLiteral("Dst. Device ID")},
            {"productIdPanel", QStringLiteral("Product ID")}};
        for (const auto& [name, caption] : panels) {
            auto* panel = w.findChild<IdPanel*>(name);
            QAccessibleInterface* read = QAccessible::queryAccessibleInterface(panel);
            QCOMPARE(read->role(), QAccessible::StaticText);
            QCOMPARE(read->text(QAccessible::Name), caption);
            panel->setText(QStringLiteral("12 34 56 78 "));
            QVERIFY(waitUntil([&] { return read->text(QAccessible::Name) == panel->text(); }));
        }
    }

    void viewInitializeButtonTogglesTheInitButton()
    {
        MainWindow w;
        w.show();
        auto* item = w.findChild<QAction*>("showInitButtonAction");
        auto* init = w.findChild<QPushButton*>("initButton");
        item->trigger();
        QVERIFY(init->isVisible());
        item->trigger();
        QVERIFY(!init->isVisible());
        item->trigger();
        QVERIFY(init->isVisible());
    }

    void toolWindowsStartHiddenWithTheirFlagsClear()
    {
        MainWindow w;
        w.createToolWindows();
        auto* keyPanel = w.keyPanel();
        auto* surveyPanel = w.surveyPanel();
        QVERIFY(keyPanel && surveyPanel);
        QCOMPARE(keyPanel->parentWidget(), &w);
        QVERIFY(!keyPanel->isVisible());
        QVERIFY(!surveyPanel->isVisible());
        QCOMPARE(keyPanel->openFlag(), 0);
        QCOMPARE(surveyPanel->openFlag(), 0);
    }

    void captionsInTheBandsHaveRoomAndKeepApart()
    {
        MainWindow w;
        w.show();
        w.onStatusBarDoubleClicked(); // the controls it reveals too
        for (const char* band : {"setupBand", "radioRatePanel", "sendBand", "monitorBand"}) {
            QList<QWidget*> shown;
            for (QWidget* c :
                 w.findChild<QWidget*>(band)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (c->isVisible())
                    shown << c;
            }
            for (qsizetype i = 0; i < shown.size(); ++i) {
                // The size hint of these is the room their caption needs.
                const auto* label = qobject_cast<QLabel*>(shown[i]);
                if (qobject_cast<QRadioButton*>(shown[i]) || qobject_cast<QCheckBox*>(shown[i]) ||
                    (label && label->frameShape() == QFrame::NoFrame))
                    QVERIFY2(shown[i]->width() >= shown[i]->sizeHint().width(),
                             qPrintable(shown[i]->objectName()));
                for (qsizetype j = i + 1; j < shown.size(); ++j)
                    QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                             qPrintable(shown[i]->objectName() + u' ' + shown[j]->objectName()));
            }
        }
    }

    // Where the focus rests, as a user meets the window: the shortcuts work from there, and the menus
    // show them.
    void theFileMenusShortcutsWorkAndAreShown_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("dialog"); // the file dialog it opens, by its caption
        QTest::newRow("open") << "openAction" << QKeySequence(QStringLiteral("Ctrl+O")) << "";
        QTest::newRow("save as") << "saveAsAction" << QKeySequence(QStringLiteral("Ctrl+S")) << "";
        QTest::newRow("log") << "logAction" << QKeySequence(QStringLiteral("Ctrl+L")) << "ログ記録 (Log)";
        QTest::newRow("find") << "findAction" << QKeySequence(QStringLiteral("Ctrl+F")) << QString();
        QTest::newRow("quit") << "quitAction" << QKeySequence(QStringLiteral("Ctrl+Q")) << QString();
    }
    void theFileMenusShortcutsWorkAndAreShown()
    {
        QFETCH(QString, action);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, dialog);
        ScriptedDialogs dialogs;
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* item = w.findChild<QAction*>(action);
        QVERIFY(item);
        QCOMPARE(item->shortcut(), keys);
        QVERIFY(w.findChild<QMenu*>("fileMenu")->actions().contains(item));
        QVERIFY(QApplication::focusWidget());
        QTest::keySequence(QApplication::focusWidget(), keys);
        if (action == u"quitAction") {
            QVERIFY(!w.isVisible());
        } else if (action == u"findAction") {
            QVERIFY(w.findChild<QWidget*>("findBar")->isVisible());
            QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("findEdit"));
        } else {
            QCOMPARE(dialogs.fileRequests.size(), 1);
            QCOMPARE(dialogs.fileRequests[0].caption, dialog);
        }
    }

    // From the focus the window opens with (the monitor, whose keys only move and select) round to
    // it again, the bands from the top, each column by column; the find bar after the monitor.
    void tabGoesThroughTheControlsInTheOrderTheyAreLaidOut()
    {
        MainWindow w;
        w.onStatusBarDoubleClicked(); // "To RFch" too
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const auto tabs = [](int count) {
            QStringList visited;
            for (int i = 0; i < count; ++i) {
                visited << QApplication::focusWidget()->objectName();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            return visited;
        };
        // The device box is disabled; the three bit-rate buttons are one stop (the arrows choose).
        const QStringList window = {
            "monitor",           "channelBox",  "powerBox",     "setChannelButton",   "remoteChannelButton",
            "rate9600Button",    "initButton",  "sendButton",   "msgIdEdit",          "sourceIdEdit",
            "destinationIdEdit", "sendTextBox", "delimiterBox", "monitorClearButton", "timeStampBox"};
        QCOMPARE(tabs(int(window.size()) + 1), window + QStringList{"monitor"});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(tabs(6), (QStringList{"findEdit", "caseSensitiveBox", "findPreviousButton", "findNextButton",
                                       "closeFindButton", "channelBox"}));
    }

    void statusBarDoubleClickRevealsTheOptionsOnce()
    {
        MainWindow w;
        w.show();
        auto* setRFch = w.findChild<QPushButton*>("setChannelButton");
        QCOMPARE(setRFch->text(), QStringLiteral("Set RFch"));
        w.onStatusBarDoubleClicked();
        QVERIFY(w.findChild<QMenu*>("optionMenu")->menuAction()->isVisible());
        QCOMPARE(setRFch->text(), QStringLiteral("My RFch"));
        QVERIFY(w.findChild<QPushButton*>("remoteChannelButton")->isVisible());
        QVERIFY(w.findChild<QLabel*>("productIdCaption")->isVisible());
        QVERIFY(w.findChild<IdPanel*>("productIdPanel")->isVisible());
        setRFch->setText(QStringLiteral("changed"));
        QTest::mouseDClick(w.statusPanels()->panel(1), Qt::LeftButton);
        QCOMPARE(setRFch->text(), QStringLiteral("changed"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
