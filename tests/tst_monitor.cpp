// The monitor's line view on its own: the line container, character geometry, following the
// newest line, selection, keyboard, clipboard and assistive technology.
#include "MonitorView.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>
#include <QScrollBar>
#include <QTest>

namespace {
// A fixed-pitch face with half-width and full-width cells, as the monitor's own font.
QFont gothic(int pixelSize = 13)
{
    QFont f(QStringLiteral("IPAGothic"));
    f.setPixelSize(pixelSize);
    return f;
}

const QStringList kLines = {QStringLiteral("alpha beta"), QStringLiteral("日本語 text"),
                            QStringLiteral("x\U0001F600y"), QStringLiteral("end")};

QPoint pointAt(const MonitorView& view, TextPos pos)
{
    const QRect r = view.characterRect(pos);
    return {r.left() + 1, r.center().y()};
}
} // namespace

class MonitorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorView> m_view;

    MonitorView& view(const QStringList& lines = kLines)
    {
        m_view = std::make_unique<MonitorView>();
        m_view->setFont(gothic());
        m_view->resize(300, 160);
        m_view->show();
        m_view->setLines(lines);
        m_view->activateWindow();
        m_view->setFocus();
        return *m_view;
    }
    static QString clipboard() { return QGuiApplication::clipboard()->text(); }

