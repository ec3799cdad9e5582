// What the send line and the device set-up row put on the wire, read from the module's side of a
// pseudo-terminal.
#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "DeviceSetup.h"
#include "FrameAssembler.h"
#include "MainWindow.h"
#include "ModuleFrame.h"
#include "ScriptedDialogs.h"
#include "SendLine.h"
#include "SettingsFile.h"
#include "TestSupport.h"
#include "TextPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <poll.h>
#include <thread>
#include <unistd.h>

class SendingTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<MainWindow> m_w;

    MainWindow& window(const QByteArray& extraSettings = {})
    {
        m_pty = std::make_unique<Pty>();
        QFile ini(m_dir.filePath(QStringLiteral("zelvoterm.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[COMPORT]\r\nPortName=" + m_pty->slavePath().toLocal8Bit() + "\r\n" + extraSettings);
        ini.close();
        setSettingsFilePath(ini.fileName());
        m_w = std::make_unique<MainWindow>();
        m_w->show();
        m_w->activateWindow();
        if (!QTest::qWaitForWindowActive(m_w.get()))
            qWarning("the window did not become active");
        frameSequence = 0x10;
        return *m_w;
    }
    template <typename T> T* child(const char* name) { return m_w->findChild<T*>(QLatin1String(name)); }
    void setSendLine(const QString& msgId, const QString& src, const QString& dst, const QString& text)
    {
        child<QLineEdit>("msgIdEdit")->setText(msgId);
        child<QLineEdit>("sourceIdEdit")->setText(src);
        child<QLineEdit>("destinationIdEdit")->setText(dst);
        child<QComboBox>("sendTextBox")->setEditText(text);
    }
    QStringList history()
    {
        QStringList items;
        auto* box = child<QComboBox>("sendTextBox");
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }
    QByteArray sent(int count) { return m_pty->read(count); }
    void expectNothingSent() { QCOMPARE(m_pty->readFor(60), QByteArray()); }

private slots:
    void init() { resetLink(); }
    void cleanup()
    {
        m_w.reset();
        m_pty.reset();
        resetLink();
    }

    void moduleCommandsCarryTheHeaderAndConsecutiveSequenceNumbers()
    {
        window();
        for (int i = 0; i < 23; ++i)
            commandPayload[size_t(i)] = uint8_t(i);
        frameSequence = 0xFE;
        sendModuleCommand(0x2A, 23);
        QByteArray expected = hex("0F 5A 24 2A FE FF FF FF FF FF FF FF FF");
        for (int i = 0; i < 23; ++i)
            expected.append(char(i));
        QCOMPARE(sent(36), expected);
        sendModuleCommand(0x20, 0);
        sendModuleCommand(0x20, 0);
        QCOMPARE(sent(26),
                 hex("0F 5A 0D 20 FF FF FF FF FF FF FF FF FF 0F 5A 0D 20 00 FF FF FF FF FF FF FF FF"));
    }

    void keyReportsAndTheClearCode()
    {
        window();
        QString maker;
        sendKeyCode(70, maker, KindVintaC);
        QCOMPARE(maker, QStringLiteral("83h 41h 00h 00h"));
        QCOMPARE(sent(19), hex("0F 5A 13 13 10 FF FF FF FF FF FF FF FF 83 41 00 00 46 B9"));
        sendKeyCode(204, maker, KindVintaC);
        QCOMPARE(sent(19).right(6), hex("83 41 00 00 CC 33"));
        maker = QStringLiteral("83h 41h 00h 0Gh");
        sendKeyCode(5, maker, KindVintaC);
        QCOMPARE(sent(19).right(6), hex("83 41 00 FF 05 FA"));
        maker = QStringLiteral("83h 41h 00h 00");
        sendKeyCode(5, maker, KindVintaC);
        maker.clear();
        sendKeyCode(5, maker, 1); // Vinta-24B sends no key reports
        QVERIFY(maker.isEmpty());
        expectNothingSent();
    }

    void binaryModeSendsTheComposedFrame()
    {
        MainWindow& w = window();
        setSendLine("13", "FF FF FF FF", "12 34 56 78", "01 02");
        w.onSendClicked();
        QCOMPARE(sent(15), hex("0F 5A 0F 13 10 FF FF FF FF 12 34 56 78 01 02"));
        setSendLine("1FF", "", "AB", "");
        w.onSendClicked();
        QCOMPARE(sent(13), hex("0F 5A 0D FF 11 FF FF FF FF AB FF FF FF"));
        setSendLine("zz", "FF FF FF FF", "FF FF FF FF", "0A 1");
        w.onSendClicked();
        QCOMPARE(sent(14), hex("0F 5A 0E 00 12 FF FF FF FF FF FF FF FF 0A"));
        QVERIFY(history().isEmpty());
    }

    void refusedBinaryTextsWriteNothing()
    {
        ScriptedDialogs dialogs;
        MainWindow& w = window();
        setSendLine("13", "FF FF FF FF", "FF FF FF FF", "0A 1 2");
        w.onSendClicked();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].text, QStringLiteral("'0x1 ' は整数ではありません"));
        setSendLine("13", "FF FF FF FF", "あい", "01");
        w.onSendClicked();
        QCOMPARE(dialogs.messages.last().text, QStringLiteral("'0xあい' は整数ではありません"));
        setSendLine("13", "FF FF FF FF", "FF FF FF FF", QString(162, u'A'));
        w.onSendClicked();
        QCOMPARE(dialogs.messages.size(), 3);
        QVERIFY(dialogs.messages.last().text.contains(QStringLiteral("80")));
        expectNothingSent();
        // The refused sends took their sequence numbers.
        setSendLine("13", "", "", QString(160, u'A'));
        w.onSendClicked();
        QCOMPARE(sent(93).left(5), hex("0F 5A 5D 13 13"));
    }

    void textModeAddsHeaderAndDelimiter()
    {
        MainWindow& w = window("SendHead=STX\r\nSendDlmt=ETX\r\n");
        w.toggleSendMode();
        QVERIFY(!w.binaryMode());
        child<QComboBox>("sendTextBox")->setEditText(QStringLiteral("ABC"));
        w.onSendClicked();
        QCOMPARE(sent(5), hex("02 41 42 43 03"));

        commSettings.sendHeader = QStringLiteral("無し");
        auto* dlmt = child<QComboBox>("delimiterBox");
        const QStringList cases[] = {
            {"CRLF", "AT", "41540D0A"}, {"ACK", "x", "7806"}, {"NAK", "x", "7815"}, {"CR", "", "0D"}};
        for (const QStringList& c : cases) {
            dlmt->setEditText(c[0]);
            child<QComboBox>("sendTextBox")->setEditText(c[1]);
            w.onSendClicked();
            const QByteArray expected = QByteArray::fromHex(c[2].toLatin1());
            QCOMPARE(sent(int(expected.size())), expected);
        }
        dlmt->setEditText(QStringLiteral("無し"));
        child<QComboBox>("sendTextBox")->setEditText(QString());
        w.onSendClicked();
        w.onSendClicked();
        expectNothingSent();
        QCOMPARE(history(), QStringList({"ABC", "AT", "x", ""}));
    }

    void historyIsExactAndUnlimited()
    {
        MainWindow& w = window();
        w.toggleSendMode();
        for (const char* text : {"abc", "ABC", "abc", "abc ", "ABC"}) {
            child<QComboBox>("sendTextBox")->setEditText(QLatin1String(text));
            w.onSendClicked();
        }
        QCOMPARE(history(), QStringList({"abc", "ABC", "abc "}));
        for (int i = 0; i < 300; ++i) {
            child<QComboBox>("sendTextBox")->setEditText(QString::number(i));
            w.onSendClicked();
        }
        QCOMPARE(history().size(), 303);

        // Nothing is cut from a long text: it goes out whole and the history keeps it whole. The
        // pseudo-terminal holds less than the text, so it is read beside the blocking write.
        const QString longText(40000, u'x');
        (void)m_pty->readFor(100); // what the sends above wrote
        QByteArray received;
        std::thread reader([&] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (received.size() < longText.size() && std::chrono::steady_clock::now() < deadline) {
                pollfd p{m_pty->masterFd(), POLLIN, 0};
                char buf[4096];
                if (::poll(&p, 1, 100) > 0) {
                    const ssize_t n = ::read(m_pty->masterFd(), buf, sizeof buf);
                    if (n > 0)
                        received.append(buf, n);
                }
            }
        });
        child<QComboBox>("sendTextBox")->setEditText(longText);
        w.onSendClicked();
        reader.join();
        QCOMPARE(received, longText.toLatin1());
        child<QComboBox>("sendTextBox")->setCurrentIndex(303);
        QCOMPARE(child<QComboBox>("sendTextBox")->currentText(), longText);
    }

    // The keys go where the user's keys go: to the focused combo box, which hands them to its line
    // edit itself.
    void enterMovesTheFocusToSendAndTheNextEnterSends_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QStringList>("delimiters");
        QTest::newRow("send line") << "sendTextBox"
                                   << "hi" << hex("68 69 0D 0A") << kDelimiterNames;
        QTest::newRow("typed delimiter") << "delimiterBox"
                                         << "0x55" << hex("41 55") << kDelimiterNames + QStringList{"0x55"};
    }
    void enterMovesTheFocusToSendAndTheNextEnterSends()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, delimiters);
        MainWindow& w = window("SendDlmt=CRLF\r\n");
        w.toggleSendMode();
        child<QComboBox>("sendTextBox")->setEditText(QStringLiteral("A"));
        auto* typedInto = child<QComboBox>(box.toLatin1().constData());
        typedInto->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), typed);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), child<QPushButton>("sendButton"));
        expectNothingSent();
        QCOMPARE(history(), QStringList());

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(this->sent(int(sent.size())), sent);
        auto* dlmt = child<QComboBox>("delimiterBox");
        QStringList items;
        for (int i = 0; i < dlmt->count(); ++i)
            items << dlmt->itemText(i);
        QCOMPARE(items, delimiters);
        QCOMPARE(commSettings.sendDelimiter, dlmt->currentText());
        QCOMPARE(history().size(), 1);
        dlmt->setCurrentIndex(1);
        QCOMPARE(commSettings.sendDelimiter, QStringLiteral("ETX"));
    }

    void theSendModeLabelToggles()
    {
        MainWindow& w = window();
        auto* label = child<ClickLabel>("sendModeLabel");
        QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
        QCOMPARE(label->text(), QStringLiteral("Text"));
        QCOMPARE(label->palette().color(QPalette::WindowText), w.palette().color(QPalette::WindowText));
        QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
        QCOMPARE(label->text(), QStringLiteral("Binary"));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::red));

        // A double-click as the platform reports it, a click and then the double-click, toggles
        // once: neither the double-click nor the release that ends it toggles again.
        const QPoint at = label->rect().center();
        const std::pair<QEvent::Type, const char*> doubleClick[] = {{QEvent::MouseButtonPress, "Binary"},
                                                                    {QEvent::MouseButtonRelease, "Text"},
                                                                    {QEvent::MouseButtonDblClick, "Text"},
                                                                    {QEvent::MouseButtonRelease, "Text"}};
        for (const auto& [type, mode] : doubleClick) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent event(type, at, label->mapToGlobal(at), Qt::LeftButton,
                              down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(label, &event);
            QCOMPARE(label->text(), QLatin1String(mode));
        }
    }

    void setRFchSendsTheChosenChannelPowerAndRate()
    {
        MainWindow& w = window();
        child<QComboBox>("channelBox")->setCurrentIndex(9);
        child<QComboBox>("powerBox")->setCurrentIndex(3);
        child<QRadioButton>("rate100kButton")->setChecked(true);
        w.onSetChannelClicked();
        QCOMPARE(sent(36), hex("0F 5A 24 2A 10 FF FF FF FF FF FF FF FF 03 21 07 05 01 01 04 05 00 "
                               "FF FF FF FF FF FF FF FF FF FF 00 00 00 00"));
        QCOMPARE(rfChannel, 33);
        QCOMPARE(rfRateCode, 7);
    }

    void choicesNeverSentAreNotSaved()
    {
        MainWindow& w = window();
        child<QComboBox>("channelBox")->setCurrentIndex(2);
        child<QRadioButton>("rate500kButton")->setChecked(true);
        w.close();
        QCOMPARE(rfChannel, 33);
        QCOMPARE(rfRateCode, 7);
        QFile ini(settingsFilePath());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("RFch____=33"));
    }

    void initWaitsForAnAnswerThenInitialises()
    {
        MainWindow& w = window();
        // The module answers the RF-settings frame after 50 ms.
        QElapsedTimer t;
        t.start();
        QTimer::singleShot(50, [this] { m_pty->write(hex("0F 5A 0D 2A 00 01 02 03 04 FF FF FF FF")); });
        w.onInitClicked();
        QVERIFY(t.elapsed() < 800);
        const QByteArray frames = sent(72);
        QCOMPARE(frames.left(5), hex("0F 5A 24 2A 10"));
        QCOMPARE(frames.mid(36, 5), hex("0F 5A 24 7E 11"));
        QCOMPARE(frames.mid(49), frames.mid(13, 23));

        // Without an answer the initialisation follows after the 1000 ms wait.
        t.restart();
        w.onInitClicked();
        QVERIFY(t.elapsed() >= 1000);
        QCOMPARE(sent(72).mid(36, 5), hex("0F 5A 24 7E 13"));
    }

    void toRFchIsAddressedWithTheLastDestinationId()
    {
        MainWindow& w = window();
        w.onRemoteChannelClicked(); // no destination yet
        expectNothingSent();
        m_pty->write(hex("0F 5A 0D 13 00 AA BB CC DD 12 34 56 78"));
        QVERIFY(waitUntil([this] { return !child<TextPanel>("destinationIdPanel")->text().isEmpty(); }));
        child<QComboBox>("channelBox")->setCurrentIndex(6);
        child<QComboBox>("powerBox")->setCurrentIndex(2);
        child<QRadioButton>("rate500kButton")->setChecked(true);
        w.onRemoteChannelClicked();
        QCOMPARE(sent(17), hex("0F 5A 11 17 10 12 34 56 78 FF FF FF FF 21 02 1E 0A"));
        QCOMPARE(rfChannel, 33); // the radio settings stay as they were
    }

    void kindBSendsChannelAndPowerAsTwoFrames()
    {
        MainWindow& w = window();
        auto* device = child<QComboBox>("deviceBox");
        device->setCurrentIndex(1);
        w.onDeviceChosen();
        QVERIFY(!child<QWidget>("radioRatePanel")->isVisible());
        child<QComboBox>("channelBox")->setCurrentIndex(5);
        child<QComboBox>("powerBox")->setCurrentIndex(7);
        QElapsedTimer t;
        t.start();
        w.onSetChannelClicked();
        QVERIFY(t.elapsed() >= 99); // the tick counts whole milliseconds
        QCOMPARE(sent(28),
                 hex("0F 5A 0E 20 10 FF FF FF FF FF FF FF FF 05 0F 5A 0E 21 11 FF FF FF FF FF FF FF FF 07"));
        QCOMPARE(rfChannel, 5);
    }

    void sourceIdDoubleClickCopiesTheDestination()
    {
        MainWindow& w = window();
        auto* msgId = child<QLineEdit>("msgIdEdit");
        auto* src = child<QLineEdit>("sourceIdEdit");
        msgId->setText(QStringLiteral("77"));
        w.onSourceIdLabelDoubleClicked();
        QCOMPARE(src->text(), QString());
        QCOMPARE(msgId->text(), QStringLiteral("77"));
        m_pty->write(hex("0F 5A 0D 13 00 01 02 03 04 FF FF FF FF"));
        QVERIFY(waitUntil([this] { return !child<TextPanel>("destinationIdPanel")->text().isEmpty(); }));
        auto* label = child<ClickLabel>("sourceIdLabel");
        QTest::mouseDClick(label, Qt::LeftButton, {}, label->rect().center());
        QCOMPARE(src->text(), QStringLiteral("FF FF FF FF "));
        QCOMPARE(msgId->text(), QStringLiteral("13"));
        m_pty->write(hex("0F 5A 0D 13 00 01 02 03 04 0A 0B 0C 0D"));
        QVERIFY(
            waitUntil([this] { return child<TextPanel>("destinationIdPanel")->text().startsWith(u'0'); }));
        w.onSourceIdLabelDoubleClicked();
        QCOMPARE(src->text(), QStringLiteral("0A 0B 0C 0D "));
        QCOMPARE(msgId->text(), QStringLiteral("11"));
    }

    void setUpButtonsOpenAClosedPortAndReportOnlyWhenAsked()
    {
        ScriptedDialogs dialogs;
        MainWindow& w = window();
        commClose();
        commSettings.portName = QStringLiteral("/dev/no-such-port");
        w.onSetChannelClicked();
        w.onInitClicked();
        QVERIFY(dialogs.messages.isEmpty()); // start-up left error reporting off
        reportOpenErrors = 1;
        w.onSetChannelClicked();
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages[0].text.startsWith(QStringLiteral("INVALID HANDLE\n")));
        QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Comm Open"));
        expectNothingSent();

        commSettings.portName = m_pty->slavePath();
        w.onSetChannelClicked();
        QVERIFY(commSettings.portOpen);
        QCOMPARE(sent(36).left(4), hex("0F 5A 24 2A"));
    }
};

QTEST_MAIN(SendingTest)
#include "tst_sending.moc"
