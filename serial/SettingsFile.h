#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>

// Where the settings file is: beside the executable, with its name and the extension ".ini", when
// that folder is writable (a portable copy keeps working, and the files users already have are
// found); otherwise zelvoterm/zelvoterm.ini in the user's configuration folder ($XDG_CONFIG_HOME
// when it is an absolute path, else ~/.config), which an installed program can always write. A
// folder under /usr/ counts as not writable, even for root.
[[nodiscard]] QString defaultSettingsPath(const QString& executablePath, bool executableFolderWritable);
// The settings file in use: the one set below, or the default place.
[[nodiscard]] QString settingsFilePath();
// The default place for a program of that name installed beside this one (zelvoctl reads
// zelvoterm's file).
[[nodiscard]] QString settingsFilePathOf(const QString& programName);
// Points the settings file elsewhere (--settings, tests); an empty path restores the default.
void setSettingsFilePath(const QString& path);

// What the program keeps for itself between runs, in a section of its own that the Windows tools
// sharing the file never read; the 13 keys stay as they are. What is not known is not written.
struct RememberedState {
    std::map<QString, QRect> places;       // a window's geometry, by the window's object name
    QString monitorFont;                   // as QFont::toString() gives it
    std::optional<uint32_t> monitorColour; // 0xAARRGGBB, when the user chose one
    std::optional<bool> timeStamps;
    std::optional<bool> binaryMode;
    QStringList sendHistory; // oldest first
};
// The windows whose places are kept, and how many send-line texts.
inline const QStringList kRememberedWindows = {
    QStringLiteral("mainWindow"), QStringLiteral("keyPanel"), QStringLiteral("surveyPanel"),
    QStringLiteral("linkStatsWindow"), QStringLiteral("framesWindow")};
constexpr int kRememberedTexts = 20;
extern RememberedState rememberedState;

// Fills commSettings, the radio settings, autoReconnect and rememberedState from the file, key by key,
// defaults for whatever is missing or not a whole number (and for all keys when the file is no regular file
// of at most 1 MB that can be read); clears the open-error reporting, open and running flags.
void loadSettings();

// Settings given for one run (on the command line), taken as if confirmed in the settings dialog:
// they are saved at close, and a port that fails to open is reported.
struct SettingsOverrides {
    std::optional<QString> portName;
    std::optional<int32_t> baudRate;
};
void applySettingsOverrides(const SettingsOverrides& overrides);

// Writes all 13 keys, AutoReconnect and rememberedState at once; a text the user has not changed keeps the
// bytes it was read as. A failure shows "NG ... " and the path in the settings status and leaves the old file
// as it was; so does a file that exists but cannot be read, which saving would otherwise overwrite, a text
// with a line break, and a file that would grow beyond what loading reads.
bool saveSettings();
