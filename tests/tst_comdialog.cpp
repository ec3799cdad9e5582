// The communication settings dialog, the settings command of the main window, and the port
// search, with pseudo-terminals as ports and scripted message boxes.
#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "CommSettingsDialog.h"
#include "FrameAssembler.h"
#include "MainWindow.h"
#include "ModuleFrame.h"
#include "MonitorView.h"
#include "PortSearch.h"
#include "ScriptedDialogs.h"
#include "SettingsFile.h"
#include "TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <asm/termios.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace {
// Plays the module on a pseudo-terminal while the GUI thread waits: answers every RF-settings
// frame it sees with `reply`, and notes the line speed at that moment.
class ModulePeer : public QObject {
public:
    // An empty reply leaves the port silent; `vanish` pulls the cable instead of answering.
    ModulePeer(Pty& pty, QByteArray reply, bool vanish = false)
        : m_pty(pty), m_reply(std::move(reply)), m_vanish(vanish)
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            char buf[512];
            const ssize_t n = ::read(m_pty.masterFd(), buf, sizeof buf);
            if (n <= 0)
                return;
            received.append(buf, n);
            if (received.contains(hex("0F 5A 24 2A"))) {
                struct termios2 t {};
                ioctl(m_pty.masterFd(), TCGETS2, &t);
                speedAtProbe = t.c_ospeed;
                if (!m_reply.isEmpty())
                    m_pty.write(m_reply);
                received.clear();
                ++probes;
                if (m_vanish) {
                    m_pty.closeMaster();
                    m_poll.stop();
                }
            }
        });
        m_poll.start(5);
    }
    QByteArray received;
    int probes = 0;
    unsigned speedAtProbe = 0;

private:
    Pty& m_pty;
    QByteArray m_reply;
    bool m_vanish = false;
    QTimer m_poll;
};

const QByteArray kAnswer = hex("0F 5A 0F 2A 00 11 22 33 44 FF FF FF FF 00 00");

} // namespace

class ComDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    template <typename T> static T* child(QWidget* w, const char* name)
    {
        return w->findChild<T*>(QLatin1String(name));
    }
    static void type(QWidget* dialog, const char* box, const QString& text)
    {
        if (auto* c = child<QComboBox>(dialog, box))
            c->setEditText(text);
        else
            child<QLineEdit>(dialog, box)->setText(text);
    }
    static QString text(QWidget* dialog, const char* box)
    {
        if (auto* c = child<QComboBox>(dialog, box))
            return c->currentText();
        return child<QLineEdit>(dialog, box)->text();
    }
    static QStringList items(QWidget* dialog, const char* box)
    {
        QStringList list;
        auto* c = child<QComboBox>(dialog, box);
        for (int i = 0; i < c->count(); ++i)
            list << c->itemText(i);
        return list;
    }
    QByteArray iniBytes() const
    {
        QFile f(settingsFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        resetLink();
        setSettingsFilePath(m_dir.filePath(QStringLiteral("zelvoterm.ini")));
        QFile::remove(settingsFilePath());
        setPortCandidateSource({});
    }
    void cleanup()
    {
        resetLink();
        setPortCandidateSource({});
    }

    void showingFillsTheBoxesAsTheSettingsStand()
    {
        commSettings.portName = QStringLiteral("somewhere");
        commSettings.baudRate = 1234;
        commSettings.sendDelimiter = QStringLiteral("0x0A");
        commSettings.receiveTimeoutMs = -5;
        CommSettingsDialog dialog(nullptr);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("通信ﾊﾟﾗﾒｰﾀ設定"));
        QCOMPARE(dialog.size(), QSize(368, 208));
        QCOMPARE(text(&dialog, "portBox"), QStringLiteral("somewhere"));
        QCOMPARE(text(&dialog, "bitRateBox"), QStringLiteral("1234"));
        QCOMPARE(text(&dialog, "sendDelimiterBox"), QStringLiteral("0x0A"));
        QCOMPARE(text(&dialog, "receiveTimeoutEdit"), QStringLiteral("-5"));
        QCOMPARE(text(&dialog, "receiveDelimiterBox"), QStringLiteral("無し"));
        QCOMPARE(items(&dialog, "receiveDelimiterBox").last(), QStringLiteral("ALL(制御コード全般)"));
        QVERIFY(!child<QProgressBar>(&dialog, "searchProgressBar")->isVisible());
        QCOMPARE(child<QPushButton>(&dialog, "okButton")->toolTip(), QStringLiteral("設定の確定"));
        QCOMPARE(child<QPushButton>(&dialog, "cancelButton")->text(), QStringLiteral("ｷｬﾝｾﾙ"));
        QCOMPARE(int(reportOpenErrors), 1);
    }

    void okOpensTheTypedPortAndTakesEveryBox()
    {
        Pty pty;
        CommSettingsDialog dialog(nullptr);
        dialog.show();
        type(&dialog, "portBox", pty.slavePath()); // a path typed by hand
        type(&dialog, "bitRateBox", QStringLiteral("115200"));
        type(&dialog, "parityBox", QStringLiteral("EVEN"));
        type(&dialog, "sendHeaderBox", QStringLiteral("STX"));
        type(&dialog, "sendDelimiterBox", QStringLiteral("0x0A"));
        type(&dialog, "receiveDelimiterBox", QStringLiteral("CR"));
        type(&dialog, "receiveTimeoutEdit", QStringLiteral("abc"));
        dialog.onOkClicked();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(commSettings.portOpen);
        QCOMPARE(commSettings.portName, pty.slavePath());
        QCOMPARE(commSettings.baudRate, 115200);
        QCOMPARE(commSettings.parity, QStringLiteral("EVEN"));
        QCOMPARE(commSettings.sendHeader, QStringLiteral("STX"));
        QCOMPARE(commSettings.sendDelimiter, QStringLiteral("0x0A"));
        QCOMPARE(commSettings.receiveDelimiter, QStringLiteral("CR"));
        QCOMPARE(commSettings.receiveTimeoutMs, 100);
    }

    void aPortThatCannotOpenRestoresTheSettingsAndKeepsTheDialog()
    {
        ScriptedDialogs dialogs;
        // The main window shows what the link reports, as it does whenever the dialog is open.
        QFile ini(settingsFilePath());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[COMPORT]\r\nPortName=/dev/no-such-port\r\n");
        ini.close();
        MainWindow w;
        commSettings.portName = QStringLiteral("before");
        commSettings.baudRate = 9600;
        CommSettingsDialog dialog(&w);
        dialog.show();
        type(&dialog, "portBox", QStringLiteral("/dev/no-such-port"));
        type(&dialog, "bitRateBox", QStringLiteral("19200"));
        dialog.onOkClicked();
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages[0].text.startsWith(QStringLiteral("INVALID HANDLE\n")));
        QVERIFY(dialog.isVisible());
        QCOMPARE(commSettings.portName, QStringLiteral("before"));
        QCOMPARE(commSettings.baudRate, 9600);
        QCOMPARE(text(&dialog, "portBox"), QStringLiteral("before"));
        QCOMPARE(text(&dialog, "bitRateBox"), QStringLiteral("9600"));
    }

    void aNumberBoxThatHoldsNoNumberAppliesNothing_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::newRow("bit rate") << "bitRateBox"
                                  << "abc";
        QTest::newRow("data bits") << "dataBitsBox"
                                   << "";
        QTest::newRow("stop bits") << "stopBitsBox"
                                   << "１";
        QTest::newRow("huge") << "bitRateBox"
                              << "99999999999999999999";
    }
    void aNumberBoxThatHoldsNoNumberAppliesNothing()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        ScriptedDialogs dialogs;
        Pty pty;
        CommSettingsDialog dialog(nullptr);
        dialog.show();
        type(&dialog, "portBox", pty.slavePath());
        type(&dialog, qPrintable(box), typed);
        dialog.onOkClicked();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].text, QStringLiteral("'%1' は整数ではありません").arg(typed));
        QVERIFY(dialog.isVisible());
        QVERIFY(!commSettings.portOpen);
        QCOMPARE(commSettings.portName, QStringLiteral("COM1"));
    }

    void negativeAndHugeValuesAreStoredOrRefusedWithoutAHalfState()
    {
        Pty pty;
        CommSettingsDialog dialog(nullptr);
        dialog.show();
        type(&dialog, "portBox", pty.slavePath());
        type(&dialog, "bitRateBox", QStringLiteral("-300"));
        type(&dialog, "receiveTimeoutEdit", QStringLiteral("-1"));
        type(&dialog, "sendDelimiterBox", QString(5000, u'あ'));
        dialog.onOkClicked();
        QVERIFY(commSettings.portOpen);
        QCOMPARE(commSettings.baudRate, -300); // runs the line at 9600
        QCOMPARE(commSettings.receiveTimeoutMs, -1);
        QCOMPARE(commSettings.sendDelimiter.size(), 5000);
    }

    void theSettingsCommandSavesAtOnceAndShowsTheNewDelimiter()
    {
        Pty pty;
        MainWindow w;
        w.show();
        whenDialogShown([&](QWidget* dialog) {
            type(dialog, "portBox", pty.slavePath());
            type(dialog, "sendDelimiterBox", QStringLiteral("0x0A"));
            child<QPushButton>(dialog, "okButton")->click();
        });
        w.editCommSettings();
        QCOMPARE(w.statusPanels()->panelText(0), pty.slavePath() + QStringLiteral(":OK"));
        QVERIFY(iniBytes().contains("PortName=" + pty.slavePath().toLocal8Bit() + "\r\n"));
        QVERIFY(iniBytes().contains("SendDlmt=0x0A\r\n"));
        auto* dlmt = w.findChild<QComboBox*>("delimiterBox");
        QCOMPARE(dlmt->currentText(), QStringLiteral("0x0A"));
        QCOMPARE(dlmt->itemText(dlmt->count() - 1), QStringLiteral("0x0A"));
        QCOMPARE(w.findChild<QLabel*>("portPanel")->text(), pty.slavePath());
    }

    void cancellingLeavesThePortClosed()
    {
        Pty pty;
        QFile ini(settingsFilePath());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[COMPORT]\r\nPortName=" + pty.slavePath().toLocal8Bit() + "\r\n");
        ini.close();
        MainWindow w;
        w.show();
        QVERIFY(commSettings.portOpen);
        QFile::remove(settingsFilePath());
        whenDialogShown([](QWidget* dialog) { child<QPushButton>(dialog, "cancelButton")->click(); });
        w.editCommSettings();
        QVERIFY(!commSettings.portOpen);
        QCOMPARE(w.statusPanels()->panelText(0), pty.slavePath() + QStringLiteral(":OFF"));
        QVERIFY(!QFile::exists(settingsFilePath()));

        // A search found another port; Cancel drops it, also from the file saved at exit.
        ScriptedDialogs dialogs;
        Pty module;
        ModulePeer modulePeer(module, kAnswer);
        setPortCandidateSource([&] { return portsNamed({module.slavePath()}); });
        whenDialogShown([](QWidget* dialog) {
            child<QPushButton>(dialog, "portSearchButton")->click();
            child<QPushButton>(dialog, "cancelButton")->click();
        });
        w.editCommSettings();
        QCOMPARE(dialogs.messages.last().caption, QStringLiteral("Completed"));
        QCOMPARE(commSettings.portName, pty.slavePath());
        QVERIFY(!commSettings.portOpen);
        QCOMPARE(w.statusPanels()->panelText(0), pty.slavePath() + QStringLiteral(":OFF"));
        w.close();
        QVERIFY(iniBytes().contains("PortName=" + pty.slavePath().toLocal8Bit() + "\r\n"));
    }

    void thePortListTellsAdaptersApartButTheBoxTakesOnlyTheName()
    {
        const auto adapter = [](const char* name, const char* product, const char* maker, const char* serial,
                                const char* ids, const char* link) {
            PortInfo p;
            p.name = QLatin1String(name);
            p.product = QLatin1String(product);
            p.manufacturer = QLatin1String(maker);
            p.serialNumber = QLatin1String(serial);
            p.usbIds = QLatin1String(ids);
            p.stableLink = QStringLiteral("/dev/serial/by-id/") + QLatin1String(link);
            return p;
        };
        const QList<PortInfo> adapters{
            adapter("ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI", "0403:6001",
                    "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"),
            adapter("ttyUSB1", "FT232R USB UART", "FTDI", "A9X1QW7C", "0403:6001",
                    "usb-FTDI_FT232R_USB_UART_A9X1QW7C-if00-port0"),
            adapter("ttyUSB2", "USB Serial", "1a86", "", "1a86:7523", "usb-1a86_USB_Serial-if00-port0"),
        };
        setPortCandidateSource([&] { return adapters; });
        CommSettingsDialog dialog(nullptr);
        dialog.show();
        auto* box = child<QComboBox>(&dialog, "portBox");
        const auto row = [&](int r) {
            QStringList cells;
            for (int c = 0; c < box->model()->columnCount(); ++c)
                cells << box->model()->index(r, c).data().toString();
            return cells;
        };
        QCOMPARE(row(1), QStringList({"ttyUSB1", "FT232R USB UART", "FTDI", "A9X1QW7C", "0403:6001",
                                      "usb-FTDI_FT232R_USB_UART_A9X1QW7C-if00-port0"}));
        QCOMPARE(row(2), QStringList({"ttyUSB2", "USB Serial", "1a86", "", "1a86:7523",
                                      "usb-1a86_USB_Serial-if00-port0"}));
        QCOMPARE(text(&dialog, "portBox"), QStringLiteral("COM1"));

        // The second FTDI cable, chosen with the keyboard, puts its name alone in the box.
        box->setFocus();
        box->showPopup();
        QVERIFY(QTest::qWaitForWindowExposed(box->view()->window()));
        QVERIFY(box->view()->window()->width() > box->width() * 3); // the details are readable
        QTest::keyClick(box->view(), Qt::Key_Down);
        QTest::keyClick(box->view(), Qt::Key_Return);
        QCOMPARE(text(&dialog, "portBox"), QStringLiteral("ttyUSB1"));
    }

    void thePortListFollowsAdaptersKeepsTypingAndYieldsToASearch()
    {
        ScriptedDialogs dialogs;
        QList<PortInfo> plugged = portsNamed({"ttyUSB0"});
        setPortCandidateSource([&] { return plugged; });
        CommSettingsDialog dialog(nullptr);
        dialog.show();
        auto* watcher = child<PortWatcher>(&dialog, "portWatcher");
        QCOMPARE(items(&dialog, "portBox"), QStringList({"ttyUSB0"}));
        type(&dialog, "portBox", QStringLiteral("/dev/ttyUS"));

        plugged = portsNamed({"ttyUSB0", "ttyUSB1"});
        emit watcher->portsChanged();
        QCOMPARE(items(&dialog, "portBox"), QStringList({"ttyUSB0", "ttyUSB1"}));
        QCOMPARE(text(&dialog, "portBox"), QStringLiteral("/dev/ttyUS"));

        // Nothing opens, so the search's list is empty, and stays so.
        plugged = portsNamed({"/dev/no-such-1"});
        dialog.onPortSearchClicked();
        plugged = portsNamed({"ttyUSB0", "ttyUSB1", "ttyUSB2"});
        emit watcher->portsChanged();
        QVERIFY(items(&dialog, "portBox").isEmpty());
    }

    void answeringNoToTheSearchChangesNothing()
    {
        ScriptedDialogs dialogs;
        dialogs.answers = {Dialogs::Answer::No};
        int cleared = 0;
        CommSettingsDialog dialog(nullptr, {[] {}, [&] { ++cleared; }});
        dialog.show();
        const QStringList before = items(&dialog, "portBox");
        dialog.onPortSearchClicked();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].text, QStringLiteral("Connect the USB to Serial Cable"));
        QCOMPARE(dialogs.messages[0].caption, QStringLiteral("COM Port Search"));
        QCOMPARE(cleared, 0);
        QCOMPARE(items(&dialog, "portBox"), before);
        QCOMPARE(commSettings.portName, QStringLiteral("COM1"));
    }

    void noPortOpensSoNothingIsFound()
    {
        ScriptedDialogs dialogs;
        setPortCandidateSource([] {
            return portsNamed({"/dev/no-such-1", "/dev/no-such-2", "/dev/no-such-3", "/dev/no-such-4"});
        });
        answerReceived = 1; // left over from earlier traffic
        receivedFrame.state = 5;
        int cleared = 0;
        CommSettingsDialog dialog(nullptr, {[] {}, [&] { ++cleared; }});
        dialog.show();
        QElapsedTimer t;
        t.start();
        dialog.onPortSearchClicked();
        qInfo("four candidates that do not open took %lld ms", t.elapsed());
        QCOMPARE(cleared, 1);
        QVERIFY(items(&dialog, "portBox").isEmpty());
        QCOMPARE(commSettings.portName, QStringLiteral("COM1"));
        QCOMPARE(text(&dialog, "portBox"), QStringLiteral("COM1"));
        QCOMPARE(dialogs.messages.last().text, QStringLiteral("COM port Not found"));
        QCOMPARE(dialogs.messages.last().caption, QStringLiteral("Warnning"));
        QCOMPARE(receivedFrame.state, 0);
        QCOMPARE(int(reportOpenErrors), 1);
        QVERIFY(!child<QProgressBar>(&dialog, "searchProgressBar")->isVisible());

        // With no serial port on the system, no busy indicator runs behind the message.
        setPortCandidateSource([] { return QList<PortInfo>(); });
        bool busy = true;
        dialogs.onMessage = [&](const ScriptedDialogs::Message& m) {
            const auto* bar = child<QProgressBar>(&dialog, "searchProgressBar");
            if (m.caption == QLatin1String("Warnning"))
                busy = bar->isVisible() && bar->minimum() == bar->maximum();
        };
        dialog.onPortSearchClicked();
        QCOMPARE(dialogs.messages.last().text, QStringLiteral("COM port Not found"));
        QVERIFY(!busy);
    }

    void theFirstPortThatAnswersWins()
    {
        ScriptedDialogs dialogs;
        Pty silent;
        Pty module;
        Pty later;
        ModulePeer silentPeer(silent, {});
        ModulePeer modulePeer(module, kAnswer);
        ModulePeer laterPeer(later, kAnswer);
        setPortCandidateSource([&] {
            return portsNamed({"/dev/no-such-1", silent.slavePath(), module.slavePath(), later.slavePath()});
        });
        commSettings.baudRate = 19200; // confirmed earlier
        CommSettingsDialog dialog(nullptr, {[] {
                                                commandPayload.fill(0);
                                                sendModuleCommand(0x2A, 23);
                                            },
                                            [] {}});
        dialog.show();
        type(&dialog, "bitRateBox", QStringLiteral("115200")); // typed, not confirmed
        dialog.onPortSearchClicked();
        QCOMPARE(items(&dialog, "portBox"), QStringList({silent.slavePath(), module.slavePath()}));
        QCOMPARE(text(&dialog, "portBox"), module.slavePath());
        QCOMPARE(dialogs.messages.last().text,
                 QStringLiteral("A connection has been found on ") + module.slavePath());
        QCOMPARE(dialogs.messages.last().caption, QStringLiteral("Completed"));
        QCOMPARE(silentPeer.probes, 1);
        QCOMPARE(modulePeer.probes, 1);
        QCOMPARE(modulePeer.speedAtProbe, 19200u);
        QCOMPARE(laterPeer.probes, 0);
        // The settings are untouched until OK, which opens the found port at the rate then shown.
        QVERIFY(!commSettings.portOpen);
        QCOMPARE(commSettings.portName, QStringLiteral("COM1"));
        QCOMPARE(commSettings.baudRate, 19200);
        dialog.onOkClicked();
        QVERIFY(commSettings.portOpen);
        QCOMPARE(commSettings.portName, module.slavePath());
        QCOMPARE(commSettings.baudRate, 115200);
    }

    // The search without the dialog, as a program without windows runs it.
    void theSearchAloneStopsAtTheFirstAnswerAndLeavesTheLinkAsItWas_data()
    {
        QTest::addColumn<bool>("reporting");
        QTest::newRow("open failures reported") << true;
        QTest::newRow("open failures not reported") << false;
    }
    void theSearchAloneStopsAtTheFirstAnswerAndLeavesTheLinkAsItWas()
    {
        QFETCH(bool, reporting);
        RecordingView view;
        Pty silent;
        Pty module;
        Pty later;
        ModulePeer silentPeer(silent, {});
        ModulePeer modulePeer(module, kAnswer);
        ModulePeer laterPeer(later, kAnswer);
        const QList<PortInfo> candidates =
            portsNamed({"/dev/no-such-1", silent.slavePath(), module.slavePath(), later.slavePath()});
        reportOpenErrors = reporting;
        answerReceived = 1; // left over from earlier traffic
        QStringList steps;
        PortProbeSteps hooks;
        hooks.trying = [&](qsizetype i) { steps << QStringLiteral("trying %1").arg(i); };
        hooks.opened = [&](qsizetype i) { steps << QStringLiteral("opened %1").arg(i); };
        hooks.sendProbe = [&] {
            steps << QStringLiteral("probe");
            sendModuleCommand(0x2A, 23);
        };
        QCOMPARE(probePorts(candidates, hooks), std::optional<qsizetype>(2));
        QCOMPARE(steps,
                 QStringList({"trying 0", "trying 1", "opened 1", "probe", "trying 2", "opened 2", "probe"}));
        QCOMPARE(silentPeer.probes, 1);
        QCOMPARE(modulePeer.probes, 1);
        QCOMPARE(laterPeer.probes, 0);
        QVERIFY(view.messages.isEmpty());
        QVERIFY(!commSettings.portOpen);
        QCOMPARE(commSettings.portName, QStringLiteral("COM1"));
        QCOMPARE(bool(reportOpenErrors), reporting);

        QCOMPARE(probePorts(portsNamed({silent.slavePath()}), {}), std::nullopt);
    }

    void aPortThatVanishesDuringItsProbeCostsThatProbeOnly()
    {
        ScriptedDialogs dialogs;
        Pty vanishing;
        Pty module;
        ModulePeer vanishingPeer(vanishing, {}, true);
        ModulePeer modulePeer(module, kAnswer);
        setPortCandidateSource([&] { return portsNamed({vanishing.slavePath(), module.slavePath()}); });
        CommSettingsDialog dialog(nullptr, {[] { sendModuleCommand(0x2A, 23); }, [] {}});
        dialog.show();
        dialog.onPortSearchClicked();
        QCOMPARE(vanishingPeer.probes, 1);
        QCOMPARE(items(&dialog, "portBox"), QStringList({vanishing.slavePath(), module.slavePath()}));
        QCOMPARE(text(&dialog, "portBox"), module.slavePath());
        QCOMPARE(dialogs.messages.last().caption, QStringLiteral("Completed"));
        QVERIFY(!commSettings.portOpen);
    }

    void aSilentPortBecomesThePortAlthoughNothingWasFound()
    {
        ScriptedDialogs dialogs;
        Pty silent;
        Pty texting;
        Pty partial;
        ModulePeer silentPeer(silent, {});
        ModulePeer textPeer(texting, "OK\r\n");
        ModulePeer partialPeer(partial, hex("0F 5A 0F 2A 00 11 22"));
        setPortCandidateSource([&] {
            return portsNamed({silent.slavePath(), texting.slavePath(), partial.slavePath()});
        });
        CommSettingsDialog dialog(nullptr, {[] { sendModuleCommand(0x2A, 23); }, [] {}});
        dialog.show();
        dialog.onPortSearchClicked();
        QCOMPARE(items(&dialog, "portBox").size(), 3);
        QCOMPARE(text(&dialog, "portBox"), partial.slavePath());
        QCOMPARE(dialogs.messages.last().text, QStringLiteral("COM port Not found"));
        QCOMPARE(textPeer.probes, 1);
        QCOMPARE(partialPeer.probes, 1);
        QVERIFY(!commSettings.portOpen);
    }
};

QTEST_MAIN(ComDialogTest)
#include "tst_comdialog.moc"
