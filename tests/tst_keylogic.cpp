// The key panel's arithmetic without a window: key layouts, key-line fields, the repeat rule.
#include "KeyDecode.h"
#include "KeyLayout.h"

#include <QTest>

namespace {
// A key line as the monitor renders a key report in hexadecimal.
QString keyLine(uint8_t key, uint8_t check, std::array<uint8_t, 4> maker = {0x83, 0x41, 0x00, 0x00},
                uint8_t seq = 7)
{
    QList<uint8_t> bytes = {0x0F, 0x5A, 0x13, 0x13, seq, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    bytes << maker[0] << maker[1] << maker[2] << maker[3] << key << check;
    QString line;
    for (const uint8_t b : bytes)
        line += QStringLiteral(" %1h").arg(QString::number(b, 16).toUpper().rightJustified(2, u'0'));
    return line;
}
} // namespace

class KeyLogicTest : public QObject {
    Q_OBJECT

private slots:
    void everyTransmitterTypeHasItsGridAndWindowSize_data()
    {
        QTest::addColumn<int>("keys");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("keyArea");
        QTest::addColumn<QSize>("client");
        QTest::newRow("Pad02") << 2 << 1 << 136 << 102 << QSize(336, 185);
        QTest::newRow("Pad04") << 4 << 1 << 136 << 172 << QSize(336, 255);
        QTest::newRow("Pad08") << 8 << 2 << 136 << 172 << QSize(400, 255);
        QTest::newRow("Pad18") << 18 << 3 << 72 << 242 << QSize(336, 325);
        QTest::newRow("Pad27") << 27 << 3 << 72 << 347 << QSize(336, 430);
        QTest::newRow("Pad32") << 32 << 4 << 40 << 312 << QSize(336, 395);
        QTest::newRow("Pad48") << 48 << 4 << 40 << 452 << QSize(336, 535);
        QTest::newRow("Pad70") << 70 << 5 << 8 << 522 << QSize(336, 605);
    }
    void everyTransmitterTypeHasItsGridAndWindowSize()
    {
        QFETCH(int, keys);
        QFETCH(int, columns);
        QFETCH(int, left);
        QFETCH(int, keyArea);
        QFETCH(QSize, client);
        const KeyGrid g = layoutKeyGrid(keys);
        QCOMPARE(g.columns, columns);
        QCOMPARE(g.left, left);
        QCOMPARE(g.keyAreaHeight, keyArea);
        QCOMPARE(g.client, client);
        QCOMPARE(int(g.keys.size()), keys);
        // Every key lies inside the key area with the margin on both sides.
        for (const QPoint& p : g.keys) {
            QVERIFY(p.x() >= left && p.x() + 60 + left <= client.width());
            QVERIFY(p.y() >= 20 && p.y() + 25 + 22 <= keyArea);
        }
        QCOMPARE(g.keys.front(), QPoint(left, 20));
    }

    void keysRunRowByRowFromTheTopLeft()
    {
        const KeyGrid pad27 = layoutKeyGrid(27);
        QCOMPARE(pad27.keys[0], QPoint(72, 20));
        QCOMPARE(pad27.keys[1], QPoint(136, 20));
        QCOMPARE(pad27.keys[2], QPoint(200, 20));
        QCOMPARE(pad27.keys[3], QPoint(72, 55));
        QCOMPARE(pad27.keys[24], QPoint(72, 300));
        QCOMPARE(pad27.keys[26], QPoint(200, 300));

        const KeyGrid pad70 = layoutKeyGrid(70);
        QCOMPARE(pad70.keys[4], QPoint(264, 20));
        QCOMPARE(pad70.keys[69], QPoint(264, 475));

        const KeyGrid pad08 = layoutKeyGrid(8);
        QCOMPARE(pad08.keys[1], QPoint(200, 20));
        QCOMPARE(pad08.keys[7], QPoint(200, 125));

        // The grid follows the button size it is given.
        const KeyGrid wide = layoutKeyGrid(2, 80, 30);
        QCOMPARE(wide.keys[1], QPoint(176, 60));
        QCOMPARE(wide.client, QSize(84 + 2 * 176, 2 * 40 + 32 + 64 + 19));
    }

    void unlistedKeyCountsStayWithinThePanel()
    {
        QCOMPARE(layoutKeyGrid(0).keys.size(), size_t(0));
        QCOMPARE(layoutKeyGrid(0).client, QSize(336, 32 + 64 + 19));
        QCOMPARE(layoutKeyGrid(-3).keys.size(), size_t(0));
        QCOMPARE(layoutKeyGrid(500).keys.size(), size_t(70));
        // An odd count still gets room for its last, partial row.
        const KeyGrid five = layoutKeyGrid(5);
        QVERIFY(five.keys[4].y() + 25 <= five.keyAreaHeight);
    }

