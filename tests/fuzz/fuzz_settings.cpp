// Arbitrary settings files through the program's own load and save. Whatever a file holds, the
// settings read from it are read again after it was saved; texts typed in place of the loaded
// ones come back as typed, or the save is refused and the old file kept (the program's own
// texts, the send line's among them, always come back); and a file the program
// writes is always one it reads.
#include "CodePage.h"
#include "CommSettings.h"
#include "ProfileFile.h"
#include "RegularFile.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <tuple>
#include <vector>

namespace {
auto loaded()
{
    const CommSettings& s = commSettings;
    const RememberedState& r = rememberedState;
    return std::make_tuple(s.portName, s.baudRate, s.dataBits, s.stopBits, s.parity, s.sendHeader,
                           s.sendDelimiter, s.receiveHeader, s.receiveDelimiter, s.receiveTimeoutMs,
                           autoReconnect, rfChannel, rfPower, rfRateCode, r.places, r.monitorFont,
                           r.monitorColour, r.timeStamps, r.binaryMode, r.sendHistory);
}

QString& folder()
{
    static QString path;
    return path;
}

QString settingsPath()
{
    if (folder().isEmpty()) {
        // In memory where there is such a folder: every input is saved a few times, fsync and all.
        const QString base =
            QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        QByteArray name = QFile::encodeName(base) + "/fuzz_settings.XXXXXX";
        if (!::mkdtemp(name.data()))
            std::abort();
        folder() = QFile::decodeName(name);
        std::atexit([] { QDir(folder()).removeRecursively(); });
    }
    return folder() + QStringLiteral("/zelvoterm.ini");
}

QByteArray fileBytes()
{
    const FileContents file = readRegularFile(settingsPath(), ProfileFile::kMaxBytes);
    if (file.status != FileContents::Status::Read)
        std::abort(); // the program wrote a file it does not read
    return file.bytes;
}

void require(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    setSettingsFilePath(settingsPath());
    require(replaceRegularFile(settingsPath(), input).isEmpty());

    loadSettings();
    const auto first = loaded();
    if (saveSettings()) {
        loadSettings();
        require(loaded() == first);
    } else {
        // Only a file that would outgrow the read limit is refused, and it is left as it was. The
        // program's own texts come back percent-encoded: a stray '%' grows to three bytes.
        require(3 * input.size() + 4096 > ProfileFile::kMaxBytes && fileBytes() == input);
    }

    // Texts typed in place of the loaded ones, cut from the input at its NUL bytes.
    const QList<QByteArray> pieces = input.split('\0');
    QString* const texts[] = {&commSettings.portName, &commSettings.parity, &commSettings.sendHeader,
                              &commSettings.sendDelimiter, &commSettings.receiveDelimiter};
    bool lineBreak = false;
    std::vector<QString> typed;
    for (qsizetype i = 0; i < pieces.size() && i < qsizetype(std::size(texts)); ++i) {
        *texts[i] = fromCodePage(pieces[i]);
        typed.push_back(*texts[i]);
        // What the code page keeps of it is what can come back.
        *texts[i] = fromCodePage(toCodePage(typed.back()));
        lineBreak = lineBreak || texts[i]->contains(u'\r') || texts[i]->contains(u'\n');
    }
    // The program's own texts take any character, line breaks included.
    rememberedState.sendHistory.clear();
    for (const QByteArray& piece : pieces.mid(0, kRememberedTexts))
        rememberedState.sendHistory << QString::fromUtf8(piece);
    if (!pieces.back().isEmpty())
        rememberedState.monitorFont = QString::fromUtf8(pieces.back());
    const auto expected = loaded();
    for (size_t i = 0; i < typed.size(); ++i)
        *texts[i] = typed[i];
    const QByteArray before = fileBytes();
    if (!saveSettings()) {
        require(fileBytes() == before);
        return 0;
    }
    require(!lineBreak);
    loadSettings();
    require(loaded() == expected);
    return 0;
}
