// The key panel offscreen, fed key reports through the real port and monitor: a pseudo-terminal
// plays the module, the fake tick stands in for the clock and a recorder for the sounds.
#include "ClickLabel.h"
#include "CommPort.h"
#include "DeviceSetup.h"
#include "KeyPanel.h"
#include "MainWindow.h"
#include "MonitorView.h"
#include "Sound.h"
#include "TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <array>

namespace {
using Maker = std::array<uint8_t, 4>;
constexpr Maker kDefaultMaker = {0x83, 0x41, 0x00, 0x00};
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);

QByteArray keyFrame(uint8_t key, uint8_t check, const Maker& maker = kDefaultMaker, uint8_t seq = 0x21)
{
    QByteArray f = hex("0F 5A 13 13");
    f.append(char(seq));
    f.append(8, char(0xFF));
    for (const uint8_t b : maker)
        f.append(char(b));
    f.append(char(key));
    f.append(char(check));
    return f;
}

uint8_t complement(int key)
{
    return uint8_t(~uint8_t(key));
}

// The main window with its panels on a pseudo-terminal, as the program starts.
class Rig {
public:
    explicit Rig(const QString& iniPath)
    {
        useSettingsNamingPort(iniPath, pty.slavePath());
        setSoundPlayer([this](const QString& name) { sounds << name; });
        main = std::make_unique<MainWindow>();
        main->createToolWindows();
        panel = main->keyPanel();
    }
    ~Rig()
    {
        main->close();
        setSoundPlayer({});
    }

    // Writes a frame to the port and waits until the monitor has shown it, which is after the
    // panel has handled it.
    [[nodiscard]] bool receive(const QByteArray& frame)
    {
        const int before = main->monitor()->lineCount();
        pty.write(frame);
        return waitUntil([&] { return main->monitor()->lineCount() > before; });
    }
    [[nodiscard]] bool receive(int key, int check, const Maker& maker = kDefaultMaker)
    {
        return receive(keyFrame(uint8_t(key), uint8_t(check), maker));
    }
    // A key pressed on the transmitter, after a pause long enough not to be a repeat.
    [[nodiscard]] bool press(int key, const Maker& maker = kDefaultMaker)
    {
        tick.advance(600);
        return receive(key, complement(key), maker);
    }

    template <typename T> T* find(const QString& name) const { return panel->findChild<T*>(name); }
    [[nodiscard]] QPushButton* button(int key) const
    {
        return find<QPushButton>(QString::asprintf("keyButton%02d", key));
    }
    [[nodiscard]] QFrame* lamp(int key) const { return find<QFrame>(QString::asprintf("lamp%02d", key)); }
    [[nodiscard]] QColor lampColour(int key) const { return lamp(key)->palette().color(QPalette::Window); }
    [[nodiscard]] bool lit(int key) const { return lampColour(key) == kGreen; }
    [[nodiscard]] QList<int> litKeys() const
    {
        QList<int> keys;
        for (int k = 1; k <= 70; ++k) {
            if (lit(k))
                keys << k;
        }
        return keys;
    }
    [[nodiscard]] QColor keyArea() const
    {
        return find<QFrame>("keyArea")->palette().color(QPalette::Window);
    }
    [[nodiscard]] QColor buttonFace() const { return panel->palette().color(QPalette::Button); }
    [[nodiscard]] QString status() const { return find<PanelStatusBar>("statusPanels")->panelText(1); }
    [[nodiscard]] QCheckBox* box(const char* name) const { return find<QCheckBox>(QLatin1String(name)); }
    [[nodiscard]] QLineEdit* maker() const { return find<QLineEdit>("makerCodeEdit"); }

    Pty pty;
    FakeTick tick{100000};
    QStringList sounds;
    std::unique_ptr<MainWindow> main;
    KeyPanel* panel = nullptr;
};
} // namespace

class KeyPanelTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString iniPath() const { return m_dir.filePath(QStringLiteral("zelvoterm.ini")); }

private slots:
    void init() { resetLink(); }
    void cleanup()
    {
        resetLink();
        chosenDeviceKind = KindVintaC;
    }

    void panelStartsHiddenAndIsCentredOverTheMainWindowWhenFirstShown()
    {
        Rig rig(iniPath());
        QCOMPARE(rig.panel->windowTitle(), QStringLiteral("Remocon Panel"));
        QVERIFY(rig.panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(rig.panel->windowType(), Qt::Tool);
        QVERIFY(!rig.panel->isVisible());
        QCOMPARE(rig.panel->openFlag(), 0);
        QCOMPARE(rig.panel->keyCount(), 0);
        QVERIFY(rig.maker()->text().isEmpty());
        for (const char* name : {"colourPanelBox", "soundBox", "checkModeBox"})
            QVERIFY(!rig.box(name)->isChecked());
        for (int k = 1; k <= 70; ++k) {
            QCOMPARE(rig.button(k)->text(), QString::number(k));
            QCOMPARE(rig.button(k)->property("keyIndex").toInt(), k - 1);
            QCOMPARE(rig.lamp(k)->accessibleName(), QStringLiteral("Lamp %1").arg(k));
        }

        rig.main->setGeometry(200, 150, 793, 540);
        rig.main->show();
        rig.main->onPadTypeChosen(8);
        QVERIFY(rig.panel->isVisible());
        QCOMPARE(rig.panel->openFlag(), 1);
        QCOMPARE(rig.panel->minimumSize(), rig.panel->maximumSize());
        const QPoint offset = rig.panel->frameGeometry().center() - rig.main->frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 20,
                 qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));

        // Afterwards the panel stays where the user put it.
        rig.panel->move(10, 20);
        rig.panel->close();
        QCOMPARE(rig.panel->openFlag(), 0);
        rig.main->onPadTypeChosen(70);
        QCOMPARE(rig.panel->pos(), QPoint(10, 20));

        // ... unless a larger type would put part of it off the screen.
        rig.panel->close();
        rig.main->onPadTypeChosen(2);
        const QRect screen = rig.panel->screen()->availableGeometry();
        rig.panel->move(screen.right() - 400, screen.bottom() - 200);
        rig.panel->close();
        rig.main->onPadTypeChosen(70);
        QVERIFY(screen.contains(rig.panel->geometry()));
    }

    void everyTypeLaysOutItsKeysWhenShown_data()
    {
        QTest::addColumn<int>("keys");
        QTest::addColumn<QSize>("client");
        QTest::newRow("Pad02") << 2 << QSize(336, 185);
        QTest::newRow("Pad04") << 4 << QSize(336, 255);
        QTest::newRow("Pad08") << 8 << QSize(400, 255);
        QTest::newRow("Pad18") << 18 << QSize(336, 325);
        QTest::newRow("Pad27") << 27 << QSize(336, 430);
        QTest::newRow("Pad32") << 32 << QSize(336, 395);
        QTest::newRow("Pad48") << 48 << QSize(336, 535);
        QTest::newRow("Pad70") << 70 << QSize(336, 605);
    }
    void everyTypeLaysOutItsKeysWhenShown()
    {
        QFETCH(int, keys);
        QFETCH(QSize, client);
        Rig rig(iniPath());
        rig.main->findChild<QAction*>(QStringLiteral("pad%1Action").arg(keys, 2, 10, QLatin1Char('0')))
            ->trigger();
        QCOMPARE(rig.panel->keyCount(), keys);
        QCOMPARE(rig.panel->size(), client);

        const int keyArea = client.height() - 64 - 19;
        QCOMPARE(rig.find<QFrame>("keyArea")->geometry(), QRect(0, 0, client.width(), keyArea));
        QCOMPARE(rig.find<QFrame>("controlBar")->geometry(), QRect(0, keyArea, client.width(), 64));
        QCOMPARE(rig.find<PanelStatusBar>("statusPanels")->geometry(),
                 QRect(0, keyArea + 64, client.width(), 19));
        QCOMPARE(rig.find<PanelStatusBar>("statusPanels")->panel(0)->width(), 50);
        QCOMPARE(rig.maker()->geometry().left(), 140);
        QCOMPARE(rig.maker()->geometry().right() + 1, client.width() - 10);

        int shown = 0;
        for (int k = 1; k <= 70; ++k) {
            const bool visible = rig.button(k)->isVisibleTo(rig.panel);
            QCOMPARE(rig.lamp(k)->isVisibleTo(rig.panel), visible);
            shown += visible ? 1 : 0;
            if (visible) {
                QCOMPARE(rig.button(k)->size(), QSize(60, 25));
                QCOMPARE(rig.lamp(k)->geometry(), QRect(rig.button(k)->pos() + QPoint(6, 6), QSize(13, 13)));
            }
        }
        QCOMPARE(shown, keys);
    }

    void typeChosenWhileShownIsLaidOutAtOnce()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(70);
        rig.main->onPadTypeChosen(2);
        QCOMPARE(rig.panel->keyCount(), 2);
        QCOMPARE(rig.panel->size(), QSize(336, 185));
        QCOMPARE(rig.button(1)->pos(), QPoint(136, 20));
        QCOMPARE(rig.button(2)->pos(), QPoint(136, 55));
        for (int k = 3; k <= 70; ++k)
            QVERIFY(!rig.button(k)->isVisible() && !rig.lamp(k)->isVisible());
        // The keys judged are the keys shown.
        QVERIFY(rig.press(3));
        QCOMPARE(rig.status(), QStringLiteral("Error Key: 3"));
        QVERIFY(!rig.lit(3));

        // While closed, reports go elsewhere.
        rig.panel->close();
        QCOMPARE(rig.panel->openFlag(), 0);
        QVERIFY(rig.press(1));
        QVERIFY(!rig.lit(1));
    }

    void reportTogglesItsLampOnlyWithItsComplement()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(4);
        rig.box("soundBox")->setChecked(true);
        QVERIFY(rig.receive(3, 0x00));
        QCOMPARE(rig.status(), QStringLiteral("83h 41h 00h 00h"));
        QVERIFY(rig.litKeys().isEmpty());
        QVERIFY(rig.sounds.isEmpty());

        QVERIFY(rig.receive(3, 0xFC));
        QCOMPARE(rig.litKeys(), QList<int>{3});
        QCOMPARE(rig.lamp(3)->accessibleDescription(), QStringLiteral("on"));
        QCOMPARE(rig.panel->focusWidget(), rig.button(3));
        QCOMPARE(rig.sounds, QStringList{QStringLiteral("ding.wav")});

        // The monitor hands over the hexadecimal rendering in Text mode as well.
        rig.main->toggleSendMode();
        QVERIFY(!rig.main->binaryMode());
        QVERIFY(rig.press(3));
        QVERIFY(rig.litKeys().isEmpty());
        QCOMPARE(rig.lamp(3)->accessibleDescription(), QStringLiteral("off"));
        QCOMPARE(rig.sounds.size(), 2);
    }

    void keyAboveTheTypeIsReportedAndCanBecomeTheMakerCode()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(4);
        rig.box("soundBox")->setChecked(true);
        QVERIFY(rig.press(5));
        QCOMPARE(rig.status(), QStringLiteral("Error Key: 5"));
        QVERIFY(rig.litKeys().isEmpty());
        QVERIFY(rig.sounds.isEmpty());

        QTest::mouseDClick(rig.find<PanelStatusBar>("statusPanels")->panel(1), Qt::LeftButton);
        QCOMPARE(rig.maker()->text(), QStringLiteral("Error Key: 5"));

        // Any maker code shown can be taken the same way.
        QVERIFY(rig.press(1, {0x12, 0xAB, 0x00, 0xFF}));
        QTest::mouseDClick(rig.find<PanelStatusBar>("statusPanels")->panel(1), Qt::LeftButton);
        QCOMPARE(rig.maker()->text(), QStringLiteral("12h ABh 00h FFh"));
    }

    void identicalReportsWithin500msCountOnce()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(2);
        rig.box("soundBox")->setChecked(true);
        QVERIFY(rig.receive(1, 0xFE));
        QVERIFY(rig.lit(1));
        rig.tick.advance(300);
        QVERIFY(rig.receive(1, 0xFE));
        QVERIFY(rig.lit(1));
        rig.tick.advance(600);
        QVERIFY(rig.receive(1, 0xFE));
        QVERIFY(!rig.lit(1));
        QCOMPARE(rig.sounds.size(), 2);

        // A key held for three seconds, its frame repeated every 100 ms, with new sequence numbers.
        rig.tick.advance(600);
        for (int i = 0; i < 30; ++i) {
            QVERIFY(rig.receive(keyFrame(2, 0xFD, kDefaultMaker, uint8_t(i))));
            rig.tick.advance(100);
        }
        QCOMPARE(rig.litKeys(), QList<int>{2});
        QCOMPARE(rig.sounds.size(), 3);
    }

    void clearCodeInCheckModeNeedsTheExpectedMaker()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(4);
        rig.maker()->setText(QStringLiteral("83h 41h 00h 00h"));
        rig.box("checkModeBox")->setChecked(true);
        QVERIFY(rig.box("soundBox")->isChecked());
        QVERIFY(rig.press(1));
        QVERIFY(rig.press(2));
        rig.sounds.clear();

        QVERIFY(rig.press(0xCC, {0x12, 0x34, 0x56, 0x78}));
        QCOMPARE(rig.sounds, QStringList{QStringLiteral("chord.wav")});
        QCOMPARE(rig.litKeys(), (QList<int>{1, 2}));
        QCOMPARE(rig.status(), QStringLiteral("12h 34h 56h 78h"));

        rig.tick.advance(600);
        QVERIFY(rig.receive(0xCC, 0x00));
        QVERIFY(rig.litKeys().isEmpty());
        QCOMPARE(rig.sounds.size(), 1);

        // An empty expected maker code refuses everything.
        rig.maker()->clear();
        QVERIFY(rig.press(1));
        QVERIFY(rig.litKeys().isEmpty());
        QCOMPARE(rig.sounds.size(), 2);
        QCOMPARE(rig.sounds.last(), QStringLiteral("chord.wav"));
    }

    void checkModeAnnouncesTheLastKeyThenClearsAfterAPauseWhileReceiving()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(2);
        rig.maker()->setText(QStringLiteral("83h 41h 00h 00h"));
        rig.box("checkModeBox")->setChecked(true);
        QVERIFY(rig.press(1));
        QVERIFY(rig.press(1));
        QVERIFY(!rig.lit(1));
        QVERIFY(rig.press(2));
        const QString chimes = QStringLiteral("chimes.wav");
        const QString tada = QStringLiteral("tada.wav");
        QCOMPARE(rig.sounds, QStringList({chimes, chimes, chimes}));
        QVERIFY(rig.press(1));
        QCOMPARE(rig.sounds.last(), tada);
        QCOMPARE(rig.litKeys(), (QList<int>{1, 2}));

        // Reports go on reaching the monitor and the panel during the pause (600 ms in).
        QVERIFY(rig.press(2));
        QCOMPARE(rig.litKeys(), QList<int>{1});
        QCOMPARE(rig.sounds.last(), chimes);
        // All lit again 1200 ms in: a new fanfare, and the pause starts afresh.
        QVERIFY(rig.press(2));
        QCOMPARE(rig.sounds.last(), tada);
        rig.tick.advance(1999);
        QTest::qWait(100);
        QCOMPARE(rig.litKeys(), (QList<int>{1, 2}));
        rig.tick.advance(1);
        QVERIFY(waitUntil([&] { return rig.litKeys().isEmpty(); }));
        QCOMPARE(rig.sounds, QStringList({chimes, chimes, chimes, tada, chimes, tada}));
    }

    void withoutSoundNothingPlaysInAnyMode()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(2);
        rig.box("checkModeBox")->setChecked(true);
        rig.box("soundBox")->setChecked(false);
        QVERIFY(rig.press(1)); // refused: the expected maker code is empty
        rig.maker()->setText(QStringLiteral("83h 41h 00h 00h"));
        QVERIFY(rig.press(1));
        QVERIFY(rig.press(2)); // all lit: the pause still happens, silently
        rig.tick.advance(2000);
        QVERIFY(waitUntil([&] { return rig.litKeys().isEmpty(); }));
        rig.box("checkModeBox")->setChecked(false);
        QVERIFY(!rig.box("soundBox")->isChecked());
        QVERIFY(rig.press(1));
        QVERIFY(rig.press(5));
        QVERIFY(rig.sounds.isEmpty());

        // Check takes Sound with it both ways; Sound can then change on its own.
        rig.box("checkModeBox")->setChecked(true);
        QVERIFY(rig.box("soundBox")->isChecked());
        rig.box("soundBox")->setChecked(false);
        QVERIFY(rig.box("checkModeBox")->isChecked());
        rig.box("soundBox")->setChecked(true);
        rig.box("checkModeBox")->setChecked(false);
        QVERIFY(!rig.box("soundBox")->isChecked());
    }

    void colourPanelShowsEveryActedLine()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(2);
        const QColor face = rig.buttonFace();
        QCOMPARE(rig.keyArea(), face);
        QVERIFY(rig.press(1));
        QCOMPARE(rig.keyArea(), face);

        rig.box("colourPanelBox")->setChecked(true);
        QVERIFY(rig.press(2));
        QCOMPARE(rig.keyArea(), kBlue);
        QVERIFY(rig.press(0xFF));
        QCOMPARE(rig.keyArea(), face);
        QVERIFY(rig.press(9)); // an error line
        QCOMPARE(rig.keyArea(), kBlue);
        QVERIFY(rig.press(0xFF));
        rig.box("checkModeBox")->setChecked(true);
        QVERIFY(rig.press(1)); // refused for its maker code
        QCOMPARE(rig.keyArea(), kBlue);
        // A repeat is no acted line.
        rig.box("checkModeBox")->setChecked(false);
        QVERIFY(rig.press(0xFF));
        QVERIFY(rig.receive(0xFF, 0x00));
        QCOMPARE(rig.keyArea(), face);
        QVERIFY(rig.press(1));
        QTest::mouseClick(rig.find<QPushButton>("clearButton"), Qt::LeftButton);
        QCOMPARE(rig.keyArea(), face);
        QVERIFY(rig.litKeys().isEmpty());
    }

    void keyButtonsAndClearSendReportsThroughThePort()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(70);
        QVERIFY(rig.receive(7, 0xF8));
        QTest::mouseClick(rig.button(5), Qt::LeftButton);
        QCOMPARE(rig.maker()->text(), QStringLiteral("83h 41h 00h 00h"));
        QCOMPARE(rig.pty.read(19).toHex(' '),
                 hex("0F 5A 13 13 00 FF FF FF FF FF FF FF FF 83 41 00 00 05 FA").toHex(' '));
        QCOMPARE(rig.litKeys(), QList<int>{7}); // pressing changes no lamp

        // A click on a lamp presses its key too.
        rig.maker()->setText(QStringLiteral("01h 02h 03h 04h"));
        QTest::mouseClick(rig.panel->windowHandle(), Qt::LeftButton, {},
                          rig.lamp(70)->mapTo(rig.panel, QPoint(6, 6)));
        QCOMPARE(rig.pty.read(19).toHex(' '),
                 hex("0F 5A 13 13 01 FF FF FF FF FF FF FF FF 01 02 03 04 46 B9").toHex(' '));

        QTest::mouseClick(rig.find<QPushButton>("clearButton"), Qt::LeftButton);
        QCOMPARE(rig.pty.read(19).toHex(' '),
                 hex("0F 5A 13 13 02 FF FF FF FF FF FF FF FF 01 02 03 04 CC 33").toHex(' '));
        QVERIFY(rig.litKeys().isEmpty());

        // Refused presses send nothing and leave the box as it was.
        rig.maker()->setText(QStringLiteral("83h 41h"));
        QTest::mouseClick(rig.button(1), Qt::LeftButton);
        chosenDeviceKind = KindVinta24B;
        rig.maker()->clear();
        QTest::mouseClick(rig.button(2), Qt::LeftButton);
        QVERIFY(rig.pty.readFor(100).isEmpty());
        QVERIFY(rig.maker()->text().isEmpty());
    }

    void lampsKeepTheirStateWhileClosedAndAcrossTypes()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(70);
        rig.box("soundBox")->setChecked(true);
        QVERIFY(rig.press(5));
        QVERIFY(rig.press(70));
        rig.panel->close();
        rig.main->onPadTypeChosen(2);
        QCOMPARE(rig.litKeys(), (QList<int>{5, 70}));
        QVERIFY(!rig.lamp(5)->isVisible());
        QVERIFY(rig.box("soundBox")->isChecked());
        QCOMPARE(rig.status(), QStringLiteral("83h 41h 00h 00h"));
        rig.panel->close();
        rig.main->onPadTypeChosen(70);
        QCOMPARE(rig.litKeys(), (QList<int>{5, 70}));
        QVERIFY(rig.lamp(70)->isVisible());
    }

    void badLinesNeverCrashNorLightALamp()
    {
        Rig rig(iniPath());
        rig.main->onPadTypeChosen(70);
        const QString good =
            QStringLiteral(" 0Fh 5Ah 13h 13h 00h FFh FFh FFh FFh FFh FFh FFh FFh 83h 41h 00h 00h 05h FAh");
        const QStringList lines = {
            QString(),
            QStringLiteral(" 0Fh 5Ah 13h"),
            good.left(60),
            good.left(71),
            good.left(74),
            QString(good).replace(QStringLiteral("05h FAh"), QStringLiteral("xyh zzh")),
            QStringLiteral("受信テスト") + QString(80, u'鍵'),
            QString(good).replace(13 * 4, 12, QStringLiteral(" ﾒｰｶｰ ｺｰﾄﾞ ")),
            QString(good).replace(QStringLiteral("05h FAh"), QStringLiteral("05h 00h")) +
                QString(10000, u'h'),
        };
        for (const QString& line : lines) {
            rig.tick.advance(600);
            rig.panel->showReceivedKey(line);
        }
        QVERIFY(rig.litKeys().isEmpty());
        rig.tick.advance(600);
        rig.panel->showReceivedKey(good);
        QCOMPARE(rig.litKeys(), QList<int>{5});
        rig.panel->clearLamps();

        // Through the port: a short key report, key code 0 with its complement, codes above 70.
        QVERIFY(rig.receive(hex("0F 5A 07 13 00 FF FF")));
        QCOMPARE(rig.status(), QString());
        QVERIFY(rig.press(0));
        QVERIFY(rig.press(71));
        QCOMPARE(rig.status(), QStringLiteral("Error Key: 71"));
        QVERIFY(rig.press(0xFE));
        QCOMPARE(rig.status(), QStringLiteral("Error Key: 254"));
        QVERIFY(rig.litKeys().isEmpty());
    }
};

QTEST_MAIN(KeyPanelTest)
#include "tst_keypanel.moc"
