// zelvoctl: the module from scripts. Results go to standard output, everything else to
// standard error, and the exit status says what happened.
#include "Ctl.h"
#include "CtlRequest.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char* argv[])
{
    // Qt's own event dispatcher costs less per receive pass than GLib's, and zelvoctl needs
    // nothing of GLib's.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvoctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELVOTERM_VERSION));
    const ParsedRequest parsed = parseCtlArguments(QCoreApplication::arguments().mid(1));
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "zelvoctl: %s\n", qPrintable(parsed.error));
        return kExitUsage;
    }
    switch (parsed.request.command) {
    case CtlCommand::Help:
        std::fputs(qPrintable(ctlHelp()), stdout);
        return kExitDone;
    case CtlCommand::Version:
        std::printf("zelvoctl %s\n", ZELVOTERM_VERSION);
        return kExitDone;
    default:
        break;
    }
    // A reader that has gone away shows up as a failed write, which ends the run with status 0.
    std::signal(SIGPIPE, SIG_IGN);
    return runCtl(parsed.request);
}
