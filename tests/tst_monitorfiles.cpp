// Monitor files, the session log and the font of the main window: save, load, log, the dialogs'
// names, failures.
#include "BlockText.h"
#include "ClickLabel.h"
#include "CodePage.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "MainWindow.h"
#include "MonitorFile.h"
#include "MonitorView.h"
#include "ScriptedDialogs.h"
#include "SettingsFile.h"
#include "TerminationSignals.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFontDialog>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
const QString kNotRegular = QStringLiteral("It is not a regular file.");

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Writing more than this many bytes fails, for root as well (the tests run as root).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        // What the program's start does; a child process of the real program meets the limit in
        // tst_commandline.
        m_oldHandler = ignoreFileSizeSignal();
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    SignalHandler m_oldHandler = nullptr;
};

// Keeps every block it is handed, to know what the log must hold.
class RecordingWindow : public MainWindow {
public:
    void displayReceivedBlock(std::span<const uint8_t> block) override
    {
        blocks.emplace_back(reinterpret_cast<const char*>(block.data()), qsizetype(block.size()));
        received += qsizetype(block.size());
        MainWindow::displayReceivedBlock(block);
    }
    std::vector<QByteArray> blocks;
    qsizetype received = 0;
};
} // namespace

class MonitorFilesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<RecordingWindow> m_main;
    std::unique_ptr<ScriptedDialogs> m_dialogs;

    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    MonitorView* monitor() const { return m_main->monitor(); }
    QString status() const { return m_main->statusPanels()->panelText(1); }
    void save(const QString& name)
    {
        m_dialogs->fileNames.push_back(name);
        m_main->onSaveAsChosen();
    }
    void open(const QString& name)
    {
        m_dialogs->fileNames.push_back(name);
        m_main->onOpenChosen();
    }
    QAction* logItem() const { return m_main->findChild<QAction*>(QStringLiteral("logAction")); }
    QLabel* logLabel() const { return m_main->findChild<QLabel*>(QStringLiteral("logSizeLabel")); }
    void startLog(const QString& name)
    {
        m_dialogs->fileNames.push_back(name);
        logItem()->trigger();
    }
    // A module on a pseudo-terminal; true once `bytes` have all been received.
    [[nodiscard]] bool receive(Pty& pty, const QByteArray& bytes)
    {
        const qsizetype until = m_main->received + bytes.size();
        pty.write(bytes);
        return waitUntil([&] { return m_main->received == until; }, 10000);
    }