private slots:
    void cleanup() { m_view.reset(); }

    void binaryLinesAreFormattedWhereLookedAt()
    {
        MonitorLines lines;
        lines.append(QStringLiteral("12:00=>"), QByteArray::fromHex("0F5AFF"));
        const LineRef line = lines.line(0);
        const QString whole = QStringLiteral("12:00=> 0Fh 5Ah FFh");
        QCOMPARE(line.length(), whole.size());
        QCOMPARE(lines.all(), QStringList{whole});
        for (qsizetype from = 0; from <= whole.size(); ++from) {
            if (from < whole.size())
                QCOMPARE(line.at(from), whole[from]);
            for (qsizetype n = 0; from + n <= whole.size(); ++n)
                QCOMPARE(line.mid(from, n), whole.mid(from, n));
        }
    }

    void theThousandLineRuleCountsEveryLine()
    {
        MonitorLines lines;
        for (int i = 0; i < 1001; ++i)
            lines.append(QStringLiteral("text %1").arg(i), i % 2 ? QByteArray("\x01") : QByteArray());
        QCOMPARE(lines.count(), 1001);
        lines.append(QStringLiteral("next"));
        QCOMPARE(lines.all(), QStringList{QStringLiteral("next")});
        QCOMPARE(lines.removed(), 1001);
        // Offsets count the lines joined by '\n', as assistive technology reads them.
        lines.append(QString(), QByteArray("\x02"));
        QCOMPARE(lines.textLength(), 9);
        QCOMPARE(lines.offsetOf({1, 2}), 7);
        QCOMPARE(lines.posAt(7), (TextPos{1, 2}));
        QCOMPARE(lines.text({0, 2}, {1, 3}, u"\r\n"), QStringLiteral("xt\r\n 02"));
    }

    void everyCharacterHasItsPlace()
    {
        const TextMetrics metrics(gothic());
        const QString text = QStringLiteral("ab日本\t|\x01|\U0001F600z");
        MonitorLines lines;
        lines.append(text, QByteArray::fromHex("0F5A"));
        const LineRef line = lines.line(0);
        // Full-width characters take two half-width cells; a tab goes to the next stop of eight.
        const qreal cell = metrics.xOf(line, 1);
        QVERIFY(cell > 0);
        QCOMPARE(metrics.xOf(line, 3) - metrics.xOf(line, 2), 2 * cell);
        QCOMPARE(metrics.xOf(line, 5), 8 * cell);
        qreal previous = -1;
        for (qsizetype c = 0; c <= line.length(); c = line.nextColumn(c)) {
            const qreal x = metrics.xOf(line, c);
            QVERIFY2(x > previous, qPrintable(QString::number(c)));
            QCOMPARE(metrics.columnAt(line, x + 0.4), c);
            previous = x;
            if (c == line.length())
                break;
        }
        QCOMPARE(metrics.width(line), previous);
        // A slice holds just the characters that meet its range; the bytes of a "Binary" line
        // come whole (" XXh").
        for (qsizetype c = 0; c < line.length(); c = line.nextColumn(c)) {
            const bool inText = c < text.size();
            const qsizetype first = inText ? c : text.size() + (c - text.size()) / 4 * 4;
            const qsizetype next = inText ? line.nextColumn(c) : first + 4;
            const qreal x = metrics.xOf(line, c);
            const TextMetrics::Slice s = metrics.slice(line, x + 0.5, x + 1);
            QCOMPARE(s.column, first);
            QCOMPARE(s.x, metrics.xOf(line, first));
            QCOMPARE(s.text, line.mid(first, next - first));
        }
    }

    void linesEmptiedBeforeTheRefreshAreNeverMeasured()
    {
        MonitorView& v = view({});
        for (int i = 0; i < 1001; ++i)
            v.appendLine(QByteArray(2000, 'W'));
        v.appendLine("short");
        v.refresh();
        QCOMPARE(v.horizontalScrollBar()->maximum(), 0);
        QCOMPARE(v.lines(), QStringList{QStringLiteral("short")});
        QVERIFY(waitUntil([&] { return v.paintedThrough() == 1002; }));
    }

    void theViewFollowsTheNewestLineUnlessScrolledUp()
    {
        MonitorView& v = view({});
        QScrollBar* bar = v.verticalScrollBar();
        for (int i = 0; i < 100; ++i)
            v.appendLine("line " + QByteArray::number(i));
        QVERIFY(waitUntil([&] { return v.paintedThrough() == 100; }));
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QTest::keyClick(&v, Qt::Key_PageUp);
        QVERIFY(!v.following());
        const int top = bar->value();
        v.appendLine("more");
        v.refresh();
        QCOMPARE(bar->value(), top);
        QTest::keyClick(&v, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(v.following());
        v.appendLine("last");
        v.refresh();
        QCOMPARE(bar->value(), bar->maximum());

        // Both scroll bars: a wider font widens the view's content.
        v.appendLine(QByteArray(200, 'x'));
        v.refresh();
        const int wide = v.horizontalScrollBar()->maximum();
        QVERIFY(wide > 0);
        v.setFont(gothic(26));
        QVERIFY(v.horizontalScrollBar()->maximum() > wide);
    }

    // Scrolled to the top, the scroll bar's value stays 0 when the lines go: what takes their place
    // is followed all the same.
    void theViewFollowsAgainWhenItsLinesAreReplaced_data()
    {
        QTest::addColumn<QString>("replacement");
        QTest::newRow("Monitor Clear") << "clear";
        QTest::newRow("the 1000-line rule") << "rule";
        QTest::newRow("a loaded file") << "load";
    }
    void theViewFollowsAgainWhenItsLinesAreReplaced()
    {
        QFETCH(QString, replacement);
        MonitorView& v = view({});
        QScrollBar* bar = v.verticalScrollBar();
        for (int i = 0; i < 100; ++i)
            v.appendLine("line " + QByteArray::number(i));
        v.refresh();
        QVERIFY(QTest::qWaitForWindowActive(&v));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(bar->value(), 0);
        QVERIFY(!v.following());
        if (replacement == u"clear") {
            v.clearLines();
        } else if (replacement == u"rule") {
            while (v.lineCount() <= MonitorLines::kLimit)
                v.appendLine("more");
            v.appendLine("first");
            v.refresh();
            QCOMPARE(v.lineCount(), 1);
        } else {
            v.setLines(QStringList(200, QStringLiteral("loaded")));
        }
        for (int i = 0; i < 100; ++i)
            v.appendLine("new " + QByteArray::number(i));
        v.refresh();
        QVERIFY(v.following());
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
    }

    void keysMoveAndSelect_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("selected");
        QTest::newRow("a line") << QStringList{"Ctrl+Home", "Shift+End"} << "alpha beta";
        QTest::newRow("two characters") << QStringList{"Ctrl+Home", "Shift+Right", "Shift+Right"} << "al";
        QTest::newRow("down takes the line end") << QStringList{"Ctrl+Home", "Shift+Down"} << "alpha beta\n";
        QTest::newRow("right at the end") << QStringList{"Ctrl+Home", "End", "Shift+Right"} << "\n";
        QTest::newRow("down keeps the column")
            << QStringList{"Ctrl+Home", "Right", "Right", "Right",    "Right",
                           "Right",     "Right", "Down",  "Shift+End"}
            << " text";
        QTest::newRow("a surrogate pair is one character")
            << QStringList{"Ctrl+End", "Up", "End", "Shift+Left", "Shift+Left"}
            << QStringLiteral("\U0001F600y");
        QTest::newRow("everything backwards")
            << QStringList{"Ctrl+End", "Shift+Ctrl+Home"} << kLines.join(u'\n');
        QTest::newRow("select all") << QStringList{"Ctrl+A"} << kLines.join(u'\n');
        QTest::newRow("a move drops the selection") << QStringList{"Ctrl+A", "Left"} << "";
    }
    void keysMoveAndSelect()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, selected);
        MonitorView& v = view();
        for (const QString& k : keys)
            QTest::keySequence(&v, QKeySequence(k));
        QCOMPARE(v.selectedText(), selected);
        QGuiApplication::clipboard()->clear();
        QTest::keySequence(&v, QKeySequence::Copy);
        QCOMPARE(clipboard(), selected);
    }

    void theMouseSelectsByDragWordLineAndShiftClick()
    {
        MonitorView& v = view();
        QWidget* port = v.viewport();
        QTest::mousePress(port, Qt::LeftButton, {}, pointAt(v, {0, 6}));
        QTest::mouseMove(port, pointAt(v, {1, 3}));
        QTest::mouseRelease(port, Qt::LeftButton, {}, pointAt(v, {1, 3}));
        QCOMPARE(v.selectedText(), QStringLiteral("beta\n日本語"));

        QTest::mouseClick(port, Qt::LeftButton, Qt::ShiftModifier, pointAt(v, {1, 5}));
        QCOMPARE(v.selectedText(), QStringLiteral("beta\n日本語 t"));

        QTest::mouseDClick(port, Qt::LeftButton, {}, pointAt(v, {0, 2}));
        QCOMPARE(v.selectedText(), QStringLiteral("alpha"));
        QTest::mousePress(port, Qt::LeftButton, {}, pointAt(v, {0, 2}));
        QCOMPARE(v.selectedText(), QStringLiteral("alpha beta"));
    }

    void theContextMenuCopiesAndSelectsAll()
    {
        MonitorView& v = view();
        const std::unique_ptr<QMenu> empty(v.createContextMenu(&v));
        QCOMPARE(empty->actions().size(), 2);
        QVERIFY(!empty->actions()[0]->isEnabled());
        empty->actions()[1]->trigger();
        const std::unique_ptr<QMenu> menu(v.createContextMenu(&v));
        QVERIFY(menu->actions()[0]->isEnabled());
        menu->actions()[0]->trigger();
        QCOMPARE(clipboard(), kLines.join(u'\n'));
    }

    void theTextTakesThePalettesColours()
    {
        MonitorView& v = view({QStringLiteral("MMMMMMMM")});
        v.clearFocus();
        QPalette palette = v.palette();
        palette.setColor(QPalette::Text, Qt::red);
        palette.setColor(QPalette::Base, Qt::black);
        v.setPalette(palette);
        const QImage image = v.viewport()->grab().toImage();
        QCOMPARE(image.pixelColor(image.width() - 1, image.height() - 1), QColor(Qt::black));
        int red = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() > 128 && c.green() == 0 && c.blue() == 0;
            }
        }
        QVERIFY2(red > 50, qPrintable(QString::number(red)));
    }

    void controlCharactersOfALoadedFileShowAsPictures()
    {
        MonitorView& v = view({QStringLiteral("a\x01\tb\x7F")});
        v.selectAll();
        QCOMPARE(v.selectedText(), QStringLiteral("a\u2401\tb\u2421"));
    }

    void assistiveTechnologyReadsTheMonitorAsText()
    {
        MonitorView& v = view();
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&v);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::EditableText);
        QVERIFY(iface->state().readOnly);
        QVERIFY(iface->state().multiLine);
        QAccessibleTextInterface* text = iface->textInterface();
        QVERIFY(text);
        const QString all = kLines.join(u'\n');
        QCOMPARE(text->characterCount(), all.size());
        QCOMPARE(text->text(0, text->characterCount()), all);

        const int second = int(kLines[0].size()) + 1;
        int start = -1;
        int end = -1;
        QCOMPARE(text->textAtOffset(second + 2, QAccessible::LineBoundary, &start, &end), kLines[1] + u'\n');
        QCOMPARE(start, second);
        QCOMPARE(text->textAtOffset(2, QAccessible::WordBoundary, &start, &end), QStringLiteral("alpha"));
        QCOMPARE(text->textAfterOffset(2, QAccessible::LineBoundary, &start, &end), kLines[1] + u'\n');
        QCOMPARE(text->textBeforeOffset(second, QAccessible::LineBoundary, &start, &end), kLines[0] + u'\n');

        text->setSelection(0, 6, second + 3);
        QCOMPARE(v.selectedText(), QStringLiteral("beta\n日本語"));
        QCOMPARE(text->selectionCount(), 1);
        text->selection(0, &start, &end);
        QCOMPARE(start, 6);
        QCOMPARE(end, second + 3);
        QCOMPARE(text->cursorPosition(), second + 3);
        text->setCursorPosition(4);
        QCOMPARE(text->selectionCount(), 0);
        QCOMPARE(v.caret(), (TextPos{0, 4}));
        const QRect r = text->characterRect(second + 1);
        QVERIFY(r.width() > 0);
        QCOMPARE(text->offsetAtPoint(QPoint(r.left() + 1, r.center().y())), second + 1);
    }
};

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
