// The built-in sound cues, where a sound is taken from, and a clean exit after one has played.
#include "Sound.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QtEndian>

namespace {
struct Wav {
    bool riff = false;
    int format = 0;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    QList<int16_t> samples;
};

// Reads a canonical PCM WAV file: RIFF header, "fmt " chunk, then any chunks up to "data".
Wav readWav(const QByteArray& file)
{
    Wav w;
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE")
        return w;
    w.riff = true;
    qsizetype p = 12;
    while (p + 8 <= file.size()) {
        const QByteArray id = file.mid(p, 4);
        const auto size = qsizetype(qFromLittleEndian<quint32>(file.constData() + p + 4));
        const char* body = file.constData() + p + 8;
        if (p + 8 + size > file.size())
            break;
        if (id == "fmt " && size >= 16) {
            w.format = qFromLittleEndian<quint16>(body);
            w.channels = qFromLittleEndian<quint16>(body + 2);
            w.rate = int(qFromLittleEndian<quint32>(body + 4));
            w.bits = qFromLittleEndian<quint16>(body + 14);
        } else if (id == "data") {
            for (qsizetype i = 0; i + 1 < size; i += 2)
                w.samples << qFromLittleEndian<qint16>(body + i);
        }
        p += 8 + size + (size & 1);
    }
    return w;
}
} // namespace

class SoundTest : public QObject {
    Q_OBJECT

private slots:
    void builtInCuesAreShortDistinctMonoPcm()
    {
        QList<QList<int16_t>> seen;
        for (const char* name : {"chimes.wav", "chord.wav", "ding.wav", "tada.wav"}) {
            QFile f(QStringLiteral(":/sounds/") + QLatin1String(name));
            QVERIFY2(f.open(QIODevice::ReadOnly), name);
            const Wav w = readWav(f.readAll());
            QVERIFY2(w.riff, name);
            QCOMPARE(w.format, 1);
            QCOMPARE(w.channels, 1);
            QCOMPARE(w.bits, 16);
            QVERIFY(w.rate >= 8000 && w.rate <= 48000);
            const double seconds = double(w.samples.size()) / w.rate;
            QVERIFY2(seconds >= 0.2 && seconds <= 1.5, name);

            int peak = 0;
            for (const int16_t s : w.samples)
                peak = std::max(peak, std::abs(int(s)));
            // Audible, not clipped, and starting and ending in silence so that nothing clicks.
            QVERIFY2(peak > 3000 && peak < 32000, name);
            QVERIFY(std::abs(w.samples.first()) < 200 && std::abs(w.samples.last()) < 200);
            QVERIFY2(!seen.contains(w.samples), name);
            seen << w.samples;
        }
    }

    void aSoundsFolderBesideTheProgramOverridesByName()
    {
        QCOMPARE(soundSource(QStringLiteral("ding.wav")), QUrl(QStringLiteral("qrc:/sounds/ding.wav")));
        QDir dir(QCoreApplication::applicationDirPath());
        const bool made = !dir.exists(QStringLiteral("sounds"));
        QVERIFY(dir.mkpath(QStringLiteral("sounds")));
        const QString own = dir.filePath(QStringLiteral("sounds/ding.wav"));
        {
            QFile f(own);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QUrl local = soundSource(QStringLiteral("ding.wav"));
        const QUrl other = soundSource(QStringLiteral("tada.wav"));
        QFile::remove(own);
        if (made)
            dir.rmdir(QStringLiteral("sounds"));
        QCOMPARE(local, QUrl::fromLocalFile(own));
        QCOMPARE(other, QUrl(QStringLiteral("qrc:/sounds/tada.wav")));
    }

    // A program that has played a sound ends as cleanly as one that has not; here without an
    // audio device, as on a build machine, where the player still loads the cue.
    void aProgramThatPlayedASoundExitsCleanly()
    {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(PLAY_AND_QUIT), {QStringLiteral("chimes.wav")});
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(SoundTest)
#include "tst_sound.moc"
