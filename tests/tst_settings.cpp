// The settings file and the profile reader/writer under it.
#include "CodePage.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "ProfileFile.h"
#include "RegularFile.h"
#include "SettingsFile.h"
#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {
// Runs `act` in a child process and returns its exit status. As a user, root's privileges are
// dropped there (to nobody's), so that folder and file permissions apply.
int inChildProcess(const std::function<int()>& act, bool asUser = false)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (asUser && ::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        ::_exit(act());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

class SettingsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("zelvoterm.ini")); }
    void writeFile(const QByteArray& bytes) const
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray fileBytes() const
    {
        QFile f(path());
        return QFileInfo(path()).isFile() && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        QFile::remove(path());
        setSettingsFilePath(path());
        resetLink();
    }
    void cleanupTestCase() { setSettingsFilePath({}); }

    void settingsFileLocation_data()
    {
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<QByteArray>("xdgConfigHome");
        QTest::addColumn<QString>("expected");
        QTest::newRow("writable folder: beside the program")
            << true << QByteArray("/x") << QStringLiteral("/opt/zt/bin/zelvoterm.ini");
        QTest::newRow("read-only folder: the configuration folder")
            << false << QByteArray() << QStringLiteral("/home/u/.config/zelvoterm/zelvoterm.ini");
        QTest::newRow("XDG_CONFIG_HOME")
            << false << QByteArray("/x/conf") << QStringLiteral("/x/conf/zelvoterm/zelvoterm.ini");
        QTest::newRow("relative XDG_CONFIG_HOME: ignored")
            << false << QByteArray("conf") << QStringLiteral("/home/u/.config/zelvoterm/zelvoterm.ini");
    }
    void settingsFileLocation()
    {
        QFETCH(bool, folderWritable);
        QFETCH(QByteArray, xdgConfigHome);
        QFETCH(QString, expected);
        const QByteArray home = qgetenv("HOME");
        const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", "/home/u");
        qputenv("XDG_CONFIG_HOME", xdgConfigHome);
        const QString found = defaultSettingsPath(QStringLiteral("/opt/zt/bin/zelvoterm"), folderWritable);
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", xdg);
        QCOMPARE(found, expected);
        // The test program's folder is writable; a file named on the command line takes precedence.
        setSettingsFilePath({});
        QVERIFY(settingsFilePath().endsWith(QStringLiteral("/tst_settings.ini")));
        setSettingsFilePath(path());
        QCOMPARE(settingsFilePath(), path());
    }

    void theConfigurationFolderIsMadeAtTheFirstSave()
    {
        const QString nested = m_dir.filePath(QStringLiteral("config/zelvoterm/zelvoterm.ini"));
        setSettingsFilePath(nested);
        QVERIFY(saveSettings());
        QVERIFY(QFileInfo(nested).isFile());
    }

    void missingFileGivesDefaultsAndSavingWritesEveryKey()
    {
        commSettings.portName = QStringLiteral("junk");
        rfChannel = 1;
        autoReconnect = true;
        loadSettings();
        const CommSettings& s = commSettings;
        QCOMPARE(s.portName, QStringLiteral("COM1"));
        QCOMPARE(s.baudRate, 38400);
        QCOMPARE(s.dataBits, 8);
        QCOMPARE(s.stopBits, 1);
        QCOMPARE(s.parity, QStringLiteral("NONE"));
        QCOMPARE(s.sendHeader, QStringLiteral("無し"));
        QCOMPARE(s.sendDelimiter, QStringLiteral("無し"));
        QCOMPARE(s.receiveHeader, QStringLiteral("無し"));
        QCOMPARE(s.receiveDelimiter, QStringLiteral("無し"));
        QCOMPARE(s.receiveTimeoutMs, 100);
        QCOMPARE(rfChannel, 33);
        QCOMPARE(rfPower, 3);
        QCOMPARE(rfRateCode, 7);
        QCOMPARE(autoReconnect, false);

        QVERIFY(saveSettings());
        const QByteArray expected =
            QByteArray("[COMPORT]\r\nPortName=COM1\r\nBaudRate=38400\r\nByteSize=8\r\n"
                       "StopBits=1\r\nParity__=NONE\r\nSendHead=") +
            hex("96B382B5") + "\r\nSendDlmt=" + hex("96B382B5") + "\r\nRecvHead=" + hex("96B382B5") +
            "\r\nRecvDlmt=" + hex("96B382B5") +
            "\r\nRecvTout=100\r\nAutoReconnect=0\r\n"
            "[Dev.920M]\r\nRFch____=33\r\nRFpw____=3\r\nRFbp____=7\r\n";
        QCOMPARE(fileBytes(), expected);
    }

    void badValuesFallBackKeyByKey()
    {
        writeFile("[comport]\r\nBaudRate=abc\r\nRecvTout=\r\nPortName=\r\nstopbits = 2 \r\n"
                  "ByteSize=99999999999999\r\n[Dev.920M]\r\nRFch____=-5\r\nRFpw____=3.5\r\n");
        loadSettings();
        QCOMPARE(commSettings.baudRate, 38400);
        QCOMPARE(commSettings.receiveTimeoutMs, 100);
        QCOMPARE(commSettings.portName, QString()); // present but empty: empty, not the default
        QCOMPARE(commSettings.stopBits, 2);         // names compare case-insensitively, blanks trimmed
        QCOMPARE(commSettings.dataBits, 8);
        QCOMPARE(rfChannel, -5);
        QCOMPARE(rfPower, 3);
    }

    void negativeTimeOutIsKeptAsWritten()
    {
        writeFile("[COMPORT]\r\nRecvTout=-1\r\n");
        loadSettings();
        QCOMPARE(commSettings.receiveTimeoutMs, -1);
        QVERIFY(saveSettings());
        QVERIFY(fileBytes().contains("RecvTout=-1\r\n"));
    }

    // Read as the Windows profile calls read them, and written back in the file's own form.
    void byteOrderMarkAndEveryKindOfLineEndAreKept_data()
    {
        QTest::addColumn<QByteArray>("mark");
        QTest::addColumn<QByteArray>("end");
        QTest::newRow("CR LF") << QByteArray() << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray() << QByteArray("\n");
        QTest::newRow("lone CR") << QByteArray() << QByteArray("\r");
        QTest::newRow("byte-order mark, CR LF") << QByteArray("\xEF\xBB\xBF") << QByteArray("\r\n");
        QTest::newRow("byte-order mark, lone CR") << QByteArray("\xEF\xBB\xBF") << QByteArray("\r");
    }
    void byteOrderMarkAndEveryKindOfLineEndAreKept()
    {
        QFETCH(QByteArray, mark);
        QFETCH(QByteArray, end);
        const QList<QByteArray> lines = {"[COMPORT]", "PortName=COM3", "BaudRate=9600", "", "[Other]", "k=v"};
        writeFile(mark + lines.join(end) + end);
        for (int pass = 0; pass < 2; ++pass) {
            loadSettings();
            QCOMPARE(commSettings.portName, QStringLiteral("COM3"));
            QCOMPARE(commSettings.baudRate, 9600);
            QVERIFY(saveSettings());
            const QByteArray bytes = fileBytes();
            QCOMPARE(bytes.toLower().count("[comport]"), 1);
            QVERIFY(
                bytes.startsWith(mark + "[COMPORT]" + end + "PortName=COM3" + end + "BaudRate=9600" + end));
            QVERIFY(bytes.contains(end + "[Other]" + end + "k=v" + end));
            QCOMPARE(bytes.count('\r') + bytes.count('\n'), bytes.count(end) * end.size());
        }
    }

    // The keys a save adds must not push the file beyond what the next start reads.
    void aSaveThatWouldOutgrowTheReadLimitIsRefused()
    {
        RecordingView view;
        const QByteArray head = "[COMPORT]\r\nBaudRate=9600\r\n;";
        const QByteArray file = head + QByteArray(ProfileFile::kMaxBytes - head.size() - 2, 'x') + "\r\n";
        writeFile(file);
        loadSettings();
        QCOMPARE(commSettings.baudRate, 9600);
        QVERIFY(!saveSettings());
        QCOMPARE(view.settingsStatus, QStringLiteral("NG ... ") + path());
        QCOMPARE(fileBytes(), file);
        loadSettings();
        QCOMPARE(commSettings.baudRate, 9600);
    }

    void japaneseTextsTravelAsCodePageBytes()
    {
        commSettings.sendDelimiter = QStringLiteral("無し");
        commSettings.portName = QStringLiteral("ポート");
        QVERIFY(saveSettings());
        QVERIFY(fileBytes().contains(QByteArray("SendDlmt=") + hex("96B382B5") + "\r\n"));
        commSettings = CommSettings{};
        loadSettings();
        QCOMPARE(commSettings.portName, QStringLiteral("ポート"));
    }

    void quotedValuesAreReadWithoutTheirQuotes_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("quoted") << QByteArray("\"COM3\"") << QStringLiteral("COM3");
        QTest::newRow("blanks outside") << QByteArray(" \"COM3\" ") << QStringLiteral("COM3");
        QTest::newRow("blanks inside") << QByteArray("\" COM3 \"") << QStringLiteral(" COM3 ");
        QTest::newRow("empty quotes") << QByteArray("\"\"") << QString();
        QTest::newRow("one pair only") << QByteArray("\"\"COM3\"\"") << QStringLiteral("\"COM3\"");
        QTest::newRow("unpaired") << QByteArray("\"COM3") << QStringLiteral("\"COM3");
        QTest::newRow("a lone quote") << QByteArray("\"") << QStringLiteral("\"");
        QTest::newRow("single quotes") << QByteArray("'COM3'") << QStringLiteral("COM3");
        QTest::newRow("unlike quotes") << QByteArray("'COM3\"") << QStringLiteral("'COM3\"");
    }
    void quotedValuesAreReadWithoutTheirQuotes()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, text);
        writeFile("[COMPORT]\r\nPortName=" + stored + "\r\n");
        loadSettings();
        QCOMPARE(commSettings.portName, text);
    }

    // A text the user has not changed goes back as it was read, even where decoding and encoding
    // again would give other bytes.
    void untouchedTextsAreWrittenBackByteForByte()
    {
        const QByteArray file = "[COMPORT]\r\nPortName=\"COM3\"\r\nBaudRate=38400\r\nByteSize=8\r\n"
                                "StopBits=1\r\nParity__=NONE\r\nSendHead=" +
                                hex("96B382B5") + "\r\nSendDlmt=" + hex("1A 1C 7F") +
                                "\r\nRecvHead=" + hex("80 A0 FD FE FF 81") + "\r\nRecvDlmt=" + hex("ED 40") +
                                "\r\nRecvTout=100\r\nAutoReconnect=1\r\n"
                                "[Dev.920M]\r\nRFch____=33\r\nRFpw____=3\r\nRFbp____=7\r\n";
        writeFile(file);
        loadSettings();
        QCOMPARE(commSettings.portName, QStringLiteral("COM3"));
        QCOMPARE(autoReconnect, true);
        QCOMPARE(commSettings.sendDelimiter, QStringLiteral("\x1A\x1C\x7F"));
        QVERIFY(saveSettings());
        QCOMPARE(fileBytes(), file);
        commSettings.receiveDelimiter = QStringLiteral("CR");
        QVERIFY(saveSettings());
        QCOMPARE(fileBytes(), QByteArray(file).replace("RecvDlmt=" + hex("ED 40"), "RecvDlmt=CR"));
    }

    // What a user types is read back as typed: ends that would be trimmed or taken for quotes are
    // quoted. A line break would end the line and start another key: that save is refused.
    void typedTextsReadBackAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("blanks around") << QStringLiteral(" COM3 ");
        QTest::newRow("in double quotes") << QStringLiteral("\"COM3\"");
        QTest::newRow("in single quotes") << QStringLiteral("'COM3'");
        QTest::newRow("a line break") << QStringLiteral("COM3\n[Dev.920M]\nRFch____=5");
    }
    void typedTextsReadBackAsTyped()
    {
        QFETCH(QString, typed);
        RecordingView view;
        writeFile("[COMPORT]\r\nPortName=COM1\r\n");
        loadSettings();
        commSettings.portName = typed;
        const bool lineBreak = typed.contains(u'\n');
        QCOMPARE(saveSettings(), !lineBreak);
        loadSettings();
        QCOMPARE(commSettings.portName, lineBreak ? QStringLiteral("COM1") : typed);
        QCOMPARE(rfChannel, 33);
        QCOMPARE(view.settingsStatus, lineBreak ? QStringLiteral("NG ... ") + path() : QString());
    }

    void otherSectionsAndKeysSurviveASave()
    {
        writeFile("; comment\n[Other]\nkeep=1\n[COMPORT]\nMine=yes\nbaudrate=9600\n\n[Tail]\nx=y\n");
        loadSettings();
        QCOMPARE(commSettings.baudRate, 9600);
        QVERIFY(saveSettings());
        const QByteArray bytes = fileBytes();
        QVERIFY(bytes.startsWith("; comment\n[Other]\nkeep=1\n[COMPORT]\nMine=yes\nBaudRate=9600\n"));
        QVERIFY(bytes.contains("[Tail]\nx=y\n"));
        QCOMPARE(bytes.toLower().count("baudrate"), 1); // the key is rewritten in place, not added again
    }

    void theProgramsOwnSectionKeepsAnyTextAndLeavesTheSharedKeysAlone()
    {
        const QByteArray shared =
            "[COMPORT]\r\nPortName=COM3\r\nBaudRate=9600\r\nByteSize=8\r\nStopBits=1\r\n"
            "Parity__=NONE\r\nSendHead=STX\r\nSendDlmt=CR\r\nRecvHead=STX\r\nRecvDlmt=CR\r\n"
            "RecvTout=100\r\nAutoReconnect=0\r\n[Dev.920M]\r\nRFch____=30\r\nRFpw____=2\r\n"
            "RFbp____=10\r\n[Other]\r\nkeep=1\r\n";
        writeFile(shared);
        loadSettings();
        QVERIFY(saveSettings());
        QCOMPARE(fileBytes(), shared); // nothing of the program's own yet: nothing added

        // Texts the profile cannot hold as they are: a line break, quotes, blanks at the ends,
        // characters Shift-JIS lacks, and what looks like an escape.
        const QStringList texts = {QStringLiteral("two\nlines"), QStringLiteral("\"q\""),
                                   QStringLiteral(" x "),        QStringLiteral("テスト€😀"),
                                   QStringLiteral("%41"),        QString()};
        RememberedState& r = rememberedState;
        r.places = {{QStringLiteral("mainWindow"), QRect(-10, 20, 793, 530)},
                    {QStringLiteral("framesWindow"), QRect(1930, 5, 1000, 520)}};
        r.monitorFont = QStringLiteral("ＭＳ ゴシック,10,-1,5,400,0,0,0,0,0");
        r.monitorColour = 0x80123456u;
        r.timeStamps = true;
        r.binaryMode = false;
        r.sendHistory = texts;
        const auto fields = [&r] {
            return std::tuple(r.places, r.monitorFont, r.monitorColour, r.timeStamps, r.binaryMode,
                              r.sendHistory);
        };
        const auto saved = fields();
        QVERIFY(saveSettings());
        QVERIFY(fileBytes().startsWith(shared + "[ZelvoTerm]\r\n"));
        r = {};
        loadSettings();
        QCOMPARE(commSettings.portName, QStringLiteral("COM3"));
        QVERIFY(fields() == saved);

        // A shorter list later does not bring back the texts of the longer one.
        r.sendHistory = {QStringLiteral("only")};
        QVERIFY(saveSettings());
        loadSettings();
        QCOMPARE(r.sendHistory, QStringList{QStringLiteral("only")});
    }

    void brokenRememberedValuesAreIgnored()
    {
        writeFile("[ZelvoTerm]\nmainWindow=1,2,3\nkeyPanel=1,2,0,5\nsurveyPanel=a,b,c,d\nLogTime=yes\n"
                  "framesWindow=2147483647,0,2147483647,10\n"
                  "MonitorColour=nonsense\nSendTexts=999\nSendText1=a\n");
        loadSettings();
        QVERIFY(rememberedState.places.empty() && !rememberedState.timeStamps);
        QVERIFY(!rememberedState.monitorColour);
        QCOMPARE(rememberedState.sendHistory.size(), kRememberedTexts);
    }

    void garbageAndBinaryFilesLoadDefaults()
    {
        const char start[] = "\x00\xff[COMPORT\n=\n==\n[]\n[COMPORT]\nBaudRate\nPortName=COM7\x00x\n";
        QByteArray junk(start, sizeof start - 1);
        for (int i = 0; i < 256; ++i)
            junk.append(char(i));
        writeFile(junk);
        loadSettings();
        QCOMPARE(commSettings.baudRate, 38400);
        QVERIFY(commSettings.portName.startsWith(QStringLiteral("COM7")));
        QVERIFY(saveSettings());
        loadSettings();
        QVERIFY(commSettings.portName.startsWith(QStringLiteral("COM7")));
    }

    // What the settings file's place holds instead of a readable regular file loads the defaults at
    // once and is neither overwritten nor replaced at close.
    void aSettingsFileThatCannotBeReadLoadsDefaultsAndIsLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "FIFO";
        QTest::newRow("link to a FIFO") << "link to a FIFO";
        QTest::newRow("folder") << "folder";
        QTest::newRow("over 1 MB") << "over 1 MB";
        QTest::newRow("unreadable") << "unreadable";
    }
    void aSettingsFileThatCannotBeReadLoadsDefaultsAndIsLeftAlone()
    {
        QFETCH(QString, kind);
        RecordingView view;
        const QByteArray settings = "[COMPORT]\r\nBaudRate=9600\r\n[Other]\r\nkeep=1\r\n";
        const QByteArray fifo = QFile::encodeName(m_dir.filePath(QStringLiteral("fifo")));
        QFile::remove(QString::fromLocal8Bit(fifo));
        if (kind == u"FIFO") {
            QCOMPARE(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
        } else if (kind == u"link to a FIFO") {
            QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
            QVERIFY(QFile::link(QStringLiteral("fifo"), path()));
        } else if (kind == u"folder") {
            QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("zelvoterm.ini")));
        } else if (kind == u"over 1 MB") {
            writeFile(settings + ';' + QByteArray(1024 * 1024, 'x') + "\r\n");
        } else {
            if (getuid() == 0)
                QSKIP("root reads any file");
            writeFile(settings);
            QFile::setPermissions(path(), QFileDevice::WriteOwner);
        }
        const QFileInfo before(path());
        const QByteArray bytesBefore = fileBytes();

        // On a thread of its own, so that a load that waits for a FIFO's writer fails the test.
        auto loaded = std::make_shared<std::atomic<bool>>(false);
        std::thread([loaded] {
            loadSettings();
            *loaded = true;
        }).detach();
        QVERIFY(waitUntil([&] { return loaded->load(); }, 1000));
        QCOMPARE(commSettings.baudRate, 38400);

        QVERIFY(!saveSettings());
        QCOMPARE(view.settingsStatus, QStringLiteral("NG ... ") + path());
        const QFileInfo after(path());
        QCOMPARE(after.isSymLink(), before.isSymLink());
        QCOMPARE(after.isFile(), before.isFile());
        QCOMPARE(after.isDir(), before.isDir());
        QCOMPARE(fileBytes(), bytesBefore);
        QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QFile::remove(path());
        QDir(m_dir.path()).rmdir(QStringLiteral("zelvoterm.ini"));
    }

    void aLinkedSettingsFileIsSavedWhereTheLinkPoints()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("real")));
        QVERIFY(QFile::link(QStringLiteral("real/middle.ini"), path()));
        QVERIFY(
            QFile::link(QStringLiteral("settings.ini"), m_dir.filePath(QStringLiteral("real/middle.ini"))));
        const QString target = m_dir.filePath(QStringLiteral("real/settings.ini"));
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[COMPORT]\r\nBaudRate=9600\r\n");
        }
        loadSettings();
        QCOMPARE(commSettings.baudRate, 9600);
        commSettings.baudRate = 115200;
        QVERIFY(saveSettings());
        QCOMPARE(QFileInfo(path()).symLinkTarget(), m_dir.filePath(QStringLiteral("real/middle.ini")));
        QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("real/middle.ini"))).isSymLink());
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("BaudRate=115200\r\n"));
        QCOMPARE(
            QDir(m_dir.filePath(QStringLiteral("real"))).entryList(QDir::Files | QDir::System | QDir::Hidden),
            QStringList({QStringLiteral("middle.ini"), QStringLiteral("settings.ini")}));

        // A link to a file that does not exist yet creates it there.
        QFile::remove(target);
        QVERIFY(saveSettings());
        QVERIFY(QFileInfo(target).isFile());
        QVERIFY(QFileInfo(path()).isSymLink());
        QFile::remove(path());
    }

    void loadClearsTheOpenAndRunningFlagsAndSilencesOpenErrors()
    {
        commSettings.portOpen = 1;
        commSettings.workerRunning = 1;
        commSettings.linkError = 1;
        reportOpenErrors = 1;
        loadSettings();
        QCOMPARE(int(commSettings.portOpen), 0);
        QCOMPARE(int(commSettings.workerRunning), 0);
        QCOMPARE(int(commSettings.linkError), 1);
        QCOMPARE(int(reportOpenErrors), 0);
    }

    void aSaveThatCannotBeMadeIsReportedAndLeavesNothingBehind()
    {
        RecordingView view;
        writeFile("[COMPORT]\r\nBaudRate=1200\r\n");
        // A path inside a regular file: no folder takes it, not even for root.
        const QString impossible = path() + QStringLiteral("/inside.ini");
        setSettingsFilePath(impossible);
        QVERIFY(!saveSettings());
        QCOMPARE(view.settingsStatus, QStringLiteral("NG ... ") + impossible);
        QCOMPARE(fileBytes(), QByteArray("[COMPORT]\r\nBaudRate=1200\r\n"));
    }

    // The folder takes no temporary file: a file the user may write is written in place, and only
    // one they may not write is reported, left as it was.
    void aFileInAReadOnlyFolderIsSavedInPlaceWhenItIsWritable_data()
    {
        QTest::addColumn<bool>("fileWritable");
        QTest::newRow("writable file") << true;
        QTest::newRow("read-only file") << false;
    }
    void aFileInAReadOnlyFolderIsSavedInPlaceWhenItIsWritable()
    {
        QFETCH(bool, fileWritable);
        const QString folder = m_dir.filePath(QStringLiteral("ro"));
        const QString file = folder + QStringLiteral("/zelvoterm.ini");
        QVERIFY(QDir().mkpath(folder));
        QFile::remove(file);
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[COMPORT]\r\nBaudRate=1200\r\n[Other]\r\nkeep=1\r\n");
        }
        const QByteArray name = QFile::encodeName(file);
        QCOMPARE(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
        QCOMPARE(::chmod(name.constData(), fileWritable ? 0644 : 0444), 0);
        if (::getuid() == 0)
            QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
        setSettingsFilePath(file);

        const int status = inChildProcess(
            [&] {
                RecordingView view;
                loadSettings();
                commSettings.baudRate = 115200;
                const bool saved = saveSettings();
                return saved ? 0 : view.settingsStatus == QStringLiteral("NG ... ") + file ? 1 : 2;
            },
            true);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
        QCOMPARE(status, fileWritable ? 0 : 1);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes.startsWith("[COMPORT]\r\nBaudRate=115200\r\n"), fileWritable);
        QVERIFY(bytes.contains("[Other]\r\nkeep=1\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden),
                 QStringList(QStringLiteral("zelvoterm.ini")));
    }

    // A terminal chosen as a file (Open, --settings, the session log) is never opened: opened by a
    // session leader it would become the controlling terminal, whose hang-up ends the program, and
    // opening a serial adapter raises DTR and RTS.
    void aTerminalInAFilesPlaceIsNeverOpened_data()
    {
        QTest::addColumn<int>("use");
        QTest::newRow("read (Open, --settings)") << 0;
        QTest::newRow("append (session log)") << 1;
        QTest::newRow("settings loaded and saved") << 2;
        QTest::newRow("replaced (Save As)") << 3;
    }
    void aTerminalInAFilesPlaceIsNeverOpened()
    {
        QFETCH(int, use);
        Pty pty;
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(::inotify_add_watch(watch, QFile::encodeName(pty.slavePath()).constData(), IN_OPEN) >= 0);
        const QString link = m_dir.filePath(QStringLiteral("terminal.Txt"));
        QFile::remove(link);
        QVERIFY(QFile::link(pty.slavePath(), link));
        setSettingsFilePath(link);

        const int status = inChildProcess([&] {
            if (::setsid() < 0)
                return 10;
            bool refused = false;
            switch (use) {
            case 0:
                refused = readRegularFile(link, 1024).status == FileContents::Status::NotRegular;
                break;
            case 1:
                refused = openRegularFileForAppend(link).fd < 0;
                break;
            case 2:
                loadSettings();
                refused = !saveSettings();
                break;
            default:
                refused = !replaceRegularFile(link, "x").isEmpty();
            }
            const int terminal = ::open("/dev/tty", O_RDONLY | O_NOCTTY);
            return (refused ? 0 : 1) | (terminal >= 0 ? 2 : 0);
        });
        QCOMPARE(status, 0); // refused, and the child has no controlling terminal
        std::array<char, 4096> events{};
        QCOMPARE(::read(watch, events.data(), events.size()), ssize_t(-1)); // nothing opened the terminal
        ::close(watch);
        QFile::remove(link);
    }

    void profileKeepsValueBytesExactly()
    {
        ProfileFile p;
        const QByteArray odd("\x81\x40 x\x7f\xfe");
        QVERIFY(p.setValue("S", "K", odd));
        QCOMPARE(p.value("s", "k").value(), odd);
        QVERIFY(!p.value("S", "other").has_value());
        QVERIFY(!p.value("T", "K").has_value());
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
