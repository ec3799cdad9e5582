// The link statistics' counting, fed with blocks and ticks, without a window.
#include "LinkStats.h"
#include "TestSupport.h"

#include <QTest>

namespace {
const LinkRow* transmitter(const LinkStats& s, uint32_t id)
{
    for (const LinkRow& r : s.rows())
        if (r.kind == LinkRow::Kind::Transmitter &&
            r.id == LinkRow::DeviceId{uint8_t(id >> 24), uint8_t(id >> 16), uint8_t(id >> 8), uint8_t(id)})
            return &r;
    return nullptr;
}

const LinkRow* summary(const LinkStats& s, LinkRow::Kind kind, uint8_t command = 0)
{
    for (const LinkRow& r : s.rows())
        if (r.kind == kind && (kind == LinkRow::Kind::NotAFrame || r.command == command))
            return &r;
    return nullptr;
}
} // namespace

class LinkCountTest : public QObject {
    Q_OBJECT

private slots:
    // Reports are written "A0 B10 …": transmitter letter, then its sequence number. Each
    // transmitter's result reads "frames/lost/duplicates/restarts".
    void sequenceNumbers_data()
    {
        QTest::addColumn<QString>("reports");
        QTest::addColumn<QString>("expected");
        QTest::newRow("in order") << "A0 A1 A2 A3"
                                  << "A 4/0/0/0";
        QTest::newRow("a gap of 3") << "A5 A6 A10"
                                    << "A 3/3/0/0";
        QTest::newRow("wrap from 255 to 0") << "A254 A255 A0 A1"
                                            << "A 4/0/0/0";
        QTest::newRow("a gap across the wrap") << "A254 A1"
                                               << "A 2/2/0/0";
        QTest::newRow("a duplicate") << "A7 A7 A8"
                                     << "A 3/0/1/0";
        QTest::newRow("a restart from 0 after a reset") << "A55 A56 A0 A1"
                                                        << "A 4/0/0/1";
        QTest::newRow("128 ahead is a gap") << "A0 A128"
                                            << "A 2/127/0/0";
        QTest::newRow("129 ahead is a restart") << "A0 A129"
                                                << "A 2/0/0/1";
        QTest::newRow("interleaved transmitters") << "A0 B10 A1 B12 A2 B13"
                                                  << "A 3/0/0/0 B 3/1/0/0";
    }
    void sequenceNumbers()
    {
        QFETCH(QString, reports);
        QFETCH(QString, expected);
        LinkStats s;
        for (const QString& r : reports.split(u' ')) {
            const uint32_t id = 0x10203000u + uint32_t(r[0].unicode());
            s.count(asBlock(transmitterReport(id, uint8_t(r.mid(1).toInt()))), 0);
        }
        QStringList got;
        for (const char letter : {'A', 'B'}) {
            if (const LinkRow* t = transmitter(s, 0x10203000u + uint32_t(letter)))
                got << QStringLiteral("%1 %2/%3/%4/%5")
                           .arg(QLatin1Char(letter))
                           .arg(t->frames)
                           .arg(t->lost)
                           .arg(t->duplicates)
                           .arg(t->restarts);
        }
        QCOMPARE(got.join(u' '), expected);
        QCOMPARE(s.rows().size(), size_t(got.size()));
    }

    void lossIsTheShareOfTransmissionsThatNeverArrived()
    {
        LinkStats s;
        for (const uint8_t seq : {0, 1, 1, 5}) // 3 transmissions arrived (one twice), 3 lost
            s.count(asBlock(transmitterReport(1, seq)), 0);
        QCOMPARE(transmitter(s, 1)->lossPercent(), 50.0);
        QCOMPARE(LinkRow{}.lossPercent(), 0.0);
    }

    // A report counts as far as it reaches: without the whole device ID it names no transmitter
    // and is summed under its command byte; without byte 17 it leaves the last key alone. Only a
    // block that starts 0F 5A is a frame.
    void shortReportsAndOtherBlocks()
    {
        LinkStats s;
        const QByteArray full = transmitterReport(7, 1, 0x05);
        s.count(asBlock(full), 0);
        s.count(asBlock(full).first(17), 0); // sequence 1 again: a duplicate
        s.count(asBlock(full).first(12), 0);
        const LinkRow* t = transmitter(s, 7);
        QVERIFY(t);
        QCOMPARE(t->frames, uint64_t(2));
        QCOMPARE(t->bytes, uint64_t(19 + 17));
        QCOMPARE(t->duplicates, uint64_t(1));
        QCOMPARE(t->lastKey, 0x05);
        const LinkRow* cut = summary(s, LinkRow::Kind::Command, 0x13);
        QVERIFY(cut);
        QCOMPARE(cut->frames, uint64_t(1));
        QCOMPARE(cut->bytes, uint64_t(12));

        const QByteArray answer = hex("0F 5A 0F 2A 05 4D 53 00 01 FF FF FF FF 2A 00");
        s.count(asBlock(answer), 0);
        s.count(asBlock(answer), 0);
        s.count(asBlock("OK\r\n"), 0);
        s.count(asBlock(answer).first(3), 0);       // no command byte yet
        s.count(asBlock("AT\r\x13 noise 0123"), 0); // 13h where a frame has its command byte
        const LinkRow* rf = summary(s, LinkRow::Kind::Command, 0x2A);
        QVERIFY(rf);
        QCOMPARE(rf->frames, uint64_t(2));
        QCOMPARE(rf->bytes, uint64_t(30));
        const LinkRow* other = summary(s, LinkRow::Kind::NotAFrame);
        QVERIFY(other);
        QCOMPARE(other->frames, uint64_t(3));
        QCOMPARE(other->bytes, uint64_t(7 + 15));
        QCOMPARE(s.rows().size(), size_t(4));
        QCOMPARE(s.transmitterCount(), size_t(1));

        s.clear();
        QVERIFY(s.rows().empty());
        QCOMPARE(s.transmitterCount(), size_t(0));
    }

