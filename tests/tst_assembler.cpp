// The frame assembler fed bytes and ticks, and the renderings of received blocks.
#include "BlockText.h"
#include "FrameAssembler.h"
#include "TestSupport.h"

#include <QTest>

namespace {
struct Sink : FrameSink {
    std::vector<QByteArray> blocks;
    int idShows = 0;
    int completions = 0;
    void blockEnded(std::span<const uint8_t> b) override
    {
        blocks.emplace_back(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
    }
    void idsReceived() override { ++idShows; }
    void frameCompleted() override { ++completions; }
};

struct Rig {
    FrameState state;
    Sink sink;
    FrameAssembler a{state, sink};
    uint32_t now = 5000;
    void feed(const QByteArray& bytes)
    {
        for (const char c : bytes)
            a.feed(uint8_t(c), now);
    }
    // A pass after `ms` of quiet.
    void quiet(uint32_t ms, int32_t timeout = 100)
    {
        now += ms;
        a.idle(now, timeout);
    }
};

QByteArray frame(uint8_t length, uint8_t command = 0x13)
{
    QByteArray f = hex("0F 5A");
    f.append(char(length));
    f.append(char(command));
    while (f.size() < length)
        f.append(char(f.size()));
    return f;
}
} // namespace

class AssemblerTest : public QObject {
    Q_OBJECT

private slots:
    void textIsShownAsOneBlockAfterTheLineFallsQuiet()
    {
        Rig r;
        r.feed("OK\r");
        r.quiet(50);
        r.feed("more\r\n");
        r.quiet(100);
        QVERIFY(r.sink.blocks.empty()); // not longer than the time-out yet
        r.quiet(1);
        QCOMPARE(r.sink.blocks.size(), size_t(1));
        QCOMPARE(r.sink.blocks[0], QByteArray("OK\rmore\r\n"));
        QCOMPARE(r.sink.completions, 0);
        QCOMPARE(r.a.count(), 0);
    }

    void aCompleteFrameEndsAtItsLastByteWithIdsAndAnswer()
    {
        Rig r;
        const QByteArray f = hex("0F 5A 0E 13 07 11 22 33 44 55 66 77 88 99");
        r.feed(f.left(13));
        QVERIFY(r.sink.blocks.empty());
        r.feed(f.mid(13));
        QCOMPARE(r.sink.blocks.size(), size_t(1));
        QCOMPARE(r.sink.blocks[0], f);
        QCOMPARE(r.sink.idShows, 1);
        QCOMPARE(r.sink.completions, 1);
        QCOMPARE(r.state.sourceId, (std::array<uint8_t, 4>{0x11, 0x22, 0x33, 0x44}));
        QCOMPARE(r.state.destinationId, (std::array<uint8_t, 4>{0x55, 0x66, 0x77, 0x88}));
        QCOMPARE(r.state.state, 0);
        QCOMPARE(r.state.length, 0);
    }

    void bytesBeforeAFrameStartAreDropped()
    {
        Rig r;
        r.feed("noise");
        r.feed(frame(13));
        QCOMPARE(r.sink.blocks.size(), size_t(1));
        QCOMPARE(r.sink.blocks[0], frame(13));
        QCOMPARE(r.a.droppedBytes(), uint64_t(5));
    }

    void aStartByteNotFollowedBy5AStartsNoFrame()
    {
        Rig r;
        r.feed(hex("41 0F 0F 5A 0E 13"));
        QCOMPARE(r.state.state, 0);
        QCOMPARE(r.a.pending().size(), size_t(4)); // 0F 5A 0E 13: the second 0F restarted the buffer
        QCOMPARE(r.a.droppedBytes(), uint64_t(2));
        r.quiet(101);
        QCOMPARE(r.sink.blocks[0], hex("0F 5A 0E 13"));
        QCOMPARE(r.sink.completions, 0);
    }

    void lengthsFrom3To239CompleteAndOthersAbandon_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("0") << 0;
        QTest::newRow("1") << 1;
        QTest::newRow("2") << 2;
        QTest::newRow("128") << 128;
        QTest::newRow("239") << 239;
        QTest::newRow("240") << 240;
        QTest::newRow("245") << 245;
        QTest::newRow("255") << 255;
    }
    void lengthsFrom3To239CompleteAndOthersAbandon()
    {
        QFETCH(int, length);
        Rig r;
        r.feed(hex("0F 5A"));
        r.feed(QByteArray(1, char(length)));
        if (length < 3 || length >= 240) {
            QCOMPARE(r.state.state, 0);
            QCOMPARE(r.a.pending().size(), size_t(1)); // the length byte alone
            QCOMPARE(r.a.pending()[0], uint8_t(length));
            QCOMPARE(r.state.length, 0);
            // Plain text after it is text: nothing completes at the rejected length.
            r.feed(QByteArray(244, 'x'));
            QVERIFY(r.sink.blocks.empty());
            QCOMPARE(r.sink.completions, 0);
            r.quiet(101);
            QCOMPARE(r.sink.blocks.size(), size_t(1));
            QCOMPARE(r.sink.blocks[0].size(), 245);
            r.feed(frame(13));
            QCOMPARE(r.sink.blocks.size(), size_t(2));
            QCOMPARE(r.sink.completions, 1);
            return;
        }
        r.feed(QByteArray(length - 4, 'x'));
        QVERIFY(r.sink.blocks.empty());
        r.feed("y");
        QCOMPARE(r.sink.blocks.size(), size_t(1));
        QCOMPARE(r.sink.blocks[0].size(), length);
        QCOMPARE(r.sink.completions, 1);
    }

