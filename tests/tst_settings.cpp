// The settings file and the profile reader/writer under it.
#include "CodePage.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "ProfileFile.h"
#include "SettingsFile.h"
#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

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
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
        QTest::addColumn<QString>("expected");
        QTest::newRow("writable folder: beside the program")
            << true << QStringLiteral("/opt/zt/bin/zelvoterm.ini");
        QTest::newRow("read-only folder: the configuration folder")
            << false << QStringLiteral("/home/u/.config/zelvoterm/zelvoterm.ini");
    }
    void settingsFileLocation()
    {
        QFETCH(bool, folderWritable);
        QFETCH(QString, expected);
        QCOMPARE(DefaultSettingsPath(QStringLiteral("/opt/zt/bin/zelvoterm"), folderWritable,
                                     QStringLiteral("/home/u/.config")),
                 expected);
        // The test program's folder is writable; a file named on the command line takes precedence.
        setSettingsFilePath({});
        QVERIFY(SettingsFilePath().endsWith(QStringLiteral("/tst_settings.ini")));
        setSettingsFilePath(path());
        QCOMPARE(SettingsFilePath(), path());
    }

    void theConfigurationFolderIsMadeAtTheFirstSave()
    {
        const QString nested = m_dir.filePath(QStringLiteral("config/zelvoterm/zelvoterm.ini"));
        setSettingsFilePath(nested);
        QVERIFY(SaveSettings());
        QVERIFY(QFileInfo(nested).isFile());
    }

    void missingFileGivesDefaultsAndSavingWritesAllThirteenKeys()
    {
        CommSettings.PortName = QStringLiteral("junk");
        RFChannel = 1;
        LoadSettings();
        const TCommSettings& s = CommSettings;
        QCOMPARE(s.PortName, QStringLiteral("COM1"));
        QCOMPARE(s.BaudRate, 38400);
        QCOMPARE(s.ByteSize, 8);
        QCOMPARE(s.StopBits, 1);
        QCOMPARE(s.Parity__, QStringLiteral("NONE"));
        QCOMPARE(s.SendHead, QStringLiteral("無し"));
        QCOMPARE(s.SendDlmt, QStringLiteral("無し"));
        QCOMPARE(s.RecvHead, QStringLiteral("無し"));
        QCOMPARE(s.RecvDlmt, QStringLiteral("無し"));
        QCOMPARE(s.RecvTout, 100);
        QCOMPARE(RFChannel, 33);
        QCOMPARE(RFPower, 3);
        QCOMPARE(RFRateCode, 7);

        QVERIFY(SaveSettings());
        const QByteArray expected =
            QByteArray("[COMPORT]\r\nPortName=COM1\r\nBaudRate=38400\r\nByteSize=8\r\n"
                       "StopBits=1\r\nParity__=NONE\r\nSendHead=") +
            hex("96B382B5") + "\r\nSendDlmt=" + hex("96B382B5") + "\r\nRecvHead=" + hex("96B382B5") +
            "\r\nRecvDlmt=" + hex("96B382B5") +
            "\r\nRecvTout=100\r\n[Dev.920M]\r\nRFch____=33\r\nRFpw____=3\r\nRFbp____=7\r\n";
        QCOMPARE(fileBytes(), expected);
    }

    void badValuesFallBackKeyByKey()
    {
        writeFile("[comport]\r\nBaudRate=abc\r\nRecvTout=\r\nPortName=\r\nstopbits = 2 \r\n"
                  "ByteSize=99999999999999\r\n[Dev.920M]\r\nRFch____=-5\r\nRFpw____=3.5\r\n");
        LoadSettings();
        QCOMPARE(CommSettings.BaudRate, 38400);
        QCOMPARE(CommSettings.RecvTout, 100);
        QCOMPARE(CommSettings.PortName, QString()); // present but empty: empty, not the default
        QCOMPARE(CommSettings.StopBits, 2);         // names compare case-insensitively, blanks trimmed
        QCOMPARE(CommSettings.ByteSize, 8);
        QCOMPARE(RFChannel, -5);
        QCOMPARE(RFPower, 3);
    }

    void negativeTimeOutIsKeptAsWritten()
    {
        writeFile("[COMPORT]\nRecvTout=-1\n");
        LoadSettings();
        QCOMPARE(CommSettings.RecvTout, -1);
        QVERIFY(SaveSettings());
        QVERIFY(fileBytes().contains("RecvTout=-1\r\n"));
    }

    void japaneseTextsTravelAsCodePageBytes()
    {
        CommSettings.SendDlmt = QStringLiteral("無し");
        CommSettings.PortName = QStringLiteral("ポート");
        QVERIFY(SaveSettings());
        QVERIFY(fileBytes().contains(QByteArray("SendDlmt=") + hex("96B382B5") + "\r\n"));
        CommSettings = TCommSettings{};
        LoadSettings();
        QCOMPARE(CommSettings.PortName, QStringLiteral("ポート"));
    }

    void otherSectionsAndKeysSurviveASave()
    {
        writeFile("; comment\n[Other]\nkeep=1\n[COMPORT]\nMine=yes\nbaudrate=9600\n\n[Tail]\nx=y\n");
        LoadSettings();
        QCOMPARE(CommSettings.BaudRate, 9600);
        QVERIFY(SaveSettings());
        const QByteArray bytes = fileBytes();
        QVERIFY(
            bytes.startsWith("; comment\r\n[Other]\r\nkeep=1\r\n[COMPORT]\r\nMine=yes\r\nBaudRate=9600\r\n"));
        QVERIFY(bytes.contains("[Tail]\r\nx=y\r\n"));
        QCOMPARE(bytes.toLower().count("baudrate"), 1); // the key is rewritten in place, not added again
    }

    void garbageAndBinaryFilesLoadDefaults()
    {
        QByteArray junk("\x00\xff[COMPORT\n=\n==\n[]\n[COMPORT]\nBaudRate\nPortName=COM7\x00x\n", 60);
        for (int i = 0; i < 256; ++i)
            junk.append(char(i));
        writeFile(junk);
        LoadSettings();
        QCOMPARE(CommSettings.BaudRate, 38400);
        QVERIFY(CommSettings.PortName.startsWith(QStringLiteral("COM7")));
        QVERIFY(SaveSettings());
        LoadSettings();
        QVERIFY(CommSettings.PortName.startsWith(QStringLiteral("COM7")));
    }

    void unreadableFileLoadsDefaults()
    {
        writeFile("[COMPORT]\nBaudRate=9600\n");
        QFile::setPermissions(path(), QFileDevice::Permissions());
        LoadSettings();
        QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        // Root reads any file; the defaults are only guaranteed where the file really is unreadable.
        if (getuid() != 0)
            QCOMPARE(CommSettings.BaudRate, 38400);
    }

    void loadClearsTheOpenAndRunningFlagsAndSilencesOpenErrors()
    {
        CommSettings.OpenFlag = 1;
        CommSettings.RunningFlag = 1;
        CommSettings.ErrorFlag = 1;
        OpenErrorReport = 1;
        LoadSettings();
        QCOMPARE(int(CommSettings.OpenFlag), 0);
        QCOMPARE(int(CommSettings.RunningFlag), 0);
        QCOMPARE(int(CommSettings.ErrorFlag), 1);
        QCOMPARE(int(OpenErrorReport), 0);
    }

    void failedSaveReportsTheRestAndLeavesTheOldFileWhole()
    {
        RecordingView view;
        QTemporaryDir dir;
        const QString locked = dir.filePath(QStringLiteral("ro/zelvoterm.ini"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("ro"))));
        {
            QFile f(locked);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[COMPORT]\r\nBaudRate=1200\r\n");
        }
        // A folder that cannot take the temporary file: a path inside a regular file works for root too.
        const QString impossible = locked + QStringLiteral("/inside.ini");
        setSettingsFilePath(impossible);
        QVERIFY(!SaveSettings());
        QCOMPARE(view.settingsStatus, QStringLiteral("NG ... ") + impossible);

        QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        setSettingsFilePath(locked);
        const bool saved = SaveSettings();
        QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (getuid() != 0) {
            QVERIFY(!saved);
            QCOMPARE(view.settingsStatus, QStringLiteral("NG ... ") + locked);
            QFile f(locked);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("[COMPORT]\r\nBaudRate=1200\r\n"));
        }
    }

    void profileKeepsValueBytesExactly()
    {
        ProfileFile p;
        const QByteArray odd("\x81\x40 x\x7f\xfe");
        p.setValue("S", "K", odd);
        QCOMPARE(p.value("s", "k").value(), odd);
        QVERIFY(!p.value("S", "other").has_value());
        QVERIFY(!p.value("T", "K").has_value());
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
