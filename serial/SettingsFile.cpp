#include "SettingsFile.h"

#include "CodePage.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "CommView.h"
#include "ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

QString defaultSettingsPath(const QString& executablePath, bool executableFolderWritable)
{
    const QFileInfo exe(executablePath);
    if (executableFolderWritable)
        return exe.absolutePath() + u'/' + exe.completeBaseName() + QStringLiteral(".ini");
    // A relative XDG_CONFIG_HOME is invalid under the XDG rules: it would put the settings under
    // whatever folder the program happens to be started from.
    const QString xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString configFolder =
        QDir::isAbsolutePath(xdgConfigHome) ? xdgConfigHome : QDir::homePath() + QStringLiteral("/.config");
    return configFolder + QStringLiteral("/zelvoterm/zelvoterm.ini");
}

QString settingsFilePath()
{
    if (!overridePath().isEmpty())
        return overridePath();
    return settingsFilePathOf(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

QString settingsFilePathOf(const QString& programName)
{
    const QString folder = QCoreApplication::applicationDirPath();
    const QString exe = folder + u'/' + programName;
    // Root may write anywhere; an installed program's folder still takes no settings file.
    const bool systemFolder = folder.startsWith(QLatin1String("/usr/"));
    return defaultSettingsPath(exe, QFileInfo(folder).isWritable() && !systemFolder);
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
    const CommSettings d;
    CommSettings& s = commSettings;
    s.portName = readText(f, kPortSection, "PortName", d.portName);
    s.baudRate = readInt(f, kPortSection, "BaudRate", d.baudRate);
    s.dataBits = readInt(f, kPortSection, "ByteSize", d.dataBits);
    s.stopBits = readInt(f, kPortSection, "StopBits", d.stopBits);
    s.parity = readText(f, kPortSection, "Parity__", d.parity);
    s.sendHeader = readText(f, kPortSection, "SendHead", d.sendHeader);
    s.sendDelimiter = readText(f, kPortSection, "SendDlmt", d.sendDelimiter);
    s.receiveHeader = readText(f, kPortSection, "RecvHead", d.receiveHeader);
    s.receiveDelimiter = readText(f, kPortSection, "RecvDlmt", d.receiveDelimiter);
    s.receiveTimeoutMs = readInt(f, kPortSection, "RecvTout", d.receiveTimeoutMs);
    autoReconnect = readInt(f, kPortSection, "AutoReconnect", 0) != 0;
    rfChannel = readInt(f, kRadioSection, "RFch____", 33);
    rfPower = readInt(f, kRadioSection, "RFpw____", 3);
    rfRateCode = readInt(f, kRadioSection, "RFbp____", 7);
    reportOpenErrors = 0;
    s.portOpen = 0;
    s.workerRunning = 0;
}

void applySettingsOverrides(const SettingsOverrides& overrides)
{
    if (overrides.portName)
        commSettings.portName = *overrides.portName;
    if (overrides.baudRate)
        commSettings.baudRate = *overrides.baudRate;
    if (overrides.portName || overrides.baudRate)
        reportOpenErrors = 1;
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
    const CommSettings& s = commSettings;
    bool written = true;
    const auto text = [&](const char* section, const char* key, const QString& v) {
        const auto loaded = loadedTexts().find(key);
        const bool unchanged = loaded != loadedTexts().end() && loaded->second.text == v;
        written &= unchanged ? f.setStoredValue(section, key, loaded->second.stored)
                             : f.setValue(section, key, toCodePage(v));
    };
    const auto number = [&](const char* section, const char* key, int32_t v) {
        written &= f.setValue(section, key, QByteArray::number(v));
    };
    text(kPortSection, "PortName", s.portName);
    number(kPortSection, "BaudRate", s.baudRate);
    number(kPortSection, "ByteSize", s.dataBits);
    number(kPortSection, "StopBits", s.stopBits);
    text(kPortSection, "Parity__", s.parity);
    text(kPortSection, "SendHead", s.sendHeader);
    text(kPortSection, "SendDlmt", s.sendDelimiter);
    text(kPortSection, "RecvHead", s.receiveHeader);
    text(kPortSection, "RecvDlmt", s.receiveDelimiter);
    number(kPortSection, "RecvTout", s.receiveTimeoutMs);
    number(kPortSection, "AutoReconnect", autoReconnect ? 1 : 0);
    number(kRadioSection, "RFch____", rfChannel);
    number(kRadioSection, "RFpw____", rfPower);
    number(kRadioSection, "RFbp____", rfRateCode);
    return (written && f.save(path)) || failed();
}
