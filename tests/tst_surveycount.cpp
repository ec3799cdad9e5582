// The survey's counting over its 100 rows, without a window.
#include "SurveyCount.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <numeric>

namespace {
// The monitor's "Binary" rendering of a key report from transmitter `id` (the destination-ID
// field) naming `key`; maker bytes three and four and the check byte are arbitrary.
QString keyLine(uint32_t id, uint8_t key, uint8_t maker3 = 0x00, uint8_t maker4 = 0x00, int check = -1)
{
    const uint8_t bytes[19] = {0x0F,
                               0x5A,
                               0x13,
                               0x13,
                               0x01,
                               0xFF,
                               0xFF,
                               0xFF,
                               0xFF,
                               uint8_t(id >> 24),
                               uint8_t(id >> 16),
                               uint8_t(id >> 8),
                               uint8_t(id),
                               0x83,
                               0x41,
                               maker3,
                               maker4,
                               key,
                               uint8_t(check < 0 ? ~key : check)};
    QString line;
    for (const uint8_t b : bytes)
        line += QString::asprintf(" %02Xh", b);
    return line;
}

QList<int> counters(const SurveyTally& t)
{
    return {t.counters.begin(), t.counters.end()};
}

int rowsTaken(const SurveyTally& t)
{
    return int(
        std::count_if(t.rows.begin(), t.rows.end(), [](const auto& r) { return !r.deviceId.isEmpty(); }));
}
} // namespace