    void keyLineFieldsComeFromTheirCharacterPositions()
    {
        const KeyLine k = decodeKeyLine(keyLine(0x05, 0xFA));
        QCOMPARE(k.payload, QStringLiteral("83h 41h 00h 00h 05h FAh"));
        QCOMPARE(k.makerCode, QStringLiteral("83h 41h 00h 00h"));
        QCOMPARE(k.keyCode, 5);
        QCOMPARE(k.checkByte, 0xFA);

        // The sequence number and the IDs are not part of the payload.
        QCOMPARE(decodeKeyLine(keyLine(0x05, 0xFA, {0x83, 0x41, 0, 0}, 99)).payload, k.payload);
        // Lower-case digits convert as well; anything else reads as 0.
        QCOMPARE(
            decodeKeyLine(QString(keyLine(0xFC, 0x03)).replace(QStringLiteral("FCh"), QStringLiteral("fch")))
                .keyCode,
            0xFC);
        QString notHex = keyLine(0x05, 0xFA);
        notHex.replace(69, 2, QStringLiteral("G5"));
        notHex.replace(73, 2, QStringLiteral("-1"));
        QCOMPARE(decodeKeyLine(notHex).keyCode, 0);
        QCOMPARE(decodeKeyLine(notHex).checkByte, 0);
    }

    void shortLinesGiveShortFieldsAndNoKey()
    {
        const QString full = keyLine(0x03, 0xFC);
        const KeyLine whole = decodeKeyLine(full);
        for (qsizetype length = 0; length <= full.size(); ++length) {
            const KeyLine k = decodeKeyLine(QStringView(full).left(length));
            QVERIFY(whole.payload.startsWith(k.payload));
            QCOMPARE(k.payload.size(), std::clamp<qsizetype>(length - 53, 0, 23));
            QCOMPARE(k.makerCode, k.payload.left(15));
            // Without both digits of the check byte the complement test cannot pass.
            if (length < 75)
                QCOMPARE(classifyKey(k.keyCode, k.checkByte, 70), KeyAction::None);
        }
        // A longer line still reads the same positions.
        QCOMPARE(decodeKeyLine(full + QStringLiteral(" 00h")).keyCode, 3);
        // A line that stops after the key's first digit reads that one digit.
        QCOMPARE(decodeKeyLine(QStringView(keyLine(0x31, 0xCE)).left(70)).keyCode, 3);
    }

    void keyCodesAreSortedIntoActions_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("check");
        QTest::addColumn<int>("keyCount");
        QTest::addColumn<KeyAction>("action");
        QTest::newRow("clear ignores the check byte") << 0xCC << 0x00 << 70 << KeyAction::Clear;
        QTest::newRow("colour reset ignores the check byte") << 0xFF << 0x12 << 2 << KeyAction::ColourReset;
        QTest::newRow("key 5 on a four-key type") << 5 << 0xFA << 4 << KeyAction::ErrorKey;
        QTest::newRow("error whatever the check byte") << 71 << 0x00 << 70 << KeyAction::ErrorKey;
        QTest::newRow("key 3 with its complement") << 3 << 0xFC << 4 << KeyAction::Toggle;
        QTest::newRow("key 3 with a wrong check") << 3 << 0x00 << 4 << KeyAction::None;
        QTest::newRow("last key of the type") << 70 << 0xB9 << 70 << KeyAction::Toggle;
        QTest::newRow("key code 0 has no lamp") << 0 << 0xFF << 70 << KeyAction::None;
    }
    void keyCodesAreSortedIntoActions()
    {
        QFETCH(int, code);
        QFETCH(int, check);
        QFETCH(int, keyCount);
        QFETCH(KeyAction, action);
        QCOMPARE(classifyKey(code, check, keyCount), action);
    }

    void secondIdenticalReportWithin500msIsIgnored()
    {
        RepeatFilter f;
        const QString a = QStringLiteral("83h 41h 00h 00h 01h FEh");
        const QString b = QStringLiteral("83h 41h 00h 00h 02h FDh");
        QVERIFY(f.admit(a, 10000));
        f.stamp(10000);
        QVERIFY(!f.admit(a, 10300));
        // The repeat moved the last time on: 600 ms after it is a new press.
        QVERIFY(f.admit(a, 10900));
        f.stamp(10900);
        // A different payload is never a repeat, and becomes the one compared.
        QVERIFY(f.admit(b, 10950));
        f.stamp(10950);
        QVERIFY(f.admit(a, 11000));
        f.stamp(11000);
        QVERIFY(!f.admit(a, 11499));
        QVERIFY(f.admit(a, 11999));
    }

    void heldKeyActsOnceAndTheTickMayWrap()
    {
        RepeatFilter f;
        const QString a = QStringLiteral("83h 41h 00h 00h 01h FEh");
        uint32_t now = 0xFFFFF000u; // the tick wraps during the stream
        int acted = 0;
        for (int i = 0; i < 50; ++i, now += 100) {
            if (f.admit(a, now))
                ++acted;
            f.stamp(now);
        }
        QCOMPARE(acted, 1);
        QVERIFY(f.admit(a, now + 500));
    }
};

QTEST_APPLESS_MAIN(KeyLogicTest)
#include "tst_keylogic.moc"
