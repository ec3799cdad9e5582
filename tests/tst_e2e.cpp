// ZelvoTerm's real windows against the module simulator on a pseudo-terminal.
#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "CommSettingsDialog.h"
#include "FrameText.h"
#include "FramesWindow.h"
#include "KeyPanel.h"
#include "LinkStatsWindow.h"
#include "MainWindow.h"
#include "MonitorView.h"
#include "PortSearch.h"
#include "PtyRunner.h"
#include "ScriptedDialogs.h"
#include "Sound.h"
#include "SurveyPanel.h"
#include "TestSupport.h"
#include "TextPanel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class EndToEndTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<modsim::PtyRunner> m_sim;
    std::unique_ptr<MainWindow> m_main;
    QStringList m_sounds;

    // The simulator with `transmitters` of the given type, running on its own thread.
    modsim::PtyRunner& simulator(int transmitters = 1, int keys = 4)
    {
        modsim::Scenario scenario;
        scenario.transmitters = transmitters;
        scenario.keys = keys;
        m_sim = std::make_unique<modsim::PtyRunner>(
            modsim::ModuleOptions{}, scenario,
            modsim::RunnerOptions{m_dir.filePath(QStringLiteral("module")), -1});
        QString error;
        if (!m_sim->open(&error))
            qFatal("simulator: %s", qPrintable(error));
        m_sim->start();
        return *m_sim;
    }
    // The main window, started with its port set to `port`.
    MainWindow& window(const QString& port)
    {
        useSettingsNamingPort(m_dir.filePath(QStringLiteral("zelvoterm.ini")), port);
        m_main = std::make_unique<MainWindow>();
        m_main->createToolWindows();
        m_main->show();
        return *m_main;
    }

