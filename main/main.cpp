#include "CommandLine.h"
#include "MainWindow.h"
#include "TerminationSignals.h"

#include <QApplication>

#include <cstdio>
#include <optional>

namespace {
QStringList argumentList(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Help, version and refusals end the program here, before any window exists.
int answer(const CommandLine& commandLine, int argc, char* argv[])
{
    if (commandLine.action == CommandLine::Action::Error) {
        std::fprintf(stderr, "zelvoterm: %s\n", qPrintable(commandLine.error));
        return kRefusedStatus;
    }
    if (commandLine.action == CommandLine::Action::Version) {
        std::printf("zelvoterm %s\n", ZELVOTERM_VERSION);
        return 0;
    }
    // The help text names the program and the settings file, which need an application object,
    // but not a display.
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(argc, argv);
    std::fputs(qPrintable(commandLineHelp(commandLine)), stdout);
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    if (const CommandLine early = parseCommandLine(argumentList(argc, argv), true);
        early.action != CommandLine::Action::Run)
        return answer(early, argc, argv);

    ignoreFileSizeSignal();
    QApplication app(argc, argv);
    // Signals that arrive while the window is built wait in the pipe until the event loop runs.
    TerminationSignals termination;
    setUpApplication();
    QApplication::setApplicationVersion(QStringLiteral(ZELVOTERM_VERSION));
    // Qt's own options are gone now; anything still unknown is refused.
    const CommandLine commandLine = parseCommandLine(QApplication::arguments());
    if (commandLine.action != CommandLine::Action::Run)
        return answer(commandLine, argc, argv);
    if (!commandLine.settingsFile.isEmpty())
        setSettingsFilePath(commandLine.settingsFile);

    MainWindow mainWindow(nullptr, commandLine.overrides);
    mainWindow.createToolWindows();
    mainWindow.show();
    QObject::connect(&termination, &TerminationSignals::received, &mainWindow, [&mainWindow] {
        mainWindow.onQuitChosen();
        // Ends a modal dialog's loop too, which the window's closing alone would leave running.
        QCoreApplication::exit(0);
    });
    return app.exec();
}