    void moreThan4096BytesOverflowAt4097()
    {
        Rig r;
        r.feed(QByteArray(5000, 'a'));
        QCOMPARE(r.sink.blocks.size(), size_t(1));
        QCOMPARE(r.sink.blocks[0].size(), 4097);
        QCOMPARE(r.a.count(), 5000 - 4097);
        QCOMPARE(r.state.state, 0);
    }

    void shortFramesAnswerWithoutIdsAndLength12KeepsAStaleIdByte()
    {
        Rig r;
        r.feed(hex("0F 5A 0D 13 00 01 02 03 04 05 06 07 AA")); // IDs 01.. / 05 06 07 AA
        QCOMPARE(r.sink.idShows, 1);
        r.feed(hex("0F 5A 0C 13 00 11 12 13 14 15 16 17"));
        QCOMPARE(r.sink.idShows, 2);
        QCOMPARE(r.state.destinationId, (std::array<uint8_t, 4>{0x15, 0x16, 0x17, 0xAA}));
        for (int length = 3; length <= 11; ++length)
            r.feed(frame(uint8_t(length)));
        QCOMPARE(r.sink.idShows, 2);
        QCOMPARE(r.sink.completions, 2 + 9);
    }

    void aFrameCutByAPauseIsShownAndTheNextFrameArrivesWhole()
    {
        Rig r;
        r.feed(hex("0F 5A 10 13 00 01 02"));
        r.quiet(150);
        QCOMPARE(r.sink.blocks.size(), size_t(1));
        QCOMPARE(r.sink.blocks[0], hex("0F 5A 10 13 00 01 02"));
        QCOMPARE(r.state.state, 0);
        QCOMPARE(r.state.length, 0);
        const QByteArray next = hex("0F 5A 0D 13 00 11 22 33 44 55 66 77 88");
        r.feed(next);
        QCOMPARE(r.sink.blocks.size(), size_t(2));
        QCOMPARE(r.sink.blocks[1], next);
        QCOMPARE(r.sink.completions, 1);
        QCOMPARE(r.sink.idShows, 1);
        QCOMPARE(r.state.sourceId, (std::array<uint8_t, 4>{0x11, 0x22, 0x33, 0x44}));
    }

    void idleFlushComparesUnsignedAcrossTheWrap()
    {
        Rig r;
        r.now = 0xFFFFFFF0u;
        r.feed("abc");
        r.quiet(0x20); // the tick wrapped; 32 ms have passed
        QVERIFY(r.sink.blocks.empty());
        r.quiet(100);
        QCOMPARE(r.sink.blocks.size(), size_t(1));

        Rig never;
        never.feed("abc");
        never.quiet(3'000'000, -1);
        QVERIFY(never.sink.blocks.empty());
    }

    void binaryRenderingIsASpaceTwoHexDigitsAndHPerByte()
    {
        QCOMPARE(renderBinary(std::span<const uint8_t>()), QString());
        const QByteArray b = hex("0F 5A 00 FF");
        QCOMPARE(renderBinary({reinterpret_cast<const uint8_t*>(b.data()), 4}),
                 QStringLiteral(" 0Fh 5Ah 00h FFh"));
    }

    void textRenderingShowsControlCodesInHex_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("line");
        QTest::newRow("OK CR LF") << QByteArray("OK\r\n") << QStringLiteral("OK 0Dh 0Ah");
        QTest::newRow("STX AB ETX") << hex("02 41 42 03") << QStringLiteral(" 02h AB 03h");
        QTest::newRow("frame start") << hex("0F 5A 10 13") << QStringLiteral(" 0Fh Z 10h 13h");
        QTest::newRow("DEL") << hex("7F") << QStringLiteral(" 7Fh");
        QTest::newRow("NUL") << hex("00") << QStringLiteral(" 00h");
        QTest::newRow("one space per run") << QByteArray("a\x01xyz") << QStringLiteral("a 01h xyz");
        QTest::newRow("Shift-JIS") << hex("0D 93 FA 96 7B 8C EA 0A") << QStringLiteral(" 0Dh 日本語 0Ah");
        // Bytes that make no character show as control codes do, without a space of their own.
        QTest::newRow("lead byte before a control code") << hex("41 82 0D") << QStringLiteral("A 82h 0Dh");
        QTest::newRow("lead byte without its trail byte") << hex("85 40") << QStringLiteral(" 85h@");
        QTest::newRow("lead byte at the end") << hex("41 FC") << QStringLiteral("A FCh");
        QTest::newRow("bytes without a character")
            << hex("80 A0 FD FE FF") << QStringLiteral(" 80h A0h FDh FEh FFh");
        QTest::newRow("both pairs of one character")
            << hex("ED 40 FA 5C 87 90 81 E0") << QStringLiteral("纊纊≒≒");
    }
    void textRenderingShowsControlCodesInHex()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, line);
        QCOMPARE(renderText({reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size())}), line);
    }

    void aHighByteAloneIsHexOnlyWithoutACharacter()
    {
        for (int b = 0x80; b <= 0xFF; ++b) {
            const uint8_t byte = uint8_t(b);
            const QString line = renderText({&byte, 1});
            const bool katakana = b >= 0xA1 && b <= 0xDF;
            QCOMPARE(line,
                     katakana ? QString(QChar(char16_t(0xFF61 + b - 0xA1))) : QString::asprintf(" %02Xh", b));
        }
    }

    void idsAreShownAsHexPairsEachFollowedByASpace()
    {
        QCOMPARE(formatId({0x12, 0x34, 0x56, 0x78}), QStringLiteral("12 34 56 78 "));
        QCOMPARE(formatId({0x0A, 0xFF, 0x00, 0xab}), QStringLiteral("0A FF 00 AB "));
    }
};

QTEST_GUILESS_MAIN(AssemblerTest)
#include "tst_assembler.moc"