private slots:
    void init()
    {
        resetLink();
        m_sounds.clear();
        setSoundPlayer([this](const QString& name) { m_sounds << name; });
    }
    void cleanup()
    {
        m_main.reset();
        if (m_sim)
            m_sim->stop();
        m_sim.reset();
        resetLink();
        setSoundPlayer({});
        setPortCandidateSource({});
    }

    void thePortSearchFindsTheModuleAmongSilentPorts()
    {
        ScriptedDialogs dialogs;
        Pty silent1;
        Pty silent2;
        auto& sim = simulator();
        setPortCandidateSource([&] {
            return portsNamed({silent1.slavePath(), silent2.slavePath(), sim.linkPath()});
        });
        MainWindow& w = window(QStringLiteral("/dev/no-such-port"));
        whenDialogShown([](QWidget* dialog) {
            dialog->findChild<QPushButton*>("portSearchButton")->click();
            dialog->findChild<QPushButton*>("okButton")->click();
        });
        w.editCommSettings();
        QCOMPARE(dialogs.messages.last().text,
                 QStringLiteral("A connection has been found on ") + sim.linkPath());
        QCOMPARE(commSettings.portName, sim.linkPath());
        QCOMPARE(w.statusPanels()->panelText(0), sim.linkPath() + QStringLiteral(":OK"));
    }

    void initGetsItsAnswerWithinTheWait()
    {
        auto& sim = simulator();
        MainWindow& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        QElapsedTimer t;
        t.start();
        w.onInitClicked();
        QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
        QVERIFY(waitUntil([&] {
            QList<int> commands;
            sim.withModule([&](modsim::Module& m, modsim::Millis) {
                for (const auto& f : m.receivedFrames())
                    commands << f.command;
            });
            return commands == QList<int>({0x2A, 0x7E});
        }));
        QVERIFY(waitUntil([&] { return !w.findChild<TextPanel*>("sourceIdPanel")->text().isEmpty(); }));
        QCOMPARE(w.findChild<TextPanel*>("sourceIdPanel")->text(), QStringLiteral("4D 53 00 01 "));
    }

    // zelvoctl reads the settings the window saved at close and writes the same frames, byte for
    // byte, as the window's "Init" with them.
    void zelvoctlSetupInitWritesWhatTheWindowsInitWrites()
    {
        auto& sim = simulator();
        MainWindow& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        const auto framesSent = [&] {
            QList<QByteArray> frames;
            sim.withModule([&](modsim::Module& m, modsim::Millis) {
                for (const auto& f : m.receivedFrames())
                    frames << modsim::encodeFrame(f);
            });
            return frames;
        };
        QTest::mouseClick(w.findChild<QPushButton*>("initButton"), Qt::LeftButton);
        QVERIFY(waitUntil([&] { return framesSent().size() == 2; }));
        const QList<QByteArray> window = framesSent();
        // Closing the window saves the settings; the port is let go for zelvoctl.
        m_main.reset();
        commClose();

        QProcess ctl;
        ctl.start(QStringLiteral(ZELVOCTL_BINARY),
                  {QStringLiteral("setup"), QStringLiteral("--init"), QStringLiteral("--settings"),
                   m_dir.filePath(QStringLiteral("zelvoterm.ini"))});
        QVERIFY(ctl.waitForFinished(10000));
        QCOMPARE(ctl.exitCode(), 0);
        QCOMPARE(framesSent().mid(2), window);
    }

    void aCheckModeTestOfAPad08TransmitterEndsWithTheFanfare()
    {
        auto& sim = simulator(1, 8);
        MainWindow& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        w.onPadTypeChosen(8);
        w.keyPanel()->findChild<QLineEdit*>("makerCodeEdit")->setText(QStringLiteral("83h 41h 00h 00h"));
        w.keyPanel()->findChild<QCheckBox*>("checkModeBox")->setChecked(true);
        QVERIFY(w.keyPanel()->findChild<QCheckBox*>("soundBox")->isChecked());
        const auto litLamps = [&w] {
            int lit = 0;
            for (int k = 1; k <= 8; ++k)
                lit += w.keyPanel()
                           ->findChild<QWidget*>(QStringLiteral("lamp%1").arg(k, 2, 10, QLatin1Char('0')))
                           ->palette()
                           .color(QPalette::Window) == QColor(0, 255, 0);
            return lit;
        };
        int litAtFanfare = -1;
        setSoundPlayer([&](const QString& name) {
            m_sounds << name;
            if (name == QLatin1String("tada.wav"))
                litAtFanfare = litLamps();
        });
        for (int key = 1; key <= 8; ++key) {
            sim.withModule([key](modsim::Module& m, modsim::Millis now) { (void)m.press(1, key, now); });
            QVERIFY(waitUntil([&] { return m_sounds.size() == key; }));
        }
        QCOMPARE(m_sounds, QStringList({"chimes.wav", "chimes.wav", "chimes.wav", "chimes.wav", "chimes.wav",
                                        "chimes.wav", "chimes.wav", "tada.wav"}));
        QCOMPARE(litAtFanfare, 8);
        QVERIFY(waitUntil([&] { return litLamps() == 0; }, 4000));
    }

    void aSurveyOfTwelveTransmittersCountsWhatTheModuleSent()
    {
        auto& sim = simulator(0, 4);
        MainWindow& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        w.showSurveyPanel();
        QVERIFY(w.surveyPanel()->openFlag());
        w.surveyPanel()->findChild<QLineEdit*>("runSecondsEdit")->setText(QStringLiteral("30"));
        w.surveyPanel()->findChild<QPushButton*>("startButton")->click();
        modsim::SurveyPlan plan;
        sim.withModule([&](modsim::Module& m, modsim::Millis now) { plan = m.survey(12, now); });
        QCOMPARE(int(plan.ids.size()), 12);
        const auto counters = [&w] {
            QStringList texts;
            for (int k = 1; k <= 4; ++k)
                texts << w.surveyPanel()->findChild<QLabel*>(QStringLiteral("keyCounter%1").arg(k))->text();
            return texts;
        };
        QStringList expected;
        for (const int total : plan.totals)
            expected << QString::number(total);
        QVERIFY2(waitUntil([&] { return counters() == expected; }, 5000),
                 qPrintable(counters().join(u',') + QStringLiteral(" / ") + expected.join(u',')));
    }

    // Four transmitters, the second losing a fifth of its reports: the window's loss column shows it.
    void linkStatisticsShowWhichTransmitterLosesReports()
    {
        auto& sim = simulator();
        MainWindow& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        QVERIFY(w.linkStatsWindow()->isHidden());
        w.findChild<QAction*>("linkStatsAction")->trigger();
        QVERIFY(w.linkStatsWindow()->isVisible());

        // The presses start once the port is open, so none is lost on a line nobody hears.
        constexpr int kPresses = 3000;
        constexpr int kPerSecond = 1000;
        const modsim::Scenario scenario{.transmitters = 4,
                                        .pressesPerSecond = kPerSecond,
                                        .duration = kPresses * 1000 / kPerSecond,
                                        .dropPercent = {{2, 20}}};
        QStringList ids;
        sim.withModule([&](modsim::Module& m, modsim::Millis now) {
            m.setScenario(scenario, now);
            for (int t = 1; t <= 4; ++t) {
                const modsim::DeviceId id = m.transmitter(t).id;
                ids << QString::asprintf("%02Xh %02Xh %02Xh %02Xh", id[0], id[1], id[2], id[3]);
            }
        });
        modsim::ModuleStats done;
        QVERIFY(waitUntil(
            [&] {
                sim.withModule([&](modsim::Module& m, modsim::Millis) { done = m.stats(); });
                return done.keyReportsSent + done.keyReportsDropped == uint64_t(kPresses);
            },
            10'000));
        QAbstractItemModel* table = w.linkStatsWindow()->findChild<QTableView*>("statsTable")->model();
        const auto cell = [&](const QString& id, int column) {
            for (int r = 0; r < table->rowCount(); ++r)
                if (table->index(r, LinkStatsModel::DeviceId).data() == id)
                    return table->index(r, column).data().toString();
            return QString();
        };
        QVERIFY(waitUntil(
            [&] {
                uint64_t frames = 0;
                for (const QString& id : ids)
                    frames += cell(id, LinkStatsModel::Frames).toULongLong();
                return frames == done.keyReportsSent;
            },
            5000));

        // The second transmitter sends about 750 reports (each press picks one of the four), and
        // each is lost with a chance of 20 %: the share lost in such a sample has a standard
        // deviation of sqrt(0.2 * 0.8 / 750), 1.5 points. The simulator's fixed seed makes the run
        // repeatable, but the test need not pin its exact draw: 4 points (2.7 deviations) pass
        // this seed and nearly any other, while a loss figured against the reports received
        // (25 %), or lost reports that did not take their sequence numbers (0 %), fail. Reports
        // lost before its first or after its last received one are invisible to any receiver;
        // they move the figure by a fraction of a point.
        const double loss = cell(ids[1], LinkStatsModel::LossPercent).toDouble();
        QVERIFY2(qAbs(loss - 20.0) <= 4.0, qPrintable(QString::number(loss)));
        for (const int t : {0, 2, 3})
            QCOMPARE(cell(ids[t], LinkStatsModel::LossPercent), QStringLiteral("0.0"));
    }

    // Three transmitters and a few frames sent: the Frames window lists them in order, decoded;
    // the ID filter keeps one transmitter's reports; Save As then Open gives the same rows.
    void theFramesWindowListsFiltersSavesAndOpensWhatWentBothWays()
    {
        ScriptedDialogs dialogs;
        auto& sim = simulator(3, 4);
        MainWindow& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        w.findChild<QAction*>("framesAction")->trigger();
        FramesWindow& frames = *w.framesWindow();
        QAbstractItemModel* table = frames.findChild<QTableView*>("framesTable")->model();
        const auto rows = [&] {
            frames.refresh();
            QList<QStringList> texts;
            for (int r = 0; r < table->rowCount(); ++r) {
                QStringList row;
                for (int c = 0; c < table->columnCount(); ++c)
                    row << table->index(r, c).data().toString();
                texts << row;
            }
            return texts;
        };
        const auto column = [&](FrameColumn c) {
            QStringList texts;
            for (const QStringList& row : rows())
                texts << row[int(c)];
            return texts;
        };

        w.findChild<QPushButton*>("setChannelButton")->click();
        QVERIFY(waitUntil([&] { return frames.log().size() == 2; }));
        QStringList ids;
        for (int t = 1; t <= 3; ++t) {
            sim.withModule([&](modsim::Module& m, modsim::Millis now) {
                ids << modsim::idText(m.transmitter(t).id);
                (void)m.press(t, t, now);
            });
            QVERIFY(waitUntil([&] { return frames.log().size() == uint64_t(2 + t); }));
        }
        w.onPadTypeChosen(4);
        w.keyPanel()->findChild<QPushButton*>("keyButton02")->click();
        w.keyPanel()->close();
        sim.withModule([&](modsim::Module& m, modsim::Millis now) { (void)m.press(2, 4, now); });
        QVERIFY(waitUntil([&] { return frames.log().size() == 7; }));

        QCOMPARE(column(FrameColumn::Direction),
                 QStringList({"sent", "received", "received", "received", "received", "sent", "received"}));
        QCOMPARE(column(FrameColumn::Command).first(3),
                 QStringList({"2Ah RF parameter block", "2Ah RF parameter block", "13h key report"}));
        QCOMPARE(column(FrameColumn::Decoded),
                 QStringList(
                     {"ch 33  power 3  rate 100k", "", "maker 83 41 00 00  key 1  complement ok",
                      "maker 83 41 00 00  key 2  complement ok", "maker 83 41 00 00  key 3  complement ok",
                      "maker 83 41 00 00  key 2  complement ok", "maker 83 41 00 00  key 4  complement ok"}));
        QCOMPARE(column(FrameColumn::Destination).mid(2, 3), ids);

        // The user clicks into the Frames window's ID box (offscreen, no window manager moves the
        // activation away from the key panel that was closed).
        QApplication::setActiveWindow(&frames);
        frames.findChild<QLineEdit*>("idFilterEdit")->setFocus(Qt::MouseFocusReason);
        QCOMPARE(QApplication::focusWidget(), frames.findChild<QLineEdit*>("idFilterEdit"));
        QTest::keyClicks(QApplication::focusWidget(), ids[1]);
        QCOMPARE(column(FrameColumn::Number), QStringList({"4", "7"}));
        QCOMPARE(column(FrameColumn::Destination), QStringList({ids[1], ids[1]}));

        frames.findChild<QLineEdit*>("idFilterEdit")->clear();
        const QList<QStringList> before = rows();
        const QString path = m_dir.filePath(QStringLiteral("frames.csv"));
        dialogs.fileNames = {path, path};
        frames.findChild<QPushButton*>("saveAsButton")->click();
        frames.findChild<QPushButton*>("openButton")->click();
        QCOMPARE(dialogs.messages.size(), 0);
        QCOMPARE(rows(), before);
        QVERIFY(frames.findChild<QLabel*>("countLabel")
                    ->text()
                    .endsWith(QStringLiteral("loaded from frames.csv")));
    }

    void unpluggingEndsReceptionAndAutoReconnectResumesItAfterTheReplug()
    {
        auto& sim = simulator();
        MainWindow& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        w.onStatusBarDoubleClicked();
        w.findChild<QAction*>("autoReconnectAction")->trigger();
        (void)sim.command(QStringLiteral("unplug"));
        QVERIFY(waitUntil([] { return !commSettings.portOpen; }));
        QCOMPARE(w.statusPanels()->panelText(0), sim.linkPath() + QStringLiteral(":OFF"));
        (void)sim.command(QStringLiteral("replug"));
        QVERIFY(waitUntil([] { return commSettings.portOpen != 0; }));
        QCOMPARE(w.statusPanels()->panelText(0), sim.linkPath() + QStringLiteral(":OK"));
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        (void)sim.command(QStringLiteral("text back"));
        QVERIFY(waitUntil(
            [&] { return w.monitor()->lines().contains(QStringLiteral(" 62h 61h 63h 6Bh 0Dh 0Ah")); }));
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
