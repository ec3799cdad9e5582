// ZelvoTerm's real windows against the module simulator on a pseudo-terminal.
#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "D_com.h"
#include "D_main.h"
#include "D_rem.h"
#include "D_survey.h"
#include "IdPanel.h"
#include "PortSearch.h"
#include "PtyRunner.h"
#include "SettingsFile.h"
#include "Sound.h"
#include "TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class EndToEndTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<modsim::PtyRunner> m_sim;
    std::unique_ptr<TfrmMain> m_main;
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
    TfrmMain& window(const QString& port)
    {
        QFile ini(m_dir.filePath(QStringLiteral("zelvoterm.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[COMPORT]\r\nPortName=" + port.toLocal8Bit() + "\r\n");
        ini.close();
        setSettingsFilePath(ini.fileName());
        m_main = std::make_unique<TfrmMain>();
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
            return QStringList({silent1.slavePath(), silent2.slavePath(), sim.linkPath()});
        });
        TfrmMain& w = window(QStringLiteral("/dev/no-such-port"));
        whenDialogShown([](QWidget* dialog) {
            dialog->findChild<QPushButton*>("btnPort")->click();
            dialog->findChild<QPushButton*>("btnOK")->click();
        });
        w.mmComPortClick();
        QCOMPARE(dialogs.messages.last().text,
                 QStringLiteral("A connection has been found on ") + sim.linkPath());
        QCOMPARE(CommSettings.PortName, sim.linkPath());
        QCOMPARE(w.statusPanels()->panelText(0), sim.linkPath() + QStringLiteral(":OK"));
    }

    void initGetsItsAnswerWithinTheWait()
    {
        auto& sim = simulator();
        TfrmMain& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        QElapsedTimer t;
        t.start();
        w.btnInitClick();
        QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
        QVERIFY(waitUntil([&] {
            QList<int> commands;
            sim.withModule([&](modsim::Module& m, modsim::Millis) {
                for (const auto& f : m.receivedFrames())
                    commands << f.command;
            });
            return commands == QList<int>({0x2A, 0x7E});
        }));
        QVERIFY(waitUntil([&] { return !w.findChild<IdPanel*>("pnlSrcID")->text().isEmpty(); }));
        QCOMPARE(w.findChild<IdPanel*>("pnlSrcID")->text(), QStringLiteral("4D 53 00 01 "));
    }

    void aCheckModeTestOfAPad08TransmitterEndsWithTheFanfare()
    {
        auto& sim = simulator(1, 8);
        TfrmMain& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        w.mmPadClick(8);
        frmRem->findChild<QLineEdit*>("edtMakerCode")->setText(QStringLiteral("83h 41h 00h 00h"));
        frmRem->findChild<QCheckBox*>("ckJudge")->setChecked(true);
        QVERIFY(frmRem->findChild<QCheckBox*>("ckSound")->isChecked());
        const auto litLamps = [] {
            int lit = 0;
            for (int k = 1; k <= 8; ++k)
                lit += frmRem->findChild<QWidget*>(QStringLiteral("pnlK%1").arg(k, 2, 10, QLatin1Char('0')))
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
        TfrmMain& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        w.mmSurveyClick();
        QVERIFY(frmSurvey->openFlag());
        frmSurvey->findChild<QLineEdit*>("edtTout")->setText(QStringLiteral("30"));
        frmSurvey->findChild<QPushButton*>("btnStart")->click();
        modsim::SurveyPlan plan;
        sim.withModule([&](modsim::Module& m, modsim::Millis now) { plan = m.survey(12, now); });
        QCOMPARE(int(plan.ids.size()), 12);
        const auto counters = [] {
            QStringList texts;
            for (int k = 1; k <= 4; ++k)
                texts << frmSurvey->findChild<QLabel*>(QStringLiteral("pnlKct%1").arg(k))->text();
            return texts;
        };
        QStringList expected;
        for (const int total : plan.totals)
            expected << QString::number(total);
        QVERIFY2(waitUntil([&] { return counters() == expected; }, 5000),
                 qPrintable(counters().join(u',') + QStringLiteral(" / ") + expected.join(u',')));
    }

    void unpluggingEndsReception()
    {
        auto& sim = simulator();
        TfrmMain& w = window(sim.linkPath());
        QVERIFY(waitUntil([&] { return sim.terminalPresent(); }));
        (void)sim.command(QStringLiteral("unplug"));
        QVERIFY(waitUntil([] { return !CommSettings.OpenFlag; }));
        QCOMPARE(w.statusPanels()->panelText(0), sim.linkPath() + QStringLiteral(":OFF"));
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
