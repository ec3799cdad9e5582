// Frame building without a port: hexadecimal texts, key reports, the send line's byte rules and
// the device set-up payloads.
#include "CodePage.h"
#include "CommSettings.h"
#include "DeviceSetup.h"
#include "ModuleFrame.h"
#include "SendLine.h"
#include "TestSupport.h"

#include <QTest>

class ProtocolTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        rfChannel = 33;
        rfPower = 3;
        rfRateCode = 7;
    }

    void hexValueReadsOneToEightDigits()
    {
        QCOMPARE(hexValue(u"1FF").value(), 0x1FFu);
        QCOMPARE(hexValue(u"ab").value(), 0xABu);
        QCOMPARE(hexValue(u"FFFFFFFF").value(), 0xFFFFFFFFu);
        QVERIFY(!hexValue(u"").has_value());
        QVERIFY(!hexValue(u"zz").has_value());
        QVERIFY(!hexValue(u"1 ").has_value());
        QVERIFY(!hexValue(u"-1").has_value());
        QVERIFY(!hexValue(u"123456789").has_value());
    }

    void hexPairsAreReadUntilAPairIsNoNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("badPair");
        QTest::newRow("spaced") << "FF FF FF FF" << hex("FFFFFFFF") << "";
        QTest::newRow("packed") << "FFFFFFFF" << hex("FFFFFFFF") << "";
        QTest::newRow("lower case") << "0a 1b" << hex("0A1B") << "";
        QTest::newRow("lone last character ignored") << "12 3" << hex("12") << "";
        QTest::newRow("0A 1") << "0A 1" << hex("0A") << "";
        QTest::newRow("single digit in the middle") << "1 2" << QByteArray() << "0x1 ";
        QTest::newRow("0A 1 2") << "0A 1 2" << hex("0A") << "0x1 ";
        QTest::newRow("empty") << "" << QByteArray() << "";
        QTest::newRow("spaces only") << "    " << QByteArray() << "";
        QTest::newRow("trailing space of a copied ID") << "12 34 56 78 " << hex("12345678") << "";
        QTest::newRow("Japanese") << "あい" << QByteArray() << "0xあい";
        QTest::newRow("tab is no separator") << "12\t34" << hex("12") << "0x\t3";
    }
    void hexPairsAreReadUntilAPairIsNoNumber()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, badPair);
        const HexPairs p = parseHexPairs(text);
        QCOMPARE(p.badPair, badPair);
        if (badPair.isEmpty())
            QCOMPARE(p.bytes, bytes);
    }

    void keyReportPayloads()
    {
        QCOMPARE(keyReportPayload(u"83h 41h 00h 00h", 5).value(),
                 (std::array<uint8_t, 6>{0x83, 0x41, 0x00, 0x00, 0x05, 0xFA}));
        QCOMPARE(keyReportPayload(u"83h 41h 00h 0Gh", 70).value(),
                 (std::array<uint8_t, 6>{0x83, 0x41, 0x00, 0xFF, 0x46, 0xB9}));
        QCOMPARE(keyReportPayload(u"83xx41xx00xx00x", 204).value(),
                 (std::array<uint8_t, 6>{0x83, 0x41, 0x00, 0x00, 0xCC, 0x33}));
        QVERIFY(!keyReportPayload(u"83h 41h 00h 00", 1).has_value()); // 14 characters
    }

    void headerBytes()
    {
        QCOMPARE(sendHeaderBytes(QStringLiteral("SOH")), hex("01"));
        QCOMPARE(sendHeaderBytes(QStringLiteral("STX")), hex("02"));
        QCOMPARE(sendHeaderBytes(QStringLiteral("無し")), QByteArray());
        QCOMPARE(sendHeaderBytes(QStringLiteral("stx")), QByteArray());
    }

    void delimiterBytes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ETX") << "ETX" << hex("03");
        QTest::newRow("CR") << "CR" << hex("0D");
        QTest::newRow("LF") << "LF" << hex("0A");
        QTest::newRow("CRLF") << "CRLF" << hex("0D0A");
        QTest::newRow("ACK") << "ACK" << hex("06");
        QTest::newRow("NAK") << "NAK" << hex("15");
        QTest::newRow("0x1A") << "0x1A" << hex("1A");
        QTest::newRow("0x1FF") << "0x1FF" << hex("FF");
        QTest::newRow("0x") << "0x" << hex("00");
        QTest::newRow("0xZZ") << "0xZZ" << hex("00");
        QTest::newRow("0X1A") << "0X1A" << QByteArray();
        QTest::newRow("cr") << "cr" << QByteArray();
        QTest::newRow("abc") << "abc" << QByteArray();
        QTest::newRow("none") << "無し" << QByteArray();
    }
    void delimiterBytes()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QCOMPARE(sendDelimiterBytes(name), bytes);
    }

    void textLinesTravelInTheCodePage()
    {
        QCOMPARE(textLineBytes(QStringLiteral("ABC"), QStringLiteral("STX"), QStringLiteral("ETX")),
                 hex("02 41 42 43 03"));
        QCOMPARE(textLineBytes(QStringLiteral("無し"), QStringLiteral("無し"), QStringLiteral("CRLF")),
                 hex("96 B3 82 B5 0D 0A"));
        QCOMPARE(textLineBytes(QStringLiteral("a\x7F"
                                              "b"),
                               QStringLiteral("無し"), QStringLiteral("無し")),
                 hex("61 7F 62"));
        // Characters the code page lacks go out as "?", one for each.
        QCOMPARE(textLineBytes(QStringLiteral("é€😀x"), QStringLiteral("無し"), QStringLiteral("無し")),
                 QByteArray("???x"));
    }

    void everyByteComesBackFromTheCodePage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("control codes")
            << hex("00 1A 1C 1F 7F") << QString::fromUtf16(u"\0\x1A\x1C\x1F\x7F", 5);
        QTest::newRow("bytes without a character")
            << hex("80 A0 FD FE FF") << QStringLiteral("\u0080\uF8F0\uF8F1\uF8F2\uF8F3");
        QTest::newRow("half-width katakana") << hex("A1 B1 DF") << QStringLiteral("｡ｱﾟ");
        QTest::newRow("pairs") << hex("93 FA 81 40 81 5F FA 40 FC 4B") << QStringLiteral("日　＼ⅰ黑");
        QTest::newRow("lead byte before a control code") << hex("82 0D") << QStringLiteral("\uF782\r");
        QTest::newRow("lead byte before a space") << hex("E0 20") << QStringLiteral("\uF7E0 ");
        QTest::newRow("lead byte at the end") << hex("41 FC") << QStringLiteral("A\uF7FC");
        QTest::newRow("pair without a character")
            << hex("85 40 EF FC") << QStringLiteral("\uF785@\uF7EF\uF7FC");
    }
    void everyByteComesBackFromTheCodePage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(fromCodePage(bytes), text);
        QCOMPARE(toCodePage(text), bytes);
    }

    void everySingleByteComesBackFromTheCodePage()
    {
        for (int b = 0; b < 256; ++b) {
            const QByteArray one(1, char(b));
            QCOMPARE(fromCodePage(one).size(), 1);
            QCOMPARE(toCodePage(fromCodePage(one)), one);
        }
    }

    void deviceKindsBringTheRadioSettingsInRange()
    {
        rfChannel = 10;
        rfPower = 7;
        DeviceLists l = applyDeviceKind(KindVintaC);
        QCOMPARE(rfChannel, 33);
        QCOMPARE(rfPower, 3);
        QCOMPARE(l.channels.size(), 15);
        QCOMPARE(l.channels.first(), QStringLiteral("24ch"));
        QCOMPARE(l.powers, QStringList({"0pw", "1pw", "2pw", "3pw"}));
        QCOMPARE(l.channelIndex, 9);
        QCOMPARE(l.powerIndex, 3);
        QVERIFY(l.showRates);

        rfChannel = 39; // only an edited file holds this, or a negative power
        rfPower = -1;
        l = applyDeviceKind(KindVintaC);
        QCOMPARE(rfChannel, 33);
        QCOMPARE(rfPower, 0);
        QCOMPARE(l.powerIndex, 0);
        rfChannel = 38;
        QCOMPARE(applyDeviceKind(KindVintaC).channelIndex, 14);

        l = applyDeviceKind(KindVinta24B);
        QCOMPARE(rfChannel, 0);
        QCOMPARE(rfPower, 15);
        QCOMPARE(l.channels.size(), 16);
        QCOMPARE(l.powers.last(), QStringLiteral("15pw"));
        QCOMPARE(l.powerIndex, 15);
        QVERIFY(!l.showRates);
    }

    void setUpPayloads()
    {
        rfChannel = 33;
        rfPower = 3;
        rfRateCode = 7;
        const QByteArray c = hex("03 21 07 05 01 01 04 05 00 FF FF FF FF FF FF FF FF FF FF 00 00 00 00");
        QCOMPARE(rfConfigPayload(KindVintaC), c);
        QCOMPARE(rfInitPayload(KindVintaC), c);
        rfPower = 9;
        QCOMPARE(rfConfigPayload(KindVintaC)[0], char(3));
        rfPower = -1;
        QCOMPARE(rfConfigPayload(KindVintaC)[0], char(0));
        QCOMPARE(rfInitPayload(KindVintaC)[0], char(0));
        rfChannel = 5;
        rfPower = 15;
        QCOMPARE(rfConfigPayload(KindVinta24A),
                 hex("05 0F 01 08 08 01 04 0A 05 03 05 FF FF 00 00 00 01 51 00 00 83 41"));
        QCOMPARE(rfInitPayload(KindVinta24A),
                 hex("05 0F 01 08 08 01 04 0A 05 03 05 00 FF FF 00 00 00 01 51 00 00 00 00"));
        QCOMPARE(rfInitPayload(KindVinta24B), hex("05 0F 1E 01 00 04 00 0A 1E"));
        QCOMPARE(channelForItem(KindVinta24A, 5), 5);
        QCOMPARE(channelForItem(KindVintaC, 9), 33);
    }

    void remoteRFchFrames()
    {
        const std::array<uint8_t, 4> id{0x12, 0x34, 0x56, 0x78};
        QCOMPARE(remoteChannelFrame(KindVintaC, 6, 2, 10, id, 0x42),
                 hex("0F 5A 11 17 42 12 34 56 78 FF FF FF FF 21 02 1E 0A"));
        QCOMPARE(remoteChannelFrame(KindVinta24A, 6, 2, 10, id, 0).size(), 21);
        QCOMPARE(remoteChannelFrame(KindVinta24B, 6, 2, 10, id, 0),
                 hex("0F 5A 0E 20 00 12 34 56 78 FF FF FF FF 06"));
        QVERIFY(remoteChannelFrame(7, 6, 2, 10, id, 0).isEmpty());
    }
};

QTEST_GUILESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
