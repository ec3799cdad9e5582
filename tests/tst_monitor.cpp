// The monitor's line view on its own: the line container, character geometry, following the
// newest line, selection, keyboard, clipboard and assistive technology; finding text in it.
#include "MainWindow.h"
#include "MonitorSearch.h"
#include "MonitorView.h"
#include "SettingsFile.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
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

// Where a text is found in a line as shown, the slow way: the line formatted whole, matches taken
// one after the other.
QList<qsizetype> foundByFormatting(const LineRef& line, const QString& pattern, Qt::CaseSensitivity cs)
{
    const QString shown = shownText(line.toString());
    QList<qsizetype> found;
    for (qsizetype at = shown.indexOf(pattern, 0, cs); at >= 0 && !pattern.isEmpty();
         at = shown.indexOf(pattern, at + pattern.size(), cs))
        found << at;
    return found;
}

QList<qsizetype> found(const MonitorSearch& search, const LineRef& line)
{
    const std::vector<qsizetype> columns = search.matchesIn(line);
    return {columns.begin(), columns.end()};
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

    // Rows must look exactly as the text engine draws each run of one look (the way they were
    // painted before glyphs were looked up once per character): "Binary" bytes, Japanese text,
    // control-code pictures around a tab, a character beyond U+FFFF, a find match and a selection
    // across them, scrolled sideways by part of a character.
    void rowsLookAsTheTextEngineDrawsThem_data()
    {
        QTest::addColumn<int>("scrolledBy");
        QTest::newRow("from the start") << 0;
        QTest::newRow("scrolled sideways") << 13;
    }
    void rowsLookAsTheTextEngineDrawsThem()
    {
        QFETCH(int, scrolledBy);
        MonitorView& v = view({QStringLiteral("日本語の受信テキスト ｱｲｳ 5a"),
                               QStringLiteral("ctl \x01\x1F\x7F\tpast\tthe tab \U0001F600 5A")});
        v.clearFocus();
        const uint8_t bytes[] = {0x0F, 0x5A, 0x13, 0x13, 0x00, 0xAB, 0xCD, 0xEF, 0x12, 0x5A};
        v.appendBinaryLine(QStringLiteral("12:34:56.789"), bytes);
        v.refresh();
        v.setFindPattern(QStringLiteral("5a"), Qt::CaseInsensitive);
        v.setSelection({0, 9}, {2, 22});
        v.horizontalScrollBar()->setValue(scrolledBy);
        QCOMPARE(v.horizontalScrollBar()->value(), scrolledBy);
        const QImage shown = v.viewport()->grab().toImage();

        QImage expected(shown.size(), shown.format());
        QPainter p(&expected);
        const QPalette palette = v.palette();
        p.fillRect(expected.rect(), palette.color(QPalette::Base));
        const QFont font = TextMetrics::drawingFont(v.font());
        p.setFont(font);
        const TextMetrics metrics(v.font());
        const QFontMetrics fm(font);
        const qreal left = 4 - scrolledBy; // the view's margin
        const TextPos from = v.anchor();
        const TextPos to = v.caret();
        for (qsizetype row = 0; row < v.lineCount(); ++row) {
            const LineRef line = v.content().line(row);
            const QString text = line.toString();
            const int y = int(row) * fm.lineSpacing();
            const QList<qsizetype> matches =
                foundByFormatting(line, QStringLiteral("5a"), Qt::CaseInsensitive);
            const auto look = [&](qsizetype c) {
                if (TextPos{row, c} >= from && TextPos{row, c} < to)
                    return 2;
                return std::any_of(matches.begin(), matches.end(),
                                   [&](qsizetype m) { return c >= m && c < m + 2; })
                           ? 1
                           : 0;
            };
            for (qsizetype c = 0; c < text.size();) {
                qsizetype end = c + 1;
                while (end < text.size() && look(end) == look(c) && text[end] != u'\t' && text[c] != u'\t')
                    ++end;
                const qreal x0 = left + metrics.xOf(line, c);
                const qreal x1 = left + metrics.xOf(line, end);
                const int kind = look(c);
                if (kind != 0)
                    p.fillRect(QRectF(x0, y, x1 - x0, fm.lineSpacing()),
                               kind == 2 ? palette.color(QPalette::Highlight) : QColor(255, 214, 64));
                p.setPen(kind == 2   ? palette.color(QPalette::HighlightedText)
                         : kind == 1 ? QColor(Qt::black)
                                     : palette.color(QPalette::Text));
                if (text[c] != u'\t')
                    p.drawText(QPointF(x0, y + fm.ascent()), shownText(text.mid(c, end - c)));
                c = end;
            }
            if (row < to.row) // the line end is selected too
                p.fillRect(QRectF(left + metrics.width(line), y, metrics.spaceWidth(), fm.lineSpacing()),
                           palette.color(QPalette::Highlight));
        }
        p.end();
        QCOMPARE(shown, expected);
    }

    void controlCharactersOfALoadedFileShowAsPictures()
    {
        MonitorView& v = view({QStringLiteral("a\x01\tb\x7F")});
        v.selectAll();
        QCOMPARE(v.selectedText(), QStringLiteral("a\u2401\tb\u2421"));
    }

    // A line is a text (a loaded line, a Text-mode line, a time stamp) and, in "Binary" mode, bytes.
    void findingMatchesTheLinesAsShown_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<QList<qsizetype>>("columns");
        const QByteArray frames = QByteArray::fromHex("0F5A13000F5A");
        QTest::newRow("frame starts in Binary")
            << "" << frames << "0Fh 5Ah" << false << QList<qsizetype>{1, 17};
        QTest::newRow("in any case") << "" << frames << "0fH 5a" << false << QList<qsizetype>{1, 17};
        QTest::newRow("case ticked") << "" << frames << "0fh" << true << QList<qsizetype>{};
        QTest::newRow("a blank starts it") << "" << frames << " 13h " << false << QList<qsizetype>{8};
        QTest::newRow("from the second digit") << "" << frames << "Ah 1" << false << QList<qsizetype>{6};
        QTest::newRow("from the h") << "" << frames << "h 00" << false << QList<qsizetype>{11};
        QTest::newRow("not a rendering") << "" << frames << "0Fh5A" << false << QList<qsizetype>{};
        QTest::newRow("digits do not overlap")
            << "" << QByteArray::fromHex("111111") << "1" << false << QList<qsizetype>{1, 2, 5, 6, 9, 10};
        QTest::newRow("nor do cells")
            << "" << QByteArray::fromHex("0000000000") << "00h 00h" << false << QList<qsizetype>{1, 9};
        QTest::newRow("from a time stamp into the bytes")
            << "12:00:00.0001 =>" << frames << "=> 0F" << false << QList<qsizetype>{14};
        QTest::newRow("longer than the line")
            << "" << QByteArray::fromHex("0F") << " 0Fh " << false << QList<qsizetype>{};
        QTest::newRow("text does not overlap")
            << "aaaaa" << QByteArray() << "aa" << false << QList<qsizetype>{0, 2};
        QTest::newRow("text in any case")
            << "Ärger ÄRGER" << QByteArray() << "ärger" << false << QList<qsizetype>{0, 6};
        QTest::newRow("a control character as its picture")
            << "a\x01"
               "b"
            << QByteArray() << "\u2401b" << false << QList<qsizetype>{1};
        QTest::newRow("not as itself") << "a\x01"
                                          "b"
                                       << QByteArray() << "\x01" << false << QList<qsizetype>{};
    }
    void findingMatchesTheLinesAsShown()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, pattern);
        QFETCH(bool, matchCase);
        QFETCH(QList<qsizetype>, columns);
        MonitorLines lines;
        lines.append(text, bytes);
        MonitorSearch search;
        search.setPattern(pattern, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
        QCOMPARE(found(search, lines.line(0)), columns);
        search.update(lines);
        QCOMPARE(search.count(), columns.size());
    }

    // Binary cells are matched on their bytes and text through a scan of its own; whatever the
    // line and the text to find, that finds what formatting the line and searching it finds.
    void binaryCellsMatchAsTheirFormattedTextDoes()
    {
        QRandomGenerator random(20261208);
        const QString alphabet = QStringLiteral(" 0123456789ABCDEFabcdefhH=>x");
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes(random.bounded(12), Qt::Uninitialized);
            for (char& b : bytes)
                b = char(random.bounded(4) == 0 ? 0x0F : random.bounded(256));
            // A text in front: a time stamp, or the whole line in Text mode.
            QString text;
            for (int i = random.bounded(2) ? random.bounded(24) : 0; i > 0; --i)
                text += alphabet[random.bounded(int(alphabet.size()))];
            MonitorLines lines;
            lines.append(text, bytes);
            const LineRef line = lines.line(0);
            // Half of the patterns are cut from the line itself, so that most of them are found.
            QString pattern;
            const qsizetype length = 1 + random.bounded(9);
            if (random.bounded(2) && line.length() > 0) {
                const qsizetype from = random.bounded(int(line.length()));
                pattern = line.mid(from, length);
            } else {
                for (qsizetype i = 0; i < length; ++i)
                    pattern += alphabet[random.bounded(int(alphabet.size()))];
            }
            for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
                MonitorSearch search;
                search.setPattern(pattern, cs);
                QVERIFY2(found(search, line) == foundByFormatting(line, pattern, cs),
                         qPrintable(line.toString() + u'|' + pattern + u'|'));
            }
        }
    }

    // As a user finds: Ctrl+F, typing, Enter / F3 and their Shift forms, Esc, on lines received.
    void theFindBarStepsThroughMatchesWhileLinesArrive()
    {
        QTemporaryDir dir;
        QFile ini(dir.filePath(QStringLiteral("zelvoterm.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[COMPORT]\r\nPortName=/dev/no-such-port\r\n");
        ini.close();
        resetLink();
        setSettingsFilePath(ini.fileName());
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        MonitorView& monitor = *w.monitor();
        QScrollBar* bar = monitor.verticalScrollBar();
        const auto receive = [&](int lines, int reportEvery) {
            for (int i = 0; i < lines; ++i)
                w.displayReceivedBlock(
                    asBlock(i % reportEvery == 5 ? transmitterReport(1, uint8_t(i)) : hex("414243")));
            monitor.refresh();
        };
        receive(100, 40); // key reports on rows 5, 45 and 85
        auto* findBar = w.findChild<QWidget*>("findBar");
        auto* count = w.findChild<QLabel*>("matchCountLabel");
        const auto step = [&](Qt::Key key, Qt::KeyboardModifiers modifiers, const char* expected) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
            QCOMPARE(count->text(), QString::fromLatin1(expected));
            QCOMPARE(monitor.selectedText(), QStringLiteral("0Fh 5Ah 13h"));
            QVERIFY(!monitor.following());
        };

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(findBar->isVisible());
        QCOMPARE(QApplication::focusWidget(), w.findChild<QLineEdit*>("findEdit"));
        // As typed, the first match from the top of the view: the newest.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("0fh 5ah 13h"));
        QCOMPARE(count->text(), QStringLiteral("3 of 3"));
        QCOMPARE(monitor.anchor(), (TextPos{85, 1}));
        step(Qt::Key_Return, {}, "1 of 3");
        QCOMPARE(monitor.anchor(), (TextPos{5, 1}));
        QVERIFY(bar->value() <= 5);
        step(Qt::Key_F3, {}, "2 of 3");
        step(Qt::Key_F3, Qt::ShiftModifier, "1 of 3");
        step(Qt::Key_Return, Qt::ShiftModifier, "3 of 3");

        // Lines that arrive are counted, and the match stays in view.
        const int top = bar->value();
        receive(20, 10);
        QTRY_COMPARE(count->text(), QStringLiteral("3 of 5"));
        QCOMPARE(bar->value(), top);
        QTest::mouseClick(w.findChild<QCheckBox*>("caseSensitiveBox"), Qt::LeftButton);
        QCOMPARE(count->text(), QStringLiteral("0 of 0"));
        QVERIFY(!monitor.hasSelection());
        QTest::mouseClick(w.findChild<QCheckBox*>("caseSensitiveBox"), Qt::LeftButton);
        QCOMPARE(count->text(), QStringLiteral("3 of 5"));

        // Esc closes the bar and stops searching; F3 opens it again and goes on.
        w.findChild<QLineEdit*>("findEdit")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!findBar->isVisible());
        QCOMPARE(QApplication::focusWidget(), &monitor);
        QCOMPARE(monitor.matchCount(), 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3);
        QVERIFY(findBar->isVisible());
        QCOMPARE(count->text(), QStringLiteral("4 of 5"));

        // Every match in view is painted, the one gone to as the selection.
        const QImage image = monitor.viewport()->grab().toImage();
        int matchPixels = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                matchPixels += image.pixelColor(x, y) == QColor(255, 214, 64);
        }
        QVERIFY2(matchPixels > 100, qPrintable(QString::number(matchPixels)));

        // The view follows again as it always does: back at the end, or when the lines are replaced.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);
        QVERIFY(monitor.following());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        step(Qt::Key_Return, {}, "4 of 5");
        // To 1001 lines, and one more.
        receive(int(MonitorLines::kLimit) + 2 - monitor.lineCount(), 1000);
        QCOMPARE(monitor.lineCount(), 1);
        QVERIFY(monitor.following());
        QTRY_COMPARE(count->text(), QStringLiteral("0 of 0"));
        receive(10, 8);
        QTRY_COMPARE(count->text(), QStringLiteral("0 of 1"));
        QCOMPARE(bar->value(), bar->maximum());
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
