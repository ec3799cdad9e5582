#include "SettingsFile.h"

#include "CodePage.h"
#include "CommPort.h"
#include "CommSettings.h"
#include "CommView.h"
#include "ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <map>

namespace {
QString& overridePath()
{
    static QString p;
    return p;
}

constexpr char kPortSection[] = "COMPORT";
constexpr char kRadioSection[] = "Dev.920M";
constexpr char kOwnSection[] = "ZelvoTerm";

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

// The program's own texts (font names, send-line texts) may hold any character, line breaks
// included, which the profile cannot take and Shift-JIS may lack: they are kept as UTF-8 with
// everything but printable ASCII percent-encoded.
QByteArray encodeText(const QString& text)
{
    return text.toUtf8().toPercentEncoding(R"( !"#$&'()*+,-./:;<=>?@[\]^_`{|}~)");
}

QString decodeText(const QByteArray& stored)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(stored));
}

QByteArray encodePlace(const QRect& r)
{
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toLatin1();
}

std::optional<QRect> decodePlace(const QByteArray& stored)
{
    const QList<QByteArray> parts = stored.split(',');
    if (parts.size() != 4)
        return std::nullopt;
    std::array<int, 4> v{};
    for (size_t i = 0; i < v.size(); ++i) {
        bool ok = false;
        v[i] = parts[qsizetype(i)].trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    // No screen is this large; an edited value this far out would only overflow the arithmetic.
    constexpr int kFarOut = 1 << 20;
    if (v[2] <= 0 || v[3] <= 0 ||
        std::any_of(v.begin(), v.end(), [](int n) { return std::abs(n) > kFarOut; }))
        return std::nullopt;
    return QRect(v[0], v[1], v[2], v[3]);
}

QByteArray textKey(int i)
{
    return "SendText" + QByteArray::number(i + 1);
}

// "#rrggbb", or "#aarrggbb" for a colour that is not opaque, as Qt names colours.
QByteArray encodeColour(uint32_t argb)
{
    const bool opaque = (argb >> 24) == 0xFF;
    return '#' + QByteArray::number(opaque ? argb & 0xFFFFFF : argb, 16).rightJustified(opaque ? 6 : 8, '0');
}

std::optional<uint32_t> decodeColour(const QByteArray& text)
{
    if (!text.startsWith('#') || (text.size() != 7 && text.size() != 9))
        return std::nullopt;
    const QByteArray digits = text.mid(1);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(uchar(c)); }))
        return std::nullopt;
    const uint32_t value = digits.toUInt(nullptr, 16);
    return digits.size() == 6 ? value | 0xFF000000u : value;
}

RememberedState readRemembered(const ProfileFile& f)
{
    RememberedState r;
    for (const QString& window : kRememberedWindows) {
        if (const auto v = f.value(kOwnSection, window.toLatin1()))
            if (const auto place = decodePlace(*v))
                r.places[window] = *place;
    }
    if (const auto v = f.value(kOwnSection, "MonitorFont"))
        r.monitorFont = decodeText(*v);
    if (const auto v = f.value(kOwnSection, "MonitorColour"))
        r.monitorColour = decodeColour(*v);
    const auto flag = [&](const char* key) -> std::optional<bool> {
        const auto v = f.value(kOwnSection, key);
        if (!v || (*v != "0" && *v != "1"))
            return std::nullopt;
        return *v == "1";
    };
    r.timeStamps = flag("LogTime");
    r.binaryMode = flag("Binary");
    const int texts = std::clamp(readInt(f, kOwnSection, "SendTexts", 0), 0, kRememberedTexts);
    for (int i = 0; i < texts; ++i)
        r.sendHistory << decodeText(f.value(kOwnSection, textKey(i)).value_or(QByteArray()));
    return r;
}

bool writeRemembered(ProfileFile& f, const RememberedState& r)
{
    bool written = true;
    for (const auto& [window, place] : r.places)
        written &= f.setValue(kOwnSection, window.toLatin1(), encodePlace(place));
    if (!r.monitorFont.isEmpty())
        written &= f.setValue(kOwnSection, "MonitorFont", encodeText(r.monitorFont));
    if (r.monitorColour)
        written &= f.setValue(kOwnSection, "MonitorColour", encodeColour(*r.monitorColour));
    if (r.timeStamps)
        written &= f.setValue(kOwnSection, "LogTime", *r.timeStamps ? "1" : "0");
    if (r.binaryMode)
        written &= f.setValue(kOwnSection, "Binary", *r.binaryMode ? "1" : "0");
    // The newest texts. Keys are never removed, so the count says how many of them hold.
    const qsizetype first = std::max<qsizetype>(0, r.sendHistory.size() - kRememberedTexts);
    if (!r.sendHistory.isEmpty())
        written &= f.setValue(kOwnSection, "SendTexts", QByteArray::number(r.sendHistory.size() - first));
    for (qsizetype i = first; i < r.sendHistory.size(); ++i)
        written &= f.setValue(kOwnSection, textKey(int(i - first)), encodeText(r.sendHistory[i]));
    return written;
}
} // namespace

RememberedState rememberedState;

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
    rememberedState = readRemembered(f);
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
    written &= writeRemembered(f, rememberedState);
    return (written && f.save(path)) || failed();
}
