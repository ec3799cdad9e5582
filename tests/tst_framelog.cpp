// The frame log without a window: decoding of every frame the program builds, the store past its
// limit, the filter and the CSV files.
#include "CommSettings.h"
#include "DeviceSetup.h"
#include "FrameCsv.h"
#include "FrameFilter.h"
#include "FrameLog.h"
#include "FrameText.h"
#include "ModuleFrame.h"
#include "TestSupport.h"

#include <QTest>

namespace {
QByteArray frameOf(uint8_t command, const QByteArray& payload, uint8_t sequence = 0)
{
    return moduleHeader(command, int(payload.size()), sequence) + payload;
}

QByteArray keyReport(int key, const QString& maker = kDefaultMakerCode)
{
    const auto p = keyReportPayload(maker, key).value();
    return frameOf(CmdKeyReport, QByteArray(reinterpret_cast<const char*>(p.data()), 6));
}

QByteArray withByte(QByteArray bytes, int at, uint8_t value)
{
    bytes[at] = char(value);
    return bytes;
}

std::string cell(const FrameLog& log, uint64_t position, FrameColumn column)
{
    std::string out;
    const FrameRecord& r = log.record(position);
    appendCell(out, r, log.bytes(r), column);
    return out;
}

// What the filter tests use: a sent key report, reports of two transmitters, a sent text line,
// received text, an RF parameter block and a key report with a bad complement.
void fillSample(FrameLog& log)
{
    log.recordSentFrame(asBlock(keyReport(5)), 1000);
    log.recordReceived(asBlock(transmitterReport(0x12345678, 0xFF, 3)), 1001);
    log.recordReceived(asBlock(transmitterReport(0x9ABCDEF0, 0x00, 4)), 1002);
    log.recordSentText(asBlock(QByteArray("\x02hello\x03")), 1003);
    log.recordReceived(asBlock(QByteArray("OK\r\n")), 1004);
    log.recordSentFrame(asBlock(frameOf(CmdRfParameters, rfConfigPayload(KindVintaC))), 1005);
    log.recordReceived(asBlock(withByte(transmitterReport(0x12345699, 1, 7), 18, 0x00)), 1006);
}

QList<uint64_t> numbersShown(const FrameLog& log, const FrameFilter& filter)
{
    FrameIndex index(log);
    index.setFilter(filter);
    QList<uint64_t> numbers;
    for (size_t row = 0; row < index.size(); ++row)
        numbers << log.record(index.position(row)).number;
    return numbers;
}
} // namespace

class FrameLogTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        rfChannel = 33;
        rfPower = 3;
        rfRateCode = kRate100k;
    }

    void everyBlockIsTakenApartAndDecoded_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("decoded");
        const std::array<uint8_t, 4> id{0x12, 0x34, 0x56, 0x78};
        QTest::newRow("key 5") << keyReport(5) << "13h key report"
                               << "maker 83 41 00 00  key 5  complement ok";
        QTest::newRow("key 70, another maker")
            << keyReport(70, QStringLiteral("12h 34h 56h 78h")) << "13h key report"
            << "maker 12 34 56 78  key 70  complement ok";
        QTest::newRow("Clear") << keyReport(0xCC) << "13h key report"
                               << "maker 83 41 00 00  key Clear  complement ok";
        QTest::newRow("bad complement") << withByte(keyReport(5), 18, 0xFB) << "13h key report"
                                        << "maker 83 41 00 00  key 5  complement BAD";
        QTest::newRow("key report one byte short")
            << frameOf(CmdKeyReport, QByteArray::fromHex("8341000005")) << "13h key report"
            << "";
        QTest::newRow("RF parameters, 920 MHz")
            << frameOf(CmdRfParameters, rfConfigPayload(KindVintaC)) << "2Ah RF parameter block"
            << "ch 33  power 3  rate 100k";
        QTest::newRow("initialisation, 920 MHz")
            << frameOf(CmdInit, rfInitPayload(KindVintaC)) << "7Eh initialisation"
            << "ch 33  power 3  rate 100k";
        QTest::newRow("To RFch, 920 MHz")
            << remoteChannelFrame(KindVintaC, 6, 2, kRate500k, id, 9) << "17h RF set-up to another device"
            << "ch 30  power 2  rate 500k";
        QTest::newRow("To RFch, kind 0")
            << remoteChannelFrame(KindVinta24A, 6, 2, kRate500k, id, 9) << "17h RF set-up to another device"
            << "ch 6";
        QTest::newRow("To RFch, kind 1")
            << remoteChannelFrame(KindVinta24B, 6, 2, kRate500k, id, 9) << "20h RF channel"
            << "ch 6";
        QTest::newRow("power, kind 1") << frameOf(CmdRfPower, QByteArray(1, 15)) << "21h RF power"
                                       << "power 15";
        // Kinds 0 and 1 put channel and power first.
        rfChannel = 0;
        rfPower = 15;
        QTest::newRow("RF parameters, kind 0")
            << frameOf(CmdRfParameters, rfConfigPayload(KindVinta24A)) << "2Ah RF parameter block"
            << "ch 0  power 15";
        QTest::newRow("initialisation, kind 0")
            << frameOf(CmdInit, rfInitPayload(KindVinta24A)) << "7Eh initialisation"
            << "ch 0  power 15";
        QTest::newRow("initialisation, kind 1")
            << frameOf(CmdInitKindB, rfInitPayload(KindVinta24B)) << "74h initialisation"
            << "ch 0  power 15";
        QTest::newRow("unknown command") << frameOf(0x55, QByteArray::fromHex("0102")) << "55h"
                                         << "";
        QTest::newRow("header only") << frameOf(0x2A, {}) << "2Ah RF parameter block"
                                     << "";
        QTest::newRow("cut frame") << keyReport(5).left(12) << "not a frame"
                                   << "";
        QTest::newRow("length byte beyond the block") << keyReport(5).left(18) << "not a frame"
                                                      << "";
        QTest::newRow("text") << QByteArray("OK\r\n") << "not a frame"
                              << "";
    }
    void everyBlockIsTakenApartAndDecoded()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, command);
        QFETCH(QString, decoded);
        FrameLog log;
        log.recordReceived(asBlock(bytes), 0);
        QCOMPARE(QString::fromStdString(cell(log, 0, FrameColumn::Command)), command);
        QCOMPARE(QString::fromStdString(cell(log, 0, FrameColumn::Decoded)), decoded);
        const bool frame = log.record(0).kind == FrameKind::Frame;
        QCOMPARE(QString::fromStdString(cell(log, 0, FrameColumn::Payload)),
                 QString::fromLatin1(bytes.mid(frame ? kFrameHeaderSize : 0).toHex(' ').toUpper()));
        QCOMPARE(cell(log, 0, FrameColumn::Source).empty(), !frame);
    }

    void theOldestDropOutPastTheLimitAndTheRestKeepTheirBytes()
    {
        FrameLog log(1000);
        FrameIndex index(log);
        index.setFilter({});
        for (int i = 0; i < 10'000; ++i) {
            log.recordReceived(asBlock(transmitterReport(uint32_t(i), uint8_t(i), uint8_t(1 + i % 70))), i);
            if (i % 700 == 0) {
                index.dropStale(index.staleCount());
                index.takeNew();
            }
        }
        QCOMPARE(log.size(), 1000u);
        QCOMPARE(log.droppedOut(), 9000u);
        QCOMPARE(log.record(log.firstPosition()).number, 9001u);
        for (uint64_t p = log.firstPosition(); p < log.endPosition(); ++p) {
            const auto i = uint32_t(log.record(p).number - 1);
            const QByteArray expected = transmitterReport(i, uint8_t(i), uint8_t(1 + i % 70));
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(log.bytes(log.record(p)).data()), 19),
                     expected);
        }
        // The sequence byte wraps from FF to 00 (entry 9000 carries 9000 mod 256 = 28h).
        QCOMPARE(cell(log, log.firstPosition() + 0xFF - 0x28, FrameColumn::Sequence), std::string("FF"));
        QCOMPARE(cell(log, log.firstPosition() + 0x100 - 0x28, FrameColumn::Sequence), std::string("00"));
        index.dropStale(index.staleCount());
        index.takeNew();
        QCOMPARE(index.size(), 1000u);
        QCOMPARE(index.position(0), log.firstPosition());
    }

    void filtersCombine_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<uint64_t>>("numbers");
        const int all = int(FrameFilter::Direction::All);
        const int sent = int(FrameFilter::Direction::Sent);
        const int received = int(FrameFilter::Direction::Received);
        QTest::newRow("nothing") << all << -1 << ""
                                 << "" << QList<uint64_t>{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("sent") << sent << -1 << ""
                              << "" << QList<uint64_t>{1, 4, 6};
        QTest::newRow("received key reports") << received << 0x13 << ""
                                              << "" << QList<uint64_t>{2, 3, 7};
        QTest::newRow("text lines") << all << 0x100 << ""
                                    << "" << QList<uint64_t>{4};
        QTest::newRow("not frames") << all << 0x200 << ""
                                    << "" << QList<uint64_t>{5};
        QTest::newRow("ID spaced") << all << -1 << "12 34 56 78"
                                   << "" << QList<uint64_t>{2};
        QTest::newRow("ID packed prefix") << all << -1 << "123456"
                                          << "" << QList<uint64_t>{2, 7};
        QTest::newRow("ID with h") << all << -1 << "12h 34h 56h 9"
                                   << "" << QList<uint64_t>{7};
        QTest::newRow("ID lower case, odd digits") << all << -1 << "9abcd"
                                                   << "" << QList<uint64_t>{3};
        QTest::newRow("source ID of the module") << received << -1 << "4D"
                                                 << "" << QList<uint64_t>{2, 3, 7};
        QTest::newRow("all-FF ID") << all << -1 << "FFFF"
                                   << "" << QList<uint64_t>{1, 6};
        QTest::newRow("ID not hexadecimal") << all << -1 << "12 zz"
                                            << "" << QList<uint64_t>{};
        QTest::newRow("ID too long") << all << -1 << "123456789"
                                     << "" << QList<uint64_t>{};
        QTest::newRow("payload hex") << all << -1 << ""
                                     << "05 fa" << QList<uint64_t>{1};
        QTest::newRow("text bytes") << all << -1 << ""
                                    << "0D 0A" << QList<uint64_t>{5};
        QTest::newRow("decoded") << all << -1 << ""
                                 << "complement bad" << QList<uint64_t>{7};
        QTest::newRow("decoded channel") << sent << -1 << ""
                                         << "ch 33" << QList<uint64_t>{6};
        QTest::newRow("all combined") << received << 0x13 << "1234"
                                      << "key 7" << QList<uint64_t>{7};
        QTest::newRow("combined, none") << sent << 0x13 << "1234"
                                        << "" << QList<uint64_t>{};
        QTest::newRow("non-ASCII text") << all << -1 << ""
                                        << "キー" << QList<uint64_t>{};
    }
    void filtersCombine()
    {
        QFETCH(int, direction);
        QFETCH(int, command);
        QFETCH(QString, id);
        QFETCH(QString, text);
        QFETCH(QList<uint64_t>, numbers);
        FrameLog log;
        fillSample(log);
        FrameFilter filter;
        filter.direction = FrameFilter::Direction(direction);
        if (command == 0x100)
            filter.command = FrameFilter::CommandChoice{FrameKind::Text, 0};
        else if (command == 0x200)
            filter.command = FrameFilter::CommandChoice{FrameKind::NotFrame, 0};
        else if (command >= 0)
            filter.command = FrameFilter::CommandChoice{FrameKind::Frame, uint8_t(command)};
        filter.id = id;
        filter.text = text;
        QCOMPARE(numbersShown(log, filter), numbers);
    }

    void savedRowsReadBackAsTheSameRows()
    {
        FrameLog log;
        fillSample(log);
        log.recordReceived(asBlock(QByteArray("a,\"quoted\"\r\n")), -1500);
        FrameIndex index(log);
        FrameFilter received;
        received.direction = FrameFilter::Direction::Received;
        index.setFilter(received);
        const QByteArray csv = framesCsv(log, index);
        FramesCsvRead read = readFramesCsv(csv);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.log.size(), index.size());
        FrameIndex readIndex(read.log);
        readIndex.setFilter({});
        QCOMPARE(framesCsv(read.log, readIndex), csv);
        QVERIFY(read.log.record(0).loaded);
        QCOMPARE(read.log.record(0).number, 2u);
        QCOMPARE(QString::fromStdString(cell(read.log, read.log.firstPosition() + 4, FrameColumn::Time)),
                 QString::fromStdString(frameTimeText(-1500)));
    }

    void aBadLineRefusesTheWholeFileWithItsNumber_data()
    {
        QTest::addColumn<QByteArray>("change");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << QByteArray("") << "line 1: the file is empty";
        QTest::newRow("other header")
            << QByteArray("No.;Time\r\n") << "line 1: not the header of a Frames file";
        QTest::newRow("columns") << QByteArray("+1,x") << "line 4: not the columns of a Frames file";
        QTest::newRow("quote") << QByteArray("+1,\"x") << "line 4: a quoted field is not closed";
        QTest::newRow("number") << QByteArray("=\n1,|\nx,") << "line 2: the number is not a number";
        QTest::newRow("time") << QByteArray("=.0000,|.9000,")
                              << "line 2: the time is not of the form yyyy/MM/dd hh:mm:ss.0mmm";
        QTest::newRow("direction") << QByteArray("=,sent,|,upward,")
                                   << "line 2: the direction is neither sent nor received";
        QTest::newRow("frame hex") << QByteArray("=,0F 5A 13 13 00|,0F 5A 13 13 0")
                                   << "line 2: the frame is not hexadecimal";
        QTest::newRow("command") << QByteArray("=13h key report|14h")
                                 << "line 2: the command does not match the frame";
    }
    void aBadLineRefusesTheWholeFileWithItsNumber()
    {
        QFETCH(QByteArray, change);
        QFETCH(QString, error);
        FrameLog log;
        log.recordSentFrame(asBlock(keyReport(5)), 0);
        log.recordSentFrame(asBlock(keyReport(6)), 0);
        FrameIndex index(log);
        index.setFilter({});
        QByteArray csv = framesCsv(log, index);
        // "=a|b" replaces the first a after the header with b; "+line" adds a line; otherwise the
        // file is `change`.
        if (change.startsWith('=')) {
            const QList<QByteArray> parts = change.mid(1).split('|');
            const qsizetype at = csv.indexOf(parts[0], csv.indexOf('\n') - 1);
            csv.replace(at, parts[0].size(), parts[1]);
        } else if (change.startsWith('+')) {
            csv.append(change.mid(1) + "\r\n");
        } else {
            csv = change;
        }
        const FramesCsvRead read = readFramesCsv(csv);
        QCOMPARE(read.error, error);
        QCOMPARE(read.log.size(), 0u);
    }
};

QTEST_GUILESS_MAIN(FrameLogTest)
#include "tst_framelog.moc"
