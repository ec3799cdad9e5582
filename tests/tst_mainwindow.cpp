// The main window offscreen: start-up, layout, clock, menus and closing.
#include "ClickLabel.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "FramesWindow.h"
#include "KeyPanel.h"
#include "LinkStatsWindow.h"
#include "MainWindow.h"
#include "MonitorView.h"
#include "Placement.h"
#include "ScriptedDialogs.h"
#include "SerialDevice.h"
#include "SettingsFile.h"
#include "SurveyPanel.h"
#include "TestSupport.h"
#include "TextPanel.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

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

    // Types a text into the send line and sends it with Enter, Enter (the first moves to Send).
    static void typeAndSend(MainWindow& w, const QString& text)
    {
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.findChild<QComboBox*>("sendTextBox")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        // Key by key with its text, as an input method hands over characters without a key of their own.
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c), {});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
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
        QCOMPARE(w.findChild<QLabel*>("portPanel")->toolTip(), QStringLiteral("/dev/no-such-port")); // elided
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
        QVERIFY(!w.findChild<TextPanel*>("productIdPanel")->isVisible());
        QVERIFY(!w.findChild<QLabel*>("deviceLabel")->isVisible());
        const auto* init = w.findChild<QPushButton*>("initButton");
        const auto* top = w.findChild<QWidget*>("setupBand");
        QVERIFY(init->isVisible());
        QCOMPARE(init->geometry().right() + 1, top->width() - 8);
        const auto* clock = w.findChild<TextPanel*>("clockPanel");
        QCOMPARE(clock->geometry().right() + 1, w.findChild<QWidget*>("monitorBand")->width() - 8);
        for (const char* empty : {"sourceIdPanel", "destinationIdPanel", "productIdPanel"})
            QVERIFY(w.findChild<TextPanel*>(empty)->text().isEmpty());
        QVERIFY(!w.findChild<QCheckBox*>("timeStampBox")->isChecked());
    }

    void aLongPortNameKeepsBothEndsInSightAndTheWholePathInTheTooltip()
    {
        const QString path = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        writeIni("[COMPORT]\r\nPortName=" + path.toLatin1() + "\r\n");
        MainWindow w;
        w.show();
        const auto* port = w.findChild<QLabel*>("portPanel");
        const auto* status = w.statusPanels()->panel(0);
        for (const auto& [label, whole] :
             {std::pair{port, path}, std::pair{status, path + QStringLiteral(":OFF")}}) {
            QVERIFY2(label->text().contains(u'…'), qPrintable(label->text()));
            QCOMPARE(label->text().front(), whole.front());
            QCOMPARE(label->text().back(), whole.back());
            // Within the frame, less the half 'x' a framed label indents its text by.
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <=
                    label->contentsRect().width() - label->fontMetrics().horizontalAdvance(u'x') / 2);
            QCOMPARE(label->toolTip(), whole);
        }
        QCOMPARE(w.statusPanels()->panelText(0), path + QStringLiteral(":OFF"));
    }

    void fixedColoursReadOnADarkPaletteAndStayOnALightOne()
    {
        // The contrast ratio of two colours as the accessibility guidelines define it.
        const auto contrast = [](const QColor& a, const QColor& b) {
            const auto luminance = [](const QColor& c) {
                const auto channel = [](double v) {
                    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
                };
                return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
                       0.0722 * channel(c.blueF());
            };
            const double la = luminance(a), lb = luminance(b);
            return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
        };
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        MainWindow w;
        w.show();
        const auto* id = w.findChild<TextPanel*>("destinationIdPanel");
        const auto* mode = w.findChild<QLabel*>("sendModeLabel");
        QCOMPARE(id->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QCOMPARE(mode->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        // The desktop turns dark while the program runs.
        QApplication::setPalette(dark);
        QTRY_COMPARE(w.palette().color(QPalette::Window), QColor(0x35, 0x35, 0x35));
        const QColor background = w.palette().color(QPalette::Window);
        QVERIFY(contrast(id->palette().color(QPalette::WindowText), background) >= 4.5);
        QVERIFY(contrast(mode->palette().color(QPalette::WindowText), background) >= 4.5);
        QTest::mouseClick(w.findChild<QLabel*>("sendModeLabel"), Qt::LeftButton);
        QCOMPARE(mode->text(), QStringLiteral("Text"));
        QCOMPARE(mode->palette().color(QPalette::WindowText), QColor(0xee, 0xee, 0xee));
        QApplication::setPalette(light);
        QTRY_COMPARE(id->palette().color(QPalette::WindowText), QColor(Qt::blue));
    }

    // The ID panels and the clock draw their text from glyphs looked up once per character; it must
    // look as the text engine draws it, centred.
    void theIdPanelsAndTheClockLookAsTheTextEngineDrawsThem_data()
    {
        QTest::addColumn<QString>("panelName");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("ID") << "sourceIdPanel"
                            << QStringList{"12 34 56 78 ", "9A BC DE F0 ", "FF 1F 7A 4A ", "00 "};
        QTest::newRow("clock") << "clockPanel" << QStringList{"2026/12/08 09:41:07", "1999/01/31 23:59:58"};
    }
    void theIdPanelsAndTheClockLookAsTheTextEngineDrawsThem()
    {
        QFETCH(QString, panelName);
        QFETCH(QStringList, texts);
        MainWindow w;
        w.show();
        auto* panel = w.findChild<TextPanel*>(panelName);
        for (const QString& id : texts) {
            panel->clear();
            QImage expected = panel->grab().toImage();
            QPainter p(&expected);
            p.setFont(panel->font());
            p.setPen(panel->palette().color(QPalette::WindowText));
            p.drawText(panel->contentsRect(), Qt::AlignCenter, id);
            p.end();
            panel->setText(id);
            QCOMPARE(panel->grab().toImage(), expected);
        }
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
        // The windows carry the menu entry's icon, sharp at twice the scale, and name the entry,
        // so that desktops match them.
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("zelvoterm"));
        MainWindow w;
        w.createToolWindows();
        for (QWidget* window : std::initializer_list<QWidget*>{&w, w.keyPanel(), w.framesWindow()})
            QVERIFY2(window->windowIcon().pixmap(64).width() == 64, qPrintable(window->objectName()));
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

    // The link only names its messages; the window decides how they look.
    void theLinksMessagesAreBoxesWithTheirOwnIcon_data()
    {
        QTest::addColumn<CommView::LinkMessage>("kind");
        QTest::addColumn<Dialogs::Icon>("icon");
        QTest::newRow("open failed") << CommView::LinkMessage::OpenFailed << Dialogs::Icon::Warning;
        QTest::newRow("write refused") << CommView::LinkMessage::WriteRefused << Dialogs::Icon::None;
    }
    void theLinksMessagesAreBoxesWithTheirOwnIcon()
    {
        QFETCH(CommView::LinkMessage, kind);
        QFETCH(Dialogs::Icon, icon);
        ScriptedDialogs dialogs;
        MainWindow w;
        commView().reportMessage(kind, QStringLiteral("text\nreason"), QStringLiteral("caption"));
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].text, QStringLiteral("text\nreason"));
        QCOMPARE(dialogs.messages[0].caption, QStringLiteral("caption"));
        QCOMPARE(dialogs.messages[0].icon, icon);
        QCOMPARE(dialogs.messages[0].buttons, Dialogs::Buttons::Ok);
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
        // Two sections, thirteen keys and AutoReconnect, then the program's own section.
        QCOMPARE(iniBytes().left(iniBytes().indexOf("[ZelvoTerm]")).count('\n'), 16);
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
        const auto* clock = w.findChild<TextPanel*>("clockPanel");
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
                // The local time as Qt reads it, a quarter of a second into the second shown.
                QCOMPARE(last, QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
                w.displayReceivedBlock(block);
                QCOMPARE(w.monitor()->lines().constLast().left(20), last + u'.');
                ++stamped;
            }
        }
        QVERIFY(stamped >= 3);
        QVERIFY(changes.size() >= 2);
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
            auto* panel = w.findChild<TextPanel*>(name);
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

    void whatTheUserSetUpIsThereAgainAtTheNextStart()
    {
        ScriptedDialogs dialogs;
        QFont font(QStringLiteral("IPAGothic"));
        font.setPointSize(14);
        dialogs.fontAnswer = Dialogs::FontChoice{font, QColor(0x12, 0x80, 0x34)};
        const QStringList typed = {QStringLiteral(" 100% "), QStringLiteral("テスト"), QStringLiteral("'q'")};
        std::map<QString, QRect> places;
        {
            MainWindow w;
            w.createToolWindows();
            w.show();
            w.move(5, 20);
            QTest::mouseDClick(w.findChild<QLabel*>("fontPanel"), Qt::LeftButton);
            QTest::mouseClick(w.findChild<QCheckBox*>("timeStampBox"), Qt::LeftButton);
            QTest::mouseClick(w.findChild<QLabel*>("sendModeLabel"), Qt::LeftButton);
            for (int i = 0; i < kRememberedTexts; ++i)
                typeAndSend(w, QString::number(i));
            for (const QString& text : typed)
                typeAndSend(w, text);
            w.onPadTypeChosen(8);
            w.showSurveyPanel();
            w.findChild<QAction*>("linkStatsAction")->trigger();
            w.findChild<QAction*>("framesAction")->trigger();
            int x = 0;
            for (QWidget* tool : std::initializer_list<QWidget*>{w.keyPanel(), w.surveyPanel(),
                                                                 w.linkStatsWindow(), w.framesWindow()}) {
                x += 10;
                tool->setGeometry(x, x + 5, std::min(tool->width(), 600), std::min(tool->height(), 400));
                places[tool->objectName()] = tool->geometry();
            }
            places["mainWindow"] = w.geometry();
            w.close();
        }
        MainWindow w;
        w.createToolWindows();
        w.show();
        w.onPadTypeChosen(8);
        w.showSurveyPanel();
        w.findChild<QAction*>("linkStatsAction")->trigger();
        w.findChild<QAction*>("framesAction")->trigger();
        for (QWidget* window : std::initializer_list<QWidget*>{&w, w.keyPanel(), w.surveyPanel(),
                                                               w.linkStatsWindow(), w.framesWindow()})
            QCOMPARE(window->geometry(), places[window->objectName()]);
        QCOMPARE(w.monitor()->font().family(), QStringLiteral("IPAGothic"));
        QCOMPARE(w.findChild<QLabel*>("fontPanel")->text(), QStringLiteral("Size:14"));
        QCOMPARE(w.monitor()->palette().color(QPalette::Text), QColor(0x12, 0x80, 0x34));
        QVERIFY(w.findChild<QCheckBox*>("timeStampBox")->isChecked());
        QVERIFY(!w.binaryMode());
        auto* sendBox = w.findChild<QComboBox*>("sendTextBox");
        QCOMPARE(sendBox->count(), kRememberedTexts);
        QCOMPARE(sendBox->itemText(0), QStringLiteral("3")); // the newest twenty
        for (int i = 0; i < typed.size(); ++i)
            QCOMPARE(sendBox->itemText(kRememberedTexts - int(typed.size()) + i), typed[i]);
        QCOMPARE(sendBox->currentText(), QString());
        // The 13 keys come first and untouched by the program's own section.
        QVERIFY(iniBytes().startsWith("[COMPORT]\r\nPortName=/dev/no-such-port\r\n"));
    }

    void aWindowRememberedOutsideEveryScreenIsMovedOntoOne()
    {
        writeIni(
            "[COMPORT]\r\nPortName=/dev/no-such-port\r\n[ZelvoTerm]\r\nmainWindow=-3000,-2000,793,530\r\n"
            "linkStatsWindow=9000,40,500,300\r\nframesWindow=100,100,99999,99999\r\n");
        MainWindow w;
        w.createToolWindows();
        w.show();
        w.findChild<QAction*>("linkStatsAction")->trigger();
        w.findChild<QAction*>("framesAction")->trigger();
        const QRect screen = w.screen()->availableGeometry();
        for (QWidget* window : std::initializer_list<QWidget*>{&w, w.linkStatsWindow(), w.framesWindow()})
            QVERIFY2(screen.contains(window->geometry().topLeft()), qPrintable(window->objectName()));
        QVERIFY(screen.contains(w.linkStatsWindow()->geometry()));
        QVERIFY(w.framesWindow()->width() <= screen.width() ||
                w.framesWindow()->minimumWidth() > screen.width());
        QCOMPARE(w.linkStatsWindow()->size(), QSize(500, 300));
    }

    void placesAreKeptOnTheScreensThereAre_data()
    {
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QRect>("placed");
        const QRect right(1920, 0, 1280, 1024);
        QTest::newRow("on the second screen") << QRect(2000, 100, 800, 600) << QRect(2000, 100, 800, 600);
        QTest::newRow("a screen gone") << QRect(5000, 100, 800, 600) << QRect(1120, 100, 800, 600);
        QTest::newRow("above every screen") << QRect(10, -900, 800, 600) << QRect(10, 0, 800, 600);
        QTest::newRow("mostly on the second") << QRect(1800, 10, 800, 600) << QRect(1920, 10, 800, 600);
        QTest::newRow("larger than the screen") << QRect(2000, 0, 2000, 2000) << right;
        QTest::newRow("title bar off the top") << QRect(100, -20, 800, 600) << QRect(100, 0, 800, 600);
        QTest::newRow("left of every screen") << QRect(-4000, 300, 800, 600) << QRect(0, 300, 800, 600);
    }
    void placesAreKeptOnTheScreensThereAre()
    {
        QFETCH(QRect, place);
        QFETCH(QRect, placed);
        QCOMPARE(placedOnScreens(place, {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)}), placed);
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
        QVERIFY(w.findChild<TextPanel*>("productIdPanel")->isVisible());
        setRFch->setText(QStringLiteral("changed"));
        QTest::mouseDClick(w.statusPanels()->panel(1), Qt::LeftButton);
        QCOMPARE(setRFch->text(), QStringLiteral("changed"));
    }

    // The ticks and the status bar follow the lines, which every open and a lost port put low.
    void modemLineItemsRaiseTheirLinesAndTheStatusBarShowsThem()
    {
        Pty pty;
        writeIni("[COMPORT]\r\nPortName=" + pty.slavePath().toLocal8Bit() + "\r\n");
        MainWindow w;
        w.show();
        QTest::mouseDClick(w.statusPanels()->panel(1), Qt::LeftButton);
        auto* dtr = w.findChild<QAction*>("dtrAction");
        auto* rts = w.findChild<QAction*>("rtsAction");
        auto* shown = w.findChild<QLabel*>("modemLinesLabel");
        QVERIFY(dtr->isVisible() && rts->isVisible() && w.findChild<QAction*>("breakAction")->isVisible());
        QVERIFY(!dtr->isChecked() && !rts->isChecked() && shown->isHidden());
        rts->trigger();
        QCOMPARE(shown->text(), QStringLiteral("RTS"));
        dtr->trigger();
        QCOMPARE(shown->text(), QStringLiteral("DTR RTS"));
        QVERIFY(shown->isVisible() && dtr->isChecked() && rts->isChecked());
        QVERIFY(modemLineRaised(ModemLine::Dtr) && modemLineRaised(ModemLine::Rts));
        rts->trigger();
        QCOMPARE(shown->text(), QStringLiteral("DTR"));
        QVERIFY(!modemLineRaised(ModemLine::Rts));

        pty.closeMaster();
        QVERIFY(waitUntil([] { return !commSettings.portOpen; }));
        QVERIFY(!dtr->isChecked() && shown->isHidden());
        dtr->trigger();
        QVERIFY(!dtr->isChecked() && shown->isHidden());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