    void beyondAThousandTransmittersTheLeastRecentlyHeardMakesRoom()
    {
        LinkStats s;
        uint32_t tick = 0;
        for (uint32_t id = 1; id <= LinkStats::kMaxTransmitters; ++id)
            s.count(asBlock(transmitterReport(id, 0)), tick++);
        s.count(asBlock(transmitterReport(1, 1)),
                tick++); // transmitter 1 is heard again: 2 is now the oldest
        s.count(asBlock("x"), tick++);
        const size_t rowOf2 = size_t(transmitter(s, 2) - s.rows().data());
        s.count(asBlock(transmitterReport(5000, 0)), tick++);
        QCOMPARE(s.transmitterCount(), LinkStats::kMaxTransmitters);
        QCOMPARE(s.rows().size(), LinkStats::kMaxTransmitters + 1);
        QVERIFY(!transmitter(s, 2));
        QVERIFY(transmitter(s, 1));
        QVERIFY(transmitter(s, 3));
        // The newcomer takes over the row, with counts of its own.
        const LinkRow* newcomer = transmitter(s, 5000);
        QCOMPARE(size_t(newcomer - s.rows().data()), rowOf2);
        QCOMPARE(newcomer->frames, uint64_t(1));
        s.count(asBlock(transmitterReport(6000, 0)), tick++);
        QVERIFY(!transmitter(s, 3));
    }

    void reportsPerSecondAndSilenceAcrossTheTickWrap()
    {
        LinkStats s;
        const uint32_t start = 0xFFFFFFFFu - 4'000; // the tick wraps 4 s into the stream
        double worst = 0; // the rate's largest distance from 10/s once the window is full
        for (uint32_t ms = 0; ms < 20'000; ms += 100) {
            s.count(asBlock(transmitterReport(1, uint8_t(ms / 100))), start + ms);
            if (ms >= 10'000)
                worst = std::max(worst, qAbs(transmitter(s, 1)->rate.perSecond(s.nowMs()) - 10.0));
        }
        // Whole-second buckets are right to within a report or two of the hundred in the window.
        QVERIFY2(worst <= 0.2, qPrintable(QString::number(worst)));
        const LinkRow* t = transmitter(s, 1);
        QCOMPARE(t->lost, uint64_t(0));
        s.advance(start + 19'900 + 5'000);
        QCOMPARE(s.nowMs() - t->lastHeardMs, int64_t(5'000));
        QVERIFY(qAbs(t->rate.perSecond(s.nowMs()) - 5.0) <= 0.2);
        s.advance(start + 19'900 + 11'000);
        QCOMPARE(t->rate.perSecond(s.nowMs()), 0.0);
    }

    // Reports of one transmitter are written "ms:sequence"; the history, read at `readAtMs`, lists
    // its non-empty seconds as "age:reports/lost", the oldest first.
    void historyKeepsFiveMinutesAndMarksLossesWhereFound_data()
    {
        QTest::addColumn<QString>("reports");
        QTest::addColumn<int>("readAtMs");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two a second") << "0:0 500:1 1000:2 1500:3" << 1999 << "1:2/0 0:2/0";
        QTest::newRow("a gap shows at the report after it") << "0:0 1500:5" << 1999 << "1:1/0 0:1/4";
        QTest::newRow("a restart is no loss") << "0:10 200:0" << 200 << "0:2/0";
        QTest::newRow("the oldest second kept") << "0:0" << 299'999 << "299:1/0";
        QTest::newRow("five minutes old is gone") << "0:0" << 300'000 << "";
        QTest::newRow("a long silence empties the ring") << "0:0 1000:1 400000:2" << 400'000 << "0:1/0";
        QTest::newRow("a silence shorter than the ring keeps the old seconds")
            << "0:0 299000:1" << 299'500 << "299:1/0 0:1/0";
    }
    void historyKeepsFiveMinutesAndMarksLossesWhereFound()
    {
        QFETCH(QString, reports);
        QFETCH(int, readAtMs);
        QFETCH(QString, expected);
        LinkStats s;
        for (const QString& r : reports.split(u' '))
            s.count(asBlock(transmitterReport(1, uint8_t(r.section(u':', 1).toInt()))),
                    r.section(u':', 0, 0).toUInt());
        s.advance(uint32_t(readAtMs));
        const RateHistory::Seconds seconds = transmitter(s, 1)->rate.seconds(s.nowMs());
        QStringList found;
        for (int i = 0; i < RateHistory::kSeconds; ++i)
            if (seconds[size_t(i)].reports || seconds[size_t(i)].lost)
                found << QStringLiteral("%1:%2/%3")
                             .arg(RateHistory::kSeconds - 1 - i)
                             .arg(seconds[size_t(i)].reports)
                             .arg(seconds[size_t(i)].lost);
        QCOMPARE(found.join(u' '), expected);
    }
};

QTEST_APPLESS_MAIN(LinkCountTest)
#include "tst_linkcount.moc"
