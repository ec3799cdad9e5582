#include "SettingsFile.h"

#include "CodePage.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "CommView.h"
#include "ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <map>

namespace {
QString& overridePath()
{
    static QString p;
    return p;
}

constexpr char kPortSection[] = "COMPORT";
constexpr char kRadioSection[] = "Dev.920M";

// The text values as they stood in the file when it was loaded. One the user has not changed is
// written back as it was: some characters have two byte pairs, and quotes around a value are
// not part of its text.
struct LoadedText {
    QByteArray stored;
    QString text;
};
std::map<QByteArray, LoadedText>& loadedTexts()
{
    static std::map<QByteArray, LoadedText> texts;
    return texts;
}

QString readText(const ProfileFile& f, const char* section, const char* key, const QString& fallback)
{
    const auto v = f.value(section, key);
    if (!v)
        return fallback;
    const QString text = fromCodePage(*v);
    loadedTexts()[key] = {f.storedValue(section, key).value_or(QByteArray()), text};
    return text;
}

int32_t readInt(const ProfileFile& f, const char* section, const char* key, int32_t fallback)
{
    const auto v = f.value(section, key);
    if (!v)
        return fallback;
    bool ok = false;
    const int value = v->toInt(&ok, 10);
    return ok ? value : fallback;
}
} // namespace

QString defaultSettingsPath(const QString& executablePath, bool executableFolderWritable,
                            const QString& configFolder)
{
    const QFileInfo exe(executablePath);
    if (executableFolderWritable)
        return exe.absolutePath() + u'/' + exe.completeBaseName() + QStringLiteral(".ini");
    return configFolder + QStringLiteral("/zelvoterm/zelvoterm.ini");
}

QString settingsFilePath()
{
    if (!overridePath().isEmpty())
        return overridePath();
    const QString exe = QCoreApplication::applicationFilePath();
    const QString folder = QFileInfo(exe).absolutePath();
    // Root may write anywhere; an installed program's folder still takes no settings file.
    const bool systemFolder = folder.startsWith(QLatin1String("/usr/"));
    return defaultSettingsPath(exe, QFileInfo(folder).isWritable() && !systemFolder,
                               QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

void setSettingsFilePath(const QString& path)
{
    overridePath() = path;
}

void loadSettings()
{
    ProfileFile f;
    f.load(settingsFilePath());
    loadedTexts().clear();
    const TCommSettings d;
    TCommSettings& s = CommSettings;
    s.PortName = readText(f, kPortSection, "PortName", d.PortName);
    s.BaudRate = readInt(f, kPortSection, "BaudRate", d.BaudRate);
    s.ByteSize = readInt(f, kPortSection, "ByteSize", d.ByteSize);
    s.StopBits = readInt(f, kPortSection, "StopBits", d.StopBits);
    s.Parity__ = readText(f, kPortSection, "Parity__", d.Parity__);
    s.SendHead = readText(f, kPortSection, "SendHead", d.SendHead);
    s.SendDlmt = readText(f, kPortSection, "SendDlmt", d.SendDlmt);
    s.RecvHead = readText(f, kPortSection, "RecvHead", d.RecvHead);
    s.RecvDlmt = readText(f, kPortSection, "RecvDlmt", d.RecvDlmt);
    s.RecvTout = readInt(f, kPortSection, "RecvTout", d.RecvTout);
    AutoReconnect = readInt(f, kPortSection, "AutoReconnect", 0) != 0;
    RFChannel = readInt(f, kRadioSection, "RFch____", 33);
    RFPower = readInt(f, kRadioSection, "RFpw____", 3);
    RFRateCode = readInt(f, kRadioSection, "RFbp____", 7);
    OpenErrorReport = 0;
    s.OpenFlag = 0;
    s.RunningFlag = 0;
}

void applySettingsOverrides(const SettingsOverrides& overrides)
{
    if (overrides.portName)
        CommSettings.PortName = *overrides.portName;
    if (overrides.baudRate)
        CommSettings.BaudRate = *overrides.baudRate;
    if (overrides.portName || overrides.baudRate)
        OpenErrorReport = 1;
}

bool saveSettings()
{
    const QString path = settingsFilePath();
    const auto failed = [&] {
        commView().setSettingsStatus(QStringLiteral("NG ... ") + path);
        return false;
    };
    // The configuration folder is made on the first save.
    QDir().mkpath(QFileInfo(path).absolutePath());
    ProfileFile f;
    // Saving over a file that could not be read would lose its other sections and keys.
    if (f.load(path) == ProfileFile::Load::Unreadable)
        return failed();
    const TCommSettings& s = CommSettings;
    const auto text = [&](const char* section, const char* key, const QString& v) {
        const auto loaded = loadedTexts().find(key);
        const bool unchanged = loaded != loadedTexts().end() && loaded->second.text == v;
        f.setValue(section, key, unchanged ? loaded->second.stored : toCodePage(v));
    };
    const auto number = [&](const char* section, const char* key, int32_t v) {
        f.setValue(section, key, QByteArray::number(v));
    };
    text(kPortSection, "PortName", s.PortName);
    number(kPortSection, "BaudRate", s.BaudRate);
    number(kPortSection, "ByteSize", s.ByteSize);
    number(kPortSection, "StopBits", s.StopBits);
    text(kPortSection, "Parity__", s.Parity__);
    text(kPortSection, "SendHead", s.SendHead);
    text(kPortSection, "SendDlmt", s.SendDlmt);
    text(kPortSection, "RecvHead", s.RecvHead);
    text(kPortSection, "RecvDlmt", s.RecvDlmt);
    number(kPortSection, "RecvTout", s.RecvTout);
    number(kPortSection, "AutoReconnect", AutoReconnect ? 1 : 0);
    number(kRadioSection, "RFch____", RFChannel);
    number(kRadioSection, "RFpw____", RFPower);
    number(kRadioSection, "RFbp____", RFRateCode);
    return f.save(path) || failed();
}
