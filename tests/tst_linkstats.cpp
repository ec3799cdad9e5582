// The link statistics window offscreen: its table, sorting, greying, Reset and Save As.
#include "LinkStatsWindow.h"
#include "RateHistoryPlot.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include <QColor>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

class LinkStatsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeTick> m_tick;
    std::unique_ptr<LinkStatsWindow> m_window;

    void feed(const QByteArray& block) { m_window->countReceivedBlock(asBlock(block)); }
    QTableView* grid() { return m_window->findChild<QTableView*>("statsTable"); }
    QString cell(int row, int column) { return grid()->model()->index(row, column).data().toString(); }
    QStringList column(int c)
    {
        QStringList texts;
        for (int r = 0; r < grid()->model()->rowCount(); ++r)
            texts << cell(r, c);
        return texts;
    }
    int rowOf(const QString& deviceId) { return int(column(LinkStatsModel::DeviceId).indexOf(deviceId)); }

private slots:
    void init()
    {
        m_tick = std::make_unique<FakeTick>();
        m_window = std::make_unique<LinkStatsWindow>();
    }
    void cleanup()
    {
        m_window.reset();
        m_tick.reset();
    }

    void theTableListsSortsGreysAndResets()
    {
        QVERIFY(m_window->isHidden());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Link Statistics"));
        // A: 10 reports in order; B: 2 reports with 4 lost between; C: 9 reports.
        for (int i = 0; i < 10; ++i)
            feed(transmitterReport(0x123456A0, uint8_t(i), 0x46));
        feed(transmitterReport(0x123456B0, 0));
        feed(transmitterReport(0x123456B0, 5));
        for (int i = 0; i < 9; ++i)
            feed(transmitterReport(0x123456C0, uint8_t(i)));
        feed(hex("0F 5A 0F 2A 05 4D 53 00 01 FF FF FF FF 2A 00"));
        feed("OK\r\n");
        m_window->show();
        QCOMPARE(grid()->model()->rowCount(), 5);

        const int a = rowOf(QStringLiteral("12h 34h 56h A0h"));
        const int b = rowOf(QStringLiteral("12h 34h 56h B0h"));
        QVERIFY(a >= 0 && b >= 0);
        QCOMPARE(cell(a, LinkStatsModel::Frames), QStringLiteral("10"));
        QCOMPARE(cell(a, LinkStatsModel::LastKey), QStringLiteral("46h"));
        QCOMPARE(cell(a, LinkStatsModel::Bytes), QStringLiteral("190"));
        QCOMPARE(cell(b, LinkStatsModel::Lost), QStringLiteral("4"));
        QCOMPARE(cell(b, LinkStatsModel::LossPercent), QStringLiteral("66.7"));
        const int rf = rowOf(QStringLiteral("Command 2Ah"));
        QCOMPARE(cell(rf, LinkStatsModel::Frames), QStringLiteral("1"));
        QCOMPARE(cell(rf, LinkStatsModel::Bytes), QStringLiteral("15"));
        QCOMPARE(cell(rf, LinkStatsModel::LossPercent), QString());
        QCOMPARE(cell(rowOf(QStringLiteral("Not a frame")), LinkStatsModel::Bytes), QStringLiteral("4"));

        // Numbers sort as numbers (10 after 9), and the summaries stay below the transmitters
        // whichever way the table is sorted.
        grid()->sortByColumn(LinkStatsModel::Frames, Qt::AscendingOrder);
        QCOMPARE(column(LinkStatsModel::Frames).first(3), QStringList({"2", "9", "10"}));
        grid()->sortByColumn(LinkStatsModel::Frames, Qt::DescendingOrder);
        QCOMPARE(column(LinkStatsModel::Frames).first(3), QStringList({"10", "9", "2"}));
        QCOMPARE(column(LinkStatsModel::DeviceId).last(2),
                 QStringList({QStringLiteral("Command 2Ah"), QStringLiteral("Not a frame")}));
        grid()->sortByColumn(LinkStatsModel::LossPercent, Qt::DescendingOrder);
        QCOMPARE(cell(0, LinkStatsModel::DeviceId), QStringLiteral("12h 34h 56h B0h"));

        // Five minutes of silence are allowed; a moment more greys the row.
        m_tick->advance(5 * 60 * 1000);
        feed(transmitterReport(0x123456A0, 10));
        m_tick->advance(1);
        m_window->refresh();
        const auto foreground = [&](const QString& id) {
            return grid()->model()->index(rowOf(id), 0).data(Qt::ForegroundRole);
        };
        QCOMPARE(foreground(QStringLiteral("12h 34h 56h B0h")).value<QColor>(), QColor(Qt::gray));
        QVERIFY(!foreground(QStringLiteral("12h 34h 56h A0h")).isValid());
        QCOMPARE(cell(rowOf(QStringLiteral("12h 34h 56h B0h")), LinkStatsModel::SilentFor),
                 QStringLiteral("300.0"));

        m_window->findChild<QPushButton*>("resetButton")->click();
        QCOMPARE(grid()->model()->rowCount(), 0);
        feed(transmitterReport(0x123456B0, 7));
        m_window->refresh();
        QCOMPARE(column(LinkStatsModel::Lost), QStringList({"0"}));
    }

    void theTableRefreshesOnlyWhileShown()
    {
        m_window->show();
        feed(transmitterReport(0x123456A0, 0));
        QVERIFY(waitUntil([&] { return grid()->model()->rowCount() == 1; }, 2 * LinkStatsWindow::kRefreshMs));
        m_window->close();
        QVERIFY(m_window->isHidden());
        feed(transmitterReport(0x123456B0, 0));
        QTest::qWait(2 * LinkStatsWindow::kRefreshMs);
        QCOMPARE(grid()->model()->rowCount(), 1);
        QCOMPARE(m_window->stats().transmitterCount(), size_t(2)); // counted all the same
    }

    void saveAsWritesTheTableAsShownOrNamesTheFailure()
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        feed(transmitterReport(0x123456A0, 0, 0x05));
        feed(transmitterReport(0x123456A0, 3, 0x05));
        feed(transmitterReport(0x123456B0, 9));
        feed("\x02");
        m_window->show();
        grid()->sortByColumn(LinkStatsModel::Lost, Qt::DescendingOrder);
        const QString path = dir.filePath(QStringLiteral("links.csv"));
        dialogs.fileNames = {path};
        m_window->findChild<QPushButton*>("saveAsButton")->click();
        QVERIFY(dialogs.messages.isEmpty());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n")),
                 QStringList(
                     {"Device ID,Frames,Bytes,Lost,Loss %,Duplicates,Restarts,Last key,Reports/s,Silent (s)",
                      "12h 34h 56h A0h,2,38,2,50.0,0,0,05h,0.2,0.0",
                      "12h 34h 56h B0h,1,19,0,0.0,0,0,01h,0.1,0.0", "Not a frame,1,1,,,,,,0.1,0.0", ""}));

        const QString nowhere = dir.filePath(QStringLiteral("no-such-folder/links.csv"));
        dialogs.fileNames = {nowhere};
        m_window->findChild<QPushButton*>("saveAsButton")->click();
        QCOMPARE(int(dialogs.messages.size()), 1);
        QVERIFY2(
            dialogs.messages[0].text.startsWith(QStringLiteral("Cannot create file \"%1\"").arg(nowhere)),
            qPrintable(dialogs.messages[0].text));
        QVERIFY(!QFile::exists(nowhere));
    }

    // A: 6 reports in order; B: 2 reports with 4 lost between. A click on a row draws it under
    // the table; the lost reports are red there and in the row's own small drawing.
    void aRowsLastFiveMinutesAreDrawnWithItsLossesInRed_data()
    {
        QTest::addColumn<QString>("deviceId");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("red");
        QTest::newRow("no loss") << "12h 34h 56h A0h"
                                 << "12h 34h 56h A0h: 6 reports, 0 lost, at most 6 in a second" << false;
        QTest::newRow("four lost") << "12h 34h 56h B0h"
                                   << "12h 34h 56h B0h: 2 reports, 4 lost, at most 4 in a second" << true;
    }
    void aRowsLastFiveMinutesAreDrawnWithItsLossesInRed()
    {
        QFETCH(QString, deviceId);
        QFETCH(QString, description);
        QFETCH(bool, red);
        for (int i = 0; i < 6; ++i)
            feed(transmitterReport(0x123456A0, uint8_t(i)));
        feed(transmitterReport(0x123456B0, 0));
        feed(transmitterReport(0x123456B0, 5));
        m_tick->advance(60'000);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        auto* drawing = m_window->findChild<RateHistoryView*>("historyView");
        QCOMPARE(drawing->accessibleName(), QStringLiteral("Reports per second over the last 5 minutes"));
        QVERIFY(drawing->shownName().isEmpty());

        const QModelIndex row = grid()->model()->index(rowOf(deviceId), LinkStatsModel::DeviceId);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(row).center());
        QCOMPARE(drawing->shownName(), deviceId);
        QCOMPARE(drawing->accessibleDescription(), description);
        const auto hasRed = [](const QImage& image) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == QColor(220, 0, 0))
                        return true;
            return false;
        };
        QCOMPARE(hasRed(drawing->grab().toImage()), red);
        const QRect cell = grid()->visualRect(row.siblingAtColumn(LinkStatsModel::History));
        QVERIFY(cell.width() >= RateHistory::kSeconds / 2);
        QCOMPARE(hasRed(grid()->viewport()->grab(cell).toImage()), red);
        // Drawings are left out of the saved table; Reset leaves nothing selected to draw.
        QCOMPARE(grid()->model()->headerData(LinkStatsModel::History, Qt::Horizontal).toString(),
                 QStringLiteral("Last 5 min"));
        m_window->findChild<QPushButton*>("resetButton")->click();
        QVERIFY(drawing->shownName().isEmpty());
    }
};

QTEST_MAIN(LinkStatsWindowTest)
#include "tst_linkstats.moc"
