#pragma once

#include <QString>

// The settings file: the executable's path with the extension ".ini".
[[nodiscard]] QString SettingsFilePath();
// Points the settings file elsewhere (tests, the demo); an empty path restores the default.
void setSettingsFilePath(const QString& path);

// Fills CommSettings and the radio settings from the file, key by key, defaults for whatever is
// missing or not a whole number (and for all keys when the file is no regular file of at most
// 1 MB that can be read); clears the open-error reporting, open and running flags.
void LoadSettings();

// Writes all 13 keys at once; a text the user has not changed keeps the bytes it was read as. A
// failure shows "NG ... " and the path in the settings status and leaves the old file as it was;
// so does a file that exists but cannot be read, which saving would otherwise overwrite.
bool SaveSettings();
