#pragma once

#include "SettingsFile.h"

#include <QString>
#include <QStringList>

// What the command line asks for: zelvoterm [--port PORT] [--baud RATE] [--settings FILE]
// [--help] [--version].
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    SettingsOverrides overrides; // --port and --baud, applied as if confirmed in the settings dialog
    QString settingsFile;        // --settings; empty for the usual place
    QString error;               // one line, for Action::Error
};

// Reads the arguments (the program name first). Qt's own options (-platform, -style ...) stay in
// the arguments until QApplication takes them out; with `qtOptionsPresent` they are passed over,
// so that help, version and bad values are answered before a display is needed.
[[nodiscard]] CommandLine parseCommandLine(const QStringList& arguments, bool qtOptionsPresent = false);

// The help text; needs an application object for the program's name.
[[nodiscard]] QString commandLineHelp();