private slots:
    void init()
    {
        resetLink();
        const QString ini = path("zelvoterm.ini");
        writeFile(ini, "[COMPORT]\r\nPortName=/dev/no-such-port\r\n");
        setSettingsFilePath(ini);
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_main = std::make_unique<RecordingWindow>();
        m_main->show();
    }
    void cleanup()
    {
        m_main.reset();
        m_dialogs.reset();
        resetLink();
    }

    void savedLinesLoadBackTheSame()
    {
        const QStringList lines = {QStringLiteral(" 0Fh 5Ah 13h"), QStringLiteral("日本語ﾃｷｽﾄ ABC 0Dh 0Ah"),
                                   QString(), QStringLiteral("last"), QString()};
        monitor()->setLines(lines);
        const QString file = path("round.Txt");
        save(file);
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(status(), file);
        const Dialogs::FileRequest& request = m_dialogs->fileRequests.last();
        QCOMPARE(request.nameFilters,
                 QStringList({QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ (*.Txt)"), QStringLiteral("全てのﾌｧｲﾙ (*.*)")}));
        QCOMPARE(request.defaultSuffix, QStringLiteral("Txt"));
        // Shift-JIS on disk, CR LF after every line.
        QCOMPARE(readAll(file),
                 " 0Fh 5Ah 13h\r\n" + hex("93FA 967B 8CEA C3 B7 BD C4") + " ABC 0Dh 0Ah\r\n\r\nlast\r\n\r\n");

        m_main->onMonitorClearClicked();
        m_main->statusPanels()->setPanelText(1, QString());
        open(file);
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(monitor()->lines(), lines);
        QCOMPARE(status(), file);
    }

    // What a module sent is saved as it came, opens as the lines shown and saves again the same:
    // bytes that make no character show in hexadecimal, each of two pairs of one character stays
    // itself, and a file that starts with a UTF-8 byte-order mark is not read as UTF-8 unless the
    // rest is.
    void receivedLinesSaveOpenAndSaveAgainUnchanged()
    {
        Pty pty;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        m_main->toggleSendMode(); // Text
        QByteArray everyByte;
        for (int b = 0x10; b <= 0xFF; ++b)
            everyByte += char(b);
        const QList<QByteArray> blocks = {hex("EF BB BF 93 FA"), hex("ED 40 87 90 FA 5C 81 E0"),
                                          hex("EE EE C0 41"),    hex("85 40 82 0D"),
                                          hex("80 A0 FD FE FF"), everyByte};
        for (const QByteArray& block : blocks)
            QVERIFY(receive(pty, block));
        m_main->toggleSendMode(); // "Binary"
        QVERIFY(receive(pty, "AB"));
        const QStringList shown = monitor()->lines();
        QCOMPARE(shown.mid(0, 5),
                 QStringList({QStringLiteral(" EFhｻｿ日"), QStringLiteral("纊≒纊≒"), QStringLiteral(" EEh鋿A"),
                              QStringLiteral(" 85h@ 82h 0Dh"), QStringLiteral(" 80h A0h FDh FEh FFh")}));

        save(path("received.Txt"));
        QVERIFY(m_dialogs->messages.isEmpty());
        const QByteArray saved = readAll(path("received.Txt"));
        QVERIFY(saved.startsWith(blocks[0] + "\r\n" + blocks[1] + "\r\n" + blocks[2] + "\r\n" +
                                 hex("85 40 82") + " 0Dh\r\n" + blocks[4] + "\r\n"));
        QVERIFY(saved.endsWith(" 41h 42h\r\n"));
        open(path("received.Txt"));
        QCOMPARE(monitor()->lines(), shown);
        save(path("again.Txt"));
        QCOMPARE(readAll(path("again.Txt")), saved);
    }

    void aSaveRightAfterReceptionHoldsEveryLine()
    {
        // No event is processed between the blocks and the save: none of the lines is painted yet.
        QByteArray expected;
        for (int i = 0; i < 300; ++i) {
            const uint8_t block[] = {0x0F, uint8_t(i), 0xFF};
            m_main->displayReceivedBlock(block);
            expected += QString::asprintf(" 0Fh %02Xh FFh\r\n", i & 0xFF).toLatin1();
        }
        m_main->toggleSendMode(); // Text
        const QByteArray japanese = hex("93FA 967B");
        m_main->displayReceivedBlock(asBlock(japanese));
        expected += japanese + "\r\n";
        const QString file = path("burst.Txt");
        save(file);
        QCOMPARE(readAll(file), expected);
    }

    void lineEndsAndEncodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("savedAgain");
        QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd") << QStringList{"a", "b", "c", "d"}
                               << QByteArray("a\r\nb\r\nc\r\nd\r\n");
        QTest::newRow("CR then CR LF") << QByteArray("a\r\r\nb\n\n") << QStringList{"a", "", "b", ""}
                                       << QByteArray("a\r\n\r\nb\r\n\r\n");
        QTest::newRow("LF CR is two ends")
            << QByteArray("a\n\rb") << QStringList{"a", "", "b"} << QByteArray("a\r\n\r\nb\r\n");
        QTest::newRow("empty") << QByteArray() << QStringList{} << QByteArray();
        QTest::newRow("one line end") << QByteArray("\r\n") << QStringList{""} << QByteArray("\r\n");
        QTest::newRow("Shift-JIS") << hex("93FA 967B 0D0A") << QStringList{QStringLiteral("日本")}
                                   << hex("93FA 967B 0D0A");
        // Lines read as UTF-8 save as they were read, byte-order mark included.
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF\xE6\x97\xA5\xE6\x9C\xAC\r\nx")
                                        << QStringList{QStringLiteral("日本"), "x"}
                                        << QByteArray("\xEF\xBB\xBF\xE6\x97\xA5\xE6\x9C\xAC\r\nx\r\n");
        QTest::newRow("BOM, then Shift-JIS")
            << hex("EFBBBF 93FA 967B 0D0A") << QStringList{QStringLiteral(" EFhｻｿ日本")}
            << hex("EFBBBF 93FA 967B 0D0A");
        QTest::newRow("a line of a megabyte")
            << QByteArray(1 << 20, 'A') << QStringList{QString(1 << 20, u'A')}
            << QByteArray(1 << 20, 'A') + "\r\n";
    }
    void lineEndsAndEncodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, savedAgain);
        const QString file = path("ends.Txt");
        writeFile(file, bytes);
        open(file);
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(monitor()->lines(), lines);
        QCOMPARE(monitor()->lineCount(), lines.size());
        save(path("again.Txt"));
        QCOMPARE(readAll(path("again.Txt")), savedAgain);
    }

    void aLongFileLoadsWholeAndTheNextBlockEmptiesTheMonitor()
    {
        QByteArray bytes;
        QStringList lines;
        for (int i = 0; i < 5000; ++i) {
            lines << QStringLiteral("line %1").arg(i);
            bytes += "line " + QByteArray::number(i) + "\r\n";
        }
        const QString file = path("long.Txt");
        writeFile(file, bytes);
        open(file);
        QCOMPARE(monitor()->lineCount(), 5000);
        QCOMPARE(monitor()->lines(), lines);
        const uint8_t block[] = {0x0F, 0x5A};
        m_main->displayReceivedBlock(block);
        QCOMPARE(monitor()->lines(), QStringList{QStringLiteral(" 0Fh 5Ah")});
    }

    void aBinaryFileLoadsAsText()
    {
        QByteArray bytes(256 * 1024, '\0');
        QRandomGenerator rng(3);
        for (qsizetype i = 1024; i < bytes.size(); ++i)
            bytes[i] = char(rng.bounded(256));
        const QString file = path("binary.bin");
        writeFile(file, bytes);
        open(file);
        QVERIFY(m_dialogs->messages.isEmpty());
        QVERIFY(monitor()->lineCount() > 100);
        QCOMPARE(status(), file);
    }

    void namesGetTheExtensionAndPassBetweenTheDialogs()
    {
        monitor()->setLines({QStringLiteral("saved")});
        save(path("report"));
        QVERIFY(QFile::exists(path("report.Txt")));
        QCOMPARE(status(), path("report.Txt"));
        // The open dialog starts with the name saved last.
        m_main->onOpenChosen(); // cancelled
        QCOMPARE(m_dialogs->fileRequests.last().fileName, path("report.Txt"));

        writeFile(path("other.Txt"), "other\r\n");
        open(path("other"));
        QCOMPARE(monitor()->lines(), QStringList{QStringLiteral("other")});
        QCOMPARE(status(), path("other.Txt"));
        // The save dialog starts with the name opened last, also after a cancel.
        m_main->onSaveAsChosen();
        QCOMPARE(m_dialogs->fileRequests.last().fileName, path("other.Txt"));
        m_main->onSaveAsChosen();
        QCOMPARE(m_dialogs->fileRequests.last().fileName, path("other.Txt"));

        // A file that has no extension and exists opens as it is.
        writeFile(path("README"), "plain\n");
        open(path("README"));
        QCOMPARE(monitor()->lines(), QStringList{QStringLiteral("plain")});
    }

    void anExtensionAddedAfterTheDialogAsksBeforeOverwriting()
    {
        writeFile(path("kept.Txt"), "old\r\n");
        monitor()->setLines({QStringLiteral("new")});
        m_dialogs->answers.push_back(Dialogs::Answer::No);
        save(path("kept"));
        QCOMPARE(m_dialogs->messages.size(), 1);
        QVERIFY(m_dialogs->messages[0].text.contains(path("kept.Txt")));
        QCOMPARE(readAll(path("kept.Txt")), QByteArray("old\r\n"));
        QVERIFY(status().isEmpty());
        m_dialogs->answers.push_back(Dialogs::Answer::Yes);
        save(path("kept"));
        QCOMPARE(readAll(path("kept.Txt")), QByteArray("new\r\n"));
        // A name the dialog returned as it is was asked about there.
        save(path("kept.Txt"));
        QCOMPARE(m_dialogs->messages.size(), 2);
    }

    void filesThatCannotBeLoadedLeaveMonitorAndStatusAlone_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "missing.Txt";
        QTest::newRow("inside a file") << "plain.Txt/inner.Txt";
        QTest::newRow("a folder") << "folder.Txt";
        QTest::newRow("a device") << "/dev/zero";
        QTest::newRow("too large") << "huge.Txt";
        QTest::newRow("too many lines") << "lines.Txt";
    }
    void filesThatCannotBeLoadedLeaveMonitorAndStatusAlone()
    {
        QFETCH(QString, name);
        writeFile(path("plain.Txt"), "x\r\n");
        QDir(m_dir.path()).mkpath(QStringLiteral("folder.Txt"));
        QFile huge(path("huge.Txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(kMonitorFileLimit + 1));
        huge.close();
        writeFile(path("lines.Txt"), QByteArray(kMonitorFileLines, '\n') + "last");

        monitor()->setLines({QStringLiteral("kept")});
        m_main->statusPanels()->setPanelText(1, QStringLiteral("status"));
        open(name.startsWith(u'/') ? name : m_dir.filePath(name));
        QCOMPARE(m_dialogs->messages.size(), 1);
        QCOMPARE(m_dialogs->messages[0].icon, Dialogs::Icon::Critical);
        QCOMPARE(monitor()->lines(), QStringList{QStringLiteral("kept")});
        QCOMPARE(status(), QStringLiteral("status"));
    }

    // The message names the system's reason; nothing but a regular file is ever replaced.
    void aFailedSaveSaysWhyAndLeavesWhatWasThere_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("inside a file") << "plain.Txt/inner.Txt" << QString::fromLocal8Bit(strerror(ENOTDIR));
        QTest::newRow("a folder") << "folder.Txt" << kNotRegular;
        QTest::newRow("a link to a folder") << "folder-link.Txt" << kNotRegular;
        QTest::newRow("a link to a FIFO") << "fifo-link.Txt" << kNotRegular;
        QTest::newRow("disk refuses the bytes") << "plain.Txt" << QString::fromLocal8Bit(strerror(EFBIG));
    }
    void aFailedSaveSaysWhyAndLeavesWhatWasThere()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QByteArray old = "the old file\r\n";
        writeFile(dir.filePath(QStringLiteral("plain.Txt")), old);
        QDir(dir.path()).mkpath(QStringLiteral("folder.Txt"));
        QVERIFY(QFile::link(QStringLiteral("folder.Txt"), dir.filePath(QStringLiteral("folder-link.Txt"))));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600), 0);
        QVERIFY(QFile::link(QStringLiteral("fifo"), dir.filePath(QStringLiteral("fifo-link.Txt"))));
        const auto entries = [&] {
            return QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        };
        const QStringList before = entries();
        QStringList lines;
        for (int i = 0; i < 200; ++i)
            lines << QStringLiteral("line %1 of a monitor larger than the file size limit").arg(i);
        monitor()->setLines(lines);
        m_main->statusPanels()->setPanelText(1, QStringLiteral("status"));
        {
            FileSizeLimit limit(4096);
            save(dir.filePath(name));
        }
        QCOMPARE(m_dialogs->messages.size(), 1);
        QVERIFY2(m_dialogs->messages[0].text.endsWith(reason), qPrintable(m_dialogs->messages[0].text));
        QCOMPARE(status(), QStringLiteral("status"));
        QCOMPARE(monitor()->lines(), lines);
        QCOMPARE(readAll(dir.filePath(QStringLiteral("plain.Txt"))), old);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder.Txt"))).isDir());
        QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("fifo"))).isFile(), false);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("fifo-link.Txt"))).isSymLink());
        // No half-written temporary file is left beside it.
        QCOMPARE(entries(), before);
    }

    // A flood with more than 1001 lines and a Monitor Clear in the middle, in both send modes and
    // time-stamped: the log holds every line once, in order, after what the file held, and its last
    // lines are those the monitor shows.
    void theLogKeepsEveryLineAfterWhatTheFileHeld()
    {
        Pty pty;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        const QString file = path("session.Txt");
        writeFile(file, "earlier session\r\n");
        QCOMPARE(logItem()->text(), QStringLiteral("ログ記録 (&Log)..."));
        m_main->findChild<QCheckBox*>(QStringLiteral("timeStampBox"))->setChecked(true);
        startLog(path("session"));
        QVERIFY(logItem()->isChecked());
        const Dialogs::FileRequest& request = m_dialogs->fileRequests.last();
        QCOMPARE(request.nameFilters,
                 QStringList({QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ (*.Txt)"), QStringLiteral("全てのﾌｧｲﾙ (*.*)")}));
        QCOMPARE(request.defaultSuffix, QStringLiteral("Txt"));
        QCOMPARE(request.caption, QStringLiteral("ログ記録 (Log)"));
        QVERIFY(!request.confirmOverwrite); // an existing file is appended to
        QVERIFY2(
            QRegularExpression(QStringLiteral("^\\d{8}_\\d{6}\\.Txt$")).match(request.fileName).hasMatch(),
            qPrintable(request.fileName));
        QVERIFY(!logLabel()->isHidden());
        QCOMPARE(logLabel()->text(), QStringLiteral("Log 17 bytes"));

        QByteArray frames;
        for (int i = 0; i < 1200; ++i)
            frames += transmitterReport(uint32_t(i), uint8_t(i));
        QByteArray text;
        for (int i = 0; text.size() < 20000; ++i)
            text += "line " + QByteArray::number(i) + "\r\n";
        QVERIFY(receive(pty, frames));
        m_main->onMonitorClearClicked();
        const size_t clearedAt = m_main->blocks.size();
        QVERIFY(receive(pty, text));
        const size_t binaryBlocks = m_main->blocks.size();
        m_main->toggleSendMode(); // Text
        QVERIFY(receive(pty, frames.left(600 * 19)));
        const size_t blocks = m_main->blocks.size();

        // Written while the log runs, without waiting for it to stop.
        QStringList logged;
        QVERIFY(waitUntil(
            [&] {
                logged = loadMonitorFile(file).lines;
                return logged.size() == qsizetype(blocks) + 1;
            },
            3000));
        QCOMPARE(logged[0], QStringLiteral("earlier session"));
        const QRegularExpression stamp(
            QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.0\\d{3} =>"));
        for (size_t i = 0; i < blocks; ++i) {
            const std::span<const uint8_t> block = asBlock(m_main->blocks[i]);
            const QString line = logged[qsizetype(i) + 1];
            QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
            QCOMPARE(line.mid(27), i < binaryBlocks ? renderBinary(block) : renderText(block));
        }
        const QStringList shown = monitor()->lines();
        QCOMPARE(shown.size(), qsizetype(blocks - clearedAt));
        QCOMPARE(logged.mid(logged.size() - shown.size()), shown);

        // Unticking closes the file; a line received at the close of the program still gets in.
        logItem()->trigger();
        QVERIFY(!logItem()->isChecked());
        QVERIFY(logLabel()->isHidden());
        startLog(file);
        QVERIFY(receive(pty, "last"));
        m_main->close();
        logged = loadMonitorFile(file).lines;
        QCOMPARE(logged.size(), qsizetype(blocks) + 2);
        QVERIFY2(logged.last().endsWith(QStringLiteral(" =>last")), qPrintable(logged.last()));
    }

    // The port at full speed in "Binary" mode for longer than a log that falls behind could hold
    // its lines: every line reaches the file and the log runs on.
    void theLogKeepsUpWithThePortAtFullSpeed()
    {
        Pty pty;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        const QString file = path("flood.Txt");
        startLog(file);
        // No 0F in it: blocks of 4097 bytes, as the buffer overflows. A thread of its own writes
        // as fast as the pseudo-terminal takes them.
        const QByteArray flood(24 * 1024 * 1024, 'A');
        std::thread module([fd = pty.masterFd(), &flood] {
            for (qsizetype done = 0; done < flood.size();) {
                const ssize_t n = ::write(fd, flood.constData() + done, size_t(flood.size() - done));
                if (n > 0)
                    done += n;
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        });
        // An event loop of its own: QTest::qWait sleeps between its rounds, which slows reception.
        QEventLoop loop;
        QTimer check;
        connect(&check, &QTimer::timeout, &loop, [&] {
            if (m_main->received == flood.size())
                loop.quit();
        });
        check.start(10);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
        module.join();
        QCOMPARE(m_main->received, flood.size());
        m_main->updateLogStatus();
        QVERIFY2(m_dialogs->messages.isEmpty(), qPrintable(m_dialogs->messages.value(0).text));
        QVERIFY(logItem()->isChecked());
        logItem()->trigger();
        m_main->close();
        const QByteArray logged = readAll(file);
        QCOMPARE(logged.count('\n'), qsizetype(m_main->blocks.size()));
        QCOMPARE(logged.size(), flood.size() * 4 + 2 * qsizetype(m_main->blocks.size()));
    }

    void aFailingLogStopsWithItsMessageAndReceptionGoesOn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk refuses the bytes") << "full.Txt" << QString::fromLocal8Bit(strerror(EFBIG));
        QTest::newRow("file removed") << "removed.Txt" << QString::fromLocal8Bit(strerror(ENOENT));
        QTest::newRow("a folder, at the start") << "folder.Txt" << kNotRegular;
    }
    void aFailingLogStopsWithItsMessageAndReceptionGoesOn()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        Pty pty;
        commSettings.portName = pty.slavePath();
        QVERIFY(commOpen());
        const QString file = path(qPrintable(name));
        QDir(m_dir.path()).mkpath(QStringLiteral("folder.Txt"));
        std::optional<FileSizeLimit> limit;
        if (name == u"full.Txt")
            limit.emplace(4096);
        startLog(file);
        if (name == u"removed.Txt")
            QVERIFY(QFile::remove(file));
        if (logItem()->isChecked()) {
            QVERIFY(receive(pty, QByteArray(3000, 'A')));
            QVERIFY(waitUntil([&] { return !m_dialogs->messages.isEmpty(); }));
        }
        limit.reset();
        QCOMPARE(m_dialogs->messages.size(), 1);
        QVERIFY2(m_dialogs->messages[0].text.contains(u'"' + file + u'"') &&
                     m_dialogs->messages[0].text.contains(reason),
                 qPrintable(m_dialogs->messages[0].text));
        QVERIFY(!logItem()->isChecked());
        QVERIFY(logLabel()->isHidden());
        QVERIFY(receive(pty, "after"));
        QCOMPARE(monitor()->lines().last(), QStringLiteral(" 61h 66h 74h 65h 72h"));
        QCOMPARE(m_dialogs->messages.size(), 1);
    }

    // However the running log's file is named, the monitor is not saved over it: a replaced file
    // would end the log and lose every line that the monitor no longer holds.
    void theMonitorIsNotSavedOverTheRunningLog_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("its own name") << "session.Txt";
        QTest::newRow("a symbolic link to it") << "link.Txt";
        QTest::newRow("a hard link to it") << "hard.Txt";
        QTest::newRow("through a linked folder") << "folder-link/session.Txt";
    }
    void theMonitorIsNotSavedOverTheRunningLog()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("session.Txt"));
        startLog(file);
        QVERIFY(logItem()->isChecked());
        QVERIFY(QFile::link(file, dir.filePath(QStringLiteral("link.Txt"))));
        QCOMPARE(::link(QFile::encodeName(file).constData(),
                        QFile::encodeName(dir.filePath(QStringLiteral("hard.Txt"))).constData()),
                 0);
        QVERIFY(QFile::link(dir.path(), dir.filePath(QStringLiteral("folder-link"))));
        QStringList lines;
        const auto receive = [&](int count) {
            for (int i = 0; i < count; ++i) {
                const QByteArray report = transmitterReport(uint32_t(i), uint8_t(lines.size()));
                m_main->displayReceivedBlock(asBlock(report));
                lines << renderBinary(asBlock(report));
            }
        };
        receive(1100); // the monitor has emptied itself once
        m_main->statusPanels()->setPanelText(1, QStringLiteral("status"));
        save(dir.filePath(name));
        QCOMPARE(m_dialogs->messages.size(), 1);
        QVERIFY2(m_dialogs->messages[0].text.contains(dir.filePath(name)),
                 qPrintable(m_dialogs->messages[0].text));
        QCOMPARE(status(), QStringLiteral("status"));
        receive(5);
        m_main->close();
        QCOMPARE(loadMonitorFile(file).lines, lines);
    }

    // A full disk, met by the log's writer in a child process that ignores SIGXFSZ as the program
    // does: the file ends with the last line that fitted whole, after what it held before.
    void aLogCutShortByAFullDiskEndsWithItsLastWholeLine_data()
    {
        QTest::addColumn<int>("limit");
        QTest::newRow("inside the first line") << 40;
        QTest::newRow("after some lines") << 4000;
    }
    void aLogCutShortByAFullDiskEndsWithItsLastWholeLine()
    {
        QFETCH(int, limit);
        const QString file = path("full.Txt");
        const QByteArray earlier = "earlier session\r\n";
        writeFile(file, earlier);
        QByteArray expected = earlier;
        bool full = false;
        std::vector<QByteArray> reports;
        for (int i = 0; i < 100; ++i) {
            reports.push_back(transmitterReport(uint32_t(i), uint8_t(i)));
            const QByteArray line = renderBinary(asBlock(reports.back())).toLatin1() + "\r\n";
            full = full || expected.size() + line.size() > limit;
            if (!full)
                expected += line;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(30);
            ignoreFileSizeSignal();
            const rlimit size{rlim_t(limit), rlim_t(limit)};
            ::setrlimit(RLIMIT_FSIZE, &size);
            startLog(file);
            for (const QByteArray& report : reports)
                m_main->displayReceivedBlock(asBlock(report));
            m_main->close();
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, qPrintable(QString::number(status, 16)));
        QCOMPARE(readAll(file), expected);
    }

    void theChosenFontShowsItsSizeAndColour()
    {
        auto* panel = m_main->findChild<QLabel*>(QStringLiteral("fontPanel"));
        const QFont before = monitor()->font();
        const QColor black = monitor()->palette().color(QPalette::Text);
        m_main->onFontPanelDoubleClicked(); // cancelled
        QCOMPARE(panel->text(), QStringLiteral("Size:%1").arg(before.pointSize()));
        QCOMPARE(m_dialogs->fontOffered->colour, black);
        QFont chosen(QStringLiteral("IPAGothic"));
        chosen.setPointSize(14);
        chosen.setBold(true);
        const QColor maroon(128, 0, 0);
        m_dialogs->fontAnswer = Dialogs::FontChoice{chosen, maroon};
        m_main->onFontPanelDoubleClicked();
        QCOMPARE(panel->text(), QStringLiteral("Size:14"));
        QCOMPARE(monitor()->font().pointSize(), 14);
        QVERIFY(monitor()->font().bold());
        QCOMPARE(monitor()->palette().color(QPalette::Text), maroon);
        monitor()->setLines({QStringLiteral("MMMM")});
        const QImage shown = monitor()->grab().toImage();
        bool painted = false;
        for (int y = 0; y < shown.height() && !painted; ++y) {
            for (int x = 0; x < shown.width() && !painted; ++x)
                painted = shown.pixelColor(x, y) == maroon;
        }
        QVERIFY(painted);
        // The next choice starts from the colour in use.
        m_dialogs->fontAnswer.reset();
        m_main->onFontPanelDoubleClicked();
        QCOMPARE(m_dialogs->fontOffered->colour, maroon);
    }

    // The real dialog, opened by a double-click on the panel; the keys go to the focused widget.
    void enterAndEscAnswerTheWholeFontDialog_data()
    {
        QTest::addColumn<bool>("inList");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("Enter in the size box") << false << int(Qt::Key_Return) << true;
        QTest::newRow("Enter in a list") << true << int(Qt::Key_Enter) << true;
        QTest::newRow("Esc in the size box") << false << int(Qt::Key_Escape) << false;
        QTest::newRow("Esc in a list") << true << int(Qt::Key_Escape) << false;
    }
    void enterAndEscAnswerTheWholeFontDialog()
    {
        QFETCH(bool, inList);
        QFETCH(int, key);
        QFETCH(bool, accepted);
        m_dialogs.reset();
        auto* panel = m_main->findChild<ClickLabel*>(QStringLiteral("fontPanel"));
        const QString before = panel->text();
        bool chooserHidden = false;
        bool leftOpen = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog && QTest::qWaitForWindowActive(dialog));
            auto* chooser = dialog->findChild<QFontDialog*>();
            QLineEdit* size = nullptr;
            for (QLineEdit* edit : chooser->findChildren<QLineEdit*>())
                size = edit->validator() ? edit : size;
            size->setFocus(Qt::MouseFocusReason);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("14"));
            if (inList)
                chooser->findChild<QListView*>()->setFocus(Qt::MouseFocusReason);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
            chooserHidden = chooser->isHidden();
            leftOpen = dialog->isVisible();
            if (leftOpen)
                dialog->reject();
        });
        QTest::mouseDClick(panel, Qt::LeftButton, {}, panel->rect().center());
        QVERIFY(!chooserHidden);
        QVERIFY(!leftOpen);
        QCOMPARE(panel->text(), accepted ? QStringLiteral("Size:14") : before);
    }
};

QTEST_MAIN(MonitorFilesTest)
#include "tst_monitorfiles.moc"
