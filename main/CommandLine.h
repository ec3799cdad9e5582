#pragma once

#include "SettingsFile.h"

#include <QString>
#include <QStringList>

// What the command line asks for: zelvoterm [--port PORT] [--baud RATE] [--settings FILE]
// [--help] [--help-all] [--version].
struct CommandLine {
    enum class Action { Run, Help, HelpAll, Version, Error };
    Action action = Action::Run;
    SettingsOverrides overrides; // --port and --baud, applied as if confirmed in the settings dialog
    QString settingsFile;        // --settings; empty for the usual place
    QString error;               // one line, control characters escaped, for Action::Error
};

// The exit status of a refused command line.
inline constexpr int kRefusedStatus = 2;

// Reads the arguments (the program name first). Qt's own options (-platform, -style ...) stay in
// the arguments until QApplication takes them out; with `qtOptionsPresent` they are passed over,
// so that help, version and bad values are answered before a display is needed.
[[nodiscard]] CommandLine parseCommandLine(const QStringList& arguments, bool qtOptionsPresent = false);

// The help text for Help or HelpAll, naming the settings file the command line would use; needs
// an application object for the program's name.
[[nodiscard]] QString commandLineHelp(const CommandLine& commandLine);