class SurveyCountTest : public QObject {
    Q_OBJECT

private slots:
    void linesThatAreNotCountedLeaveEverythingAlone_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("makerPrefix");
        QTest::newRow("no run") << keyLine(1, 1) << false << false;
        QTest::newRow("75 characters") << keyLine(1, 1).left(75) << true << false;
        QTest::newRow("empty") << QString() << true << false;
        QTest::newRow("other maker") << keyLine(1, 1).replace(57, 3, QStringLiteral("42h")) << true << false;
        QTest::newRow("key 0A") << keyLine(1, 0x0A) << true << true;
        QTest::newRow("key 05") << keyLine(1, 0x05) << true << true;
        QTest::newRow("key 00") << keyLine(1, 0x00) << true << true;
        QTest::newRow("key 10") << keyLine(1, 0x10) << true << true;
    }
    void linesThatAreNotCountedLeaveEverythingAlone()
    {
        QFETCH(QString, line);
        QFETCH(bool, running);
        QFETCH(bool, makerPrefix);
        for (const bool keyChange : {false, true}) {
            SurveyTally t;
            const KeyLineOutcome o = countKeyLine(t, line, running, keyChange);
            QCOMPARE(o.makerPrefix, makerPrefix);
            QVERIFY(!o.refresh);
            QCOMPARE(o.row, -1);
            QCOMPARE(rowsTaken(t), 0);
            QCOMPARE(counters(t), QList<int>({0, 0, 0, 0}));
        }
    }

    // Reports as (transmitter, key); the totals and the rows' keys afterwards.
    void transmittersCountOnceUnderTheirFirstOrLastKey_data()
    {
        using Reports = QList<std::pair<uint32_t, uint8_t>>;
        QTest::addColumn<Reports>("reports");
        QTest::addColumn<bool>("keyChange");
        QTest::addColumn<QList<int>>("totals");
        QTest::addColumn<QStringList>("rowKeys");
        const Reports change{{0xA0000001, 1}, {0xA0000001, 3}};
        QTest::newRow("01 then 03") << change << false << QList<int>{1, 0, 0, 0} << QStringList{"01"};
        QTest::newRow("01 then 03, key change")
            << change << true << QList<int>{0, 0, 1, 0} << QStringList{"03"};
        Reports repeats(10, {0xBEEF, 2});
        repeats.append({0xCAFE, 4});
        QTest::newRow("repeats") << repeats << false << QList<int>{0, 1, 0, 1} << QStringList{"02", "04"};
        QTest::newRow("repeats, key change")
            << repeats << true << QList<int>{0, 1, 0, 1} << QStringList{"02", "04"};
        const Reports moves{{1, 1}, {2, 1}, {1, 2}, {2, 4}, {1, 1}};
        QTest::newRow("moves, key change")
            << moves << true << QList<int>{1, 0, 0, 1} << QStringList{"01", "04"};
    }
    void transmittersCountOnceUnderTheirFirstOrLastKey()
    {
        using Reports = QList<std::pair<uint32_t, uint8_t>>;
        QFETCH(Reports, reports);
        QFETCH(bool, keyChange);
        QFETCH(QList<int>, totals);
        QFETCH(QStringList, rowKeys);
        SurveyTally t;
        for (const auto& [id, key] : reports)
            QVERIFY(countKeyLine(t, keyLine(id, key), true, keyChange).refresh);
        QCOMPARE(counters(t), totals);
        QCOMPARE(rowsTaken(t), rowKeys.size());
        for (int i = 0; i < rowKeys.size(); ++i)
            QCOMPARE(t.rows[size_t(i)].keyText, rowKeys[i]);
        QCOMPARE(t.rows[0].deviceId,
                 QString::asprintf("%02Xh %02Xh %02Xh %02Xh", reports[0].first >> 24,
                                   (reports[0].first >> 16) & 0xFF, (reports[0].first >> 8) & 0xFF,
                                   reports[0].first & 0xFF));
    }

    void makerBytesThreeAndFourAndTheCheckByteAreNotRead()
    {
        SurveyTally t;
        (void)countKeyLine(t, keyLine(1, 1, 0xFF, 0xEE, 0x01), true, false);
        (void)countKeyLine(t, keyLine(2, 4, 0x12, 0x34, 0x00), true, false);
        QCOMPARE(counters(t), QList<int>({1, 0, 0, 1}));
    }

    void aFullTableTakesNoNewTransmitterButStillChangesKeys()
    {
        for (const bool keyChange : {false, true}) {
            SurveyTally t;
            for (uint32_t id = 0; id < 100; ++id)
                QCOMPARE(countKeyLine(t, keyLine(id, uint8_t(id % 4 + 1)), true, keyChange).row, int(id));
            QCOMPARE(counters(t), QList<int>({25, 25, 25, 25}));
            const KeyLineOutcome extra = countKeyLine(t, keyLine(1000, 1), true, keyChange);
            QVERIFY(extra.refresh);
            QCOMPARE(extra.row, -1);
            QCOMPARE(counters(t), QList<int>({25, 25, 25, 25}));
            // The last transmitter in the table moves from key 4 to key 1 when allowed.
            const KeyLineOutcome last = countKeyLine(t, keyLine(99, 1), true, keyChange);
            QCOMPARE(last.row, keyChange ? 99 : -1);
            QCOMPARE(counters(t), keyChange ? QList<int>({26, 25, 25, 24}) : QList<int>({25, 25, 25, 25}));
        }
    }

    void keyTextsAreReadAsTwoDecimalDigits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("index");
        QTest::newRow("01") << "01" << 1;
        QTest::newRow("04") << "04" << 4;
        QTest::newRow("10") << "10" << 10;
        QTest::newRow("0A") << "0A" << 0;
        QTest::newRow("one digit") << "4" << 0;
        QTest::newRow("sign") << "+1" << 0;
        QTest::newRow("space") << " 1" << 0;
        QTest::newRow("other digits") << QStringLiteral("\u0661\u0662") << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void keyTextsAreReadAsTwoDecimalDigits()
    {
        QFETCH(QString, text);
        QFETCH(int, index);
        QCOMPARE(keyIndex(text), index);
    }

    // Whatever reaches the counting, the table stays consistent: rows fill from the top, every
    // row carries a key from 1 to 4, and the counters add up to the rows taken.
    void arbitraryLinesKeepTheTableConsistent()
    {
        QRandomGenerator rng(7);
        // Lone surrogate halves and NUL included.
        const QString alphabet =
            QStringLiteral(" 0123456789ABCDEFh\u65e5") + QChar(0xD83D) + QChar(0xDE00) + QChar(u'\0');
        for (const bool keyChange : {false, true}) {
            SurveyTally t;
            for (int n = 0; n < 20000; ++n) {
                QString line;
                const int length = int(rng.bounded(160));
                for (int i = 0; i < length; ++i)
                    line += alphabet[rng.bounded(int(alphabet.size()))];
                if (rng.bounded(2) && line.size() >= 60)
                    line.replace(53, 7, QStringLiteral("83h 41h"));
                if (rng.bounded(3) == 0 && line.size() >= 76)
                    line.replace(69, 2, QStringLiteral("0%1").arg(rng.bounded(1, 5)));
                (void)countKeyLine(t, line, true, keyChange);
            }
            const int taken = rowsTaken(t);
            QVERIFY(taken > 0);
            for (int i = 0; i < SurveyTally::kRows; ++i) {
                QCOMPARE(t.rows[size_t(i)].deviceId.isEmpty(), i >= taken);
                if (i < taken)
                    QVERIFY(keyIndex(t.rows[size_t(i)].keyText) >= 1 &&
                            keyIndex(t.rows[size_t(i)].keyText) <= 4);
            }
            QCOMPARE(std::accumulate(t.counters.begin(), t.counters.end(), 0), taken);
            for (const int c : t.counters)
                QVERIFY(c >= 0);
        }
    }
};

QTEST_APPLESS_MAIN(SurveyCountTest)
#include "tst_surveycount.moc"
