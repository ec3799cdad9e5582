#include "Commands.h"
#include "PtyRunner.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <random>
#include <unistd.h>

using namespace modsim;

namespace {

PtyRunner* g_runner = nullptr;

void onSignal(int)
{
    if (g_runner)
        g_runner->requestStop();
}

QString defaultLinkPath()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QDir(QString::fromLocal8Bit(runtime)).filePath(QStringLiteral("zelvo-modsim"));
    return QStringLiteral("/tmp/zelvo-modsim-%1").arg(::getuid());
}

void print(const QString& text)
{
    std::fputs(text.toLocal8Bit().append('\n').constData(), stdout);
    std::fflush(stdout);
}

// While the line runs, a stdout that nobody reads (a script that took the first line and went
// on) must not stall the loop and with it the terminal's writes: a line that does not fit now is
// dropped. Lines up to PIPE_BUF go into a pipe whole or not at all.
void printIfRoom(const QString& text)
{
    pollfd p{STDOUT_FILENO, POLLOUT, 0};
    if (::poll(&p, 1, 0) != 1 || (p.revents & POLLOUT) == 0)
        return;
    const QByteArray line = text.toLocal8Bit().append('\n');
    [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, line.constData(), size_t(line.size()));
}

[[noreturn]] void refuse(const QString& text)
{
    std::fputs(("zelvo-modsim: " + text + '\n').toLocal8Bit().constData(), stderr);
    std::exit(2);
}

// A bare number is milliseconds here: the usual unit of an answer delay.
std::optional<Millis> parseDelay(const QString& text)
{
    bool ok = false;
    const int ms = text.toInt(&ok);
    if (ok)
        return ms >= 0 ? std::optional<Millis>(ms) : std::nullopt;
    return parseDuration(text);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvo-modsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELVO_MODSIM_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates a 920 MHz radio module and its remote-control transmitters on a pseudo-terminal.\n"
        "Prints the slave's path on the first line; type help for the commands it reads on stdin."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption link(
        QStringLiteral("link"),
        QStringLiteral("Symbolic link to the slave (default %1).").arg(defaultLinkPath()),
        QStringLiteral("path"), defaultLinkPath());
    const QCommandLineOption delay(QStringLiteral("answer-delay"),
                                   QStringLiteral("Delay before each answer, in ms (default 20)."),
                                   QStringLiteral("ms"), QStringLiteral("20"));
    const QCommandLineOption transmitters(QStringLiteral("transmitters"),
                                          QStringLiteral("Number of transmitters (default 1)."),
                                          QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption type(QStringLiteral("type"),
                                  QStringLiteral("Their type, pad02 to pad70 (default pad04)."),
                                  QStringLiteral("type"), QStringLiteral("pad04"));
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Key presses per second over all transmitters, e.g. 5/s "
                                                 "(default 0: only on command)."),
                                  QStringLiteral("rate"), QStringLiteral("0"));
    const QCommandLineOption duration(QStringLiteral("duration"),
                                      QStringLiteral("Run this long, e.g. 30s, then exit (default: until "
                                                     "quit or a signal)."),
                                      QStringLiteral("time"), QStringLiteral("0"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the transmitter IDs and presses (default: random, "
                                                 "printed)."),
                                  QStringLiteral("n"));
    const QCommandLineOption moduleId(QStringLiteral("module-id"),
                                      QStringLiteral("The module's own ID (default 4D 53 00 01)."),
                                      QStringLiteral("id"), idText(kDefaultModuleId));
    const QCommandLineOption maker(QStringLiteral("maker"),
                                   QStringLiteral("The transmitters' maker code (default 83 41 00 00)."),
                                   QStringLiteral("code"), idText(kDefaultMaker));
    const QCommandLineOption drop(QStringLiteral("drop"),
                                  QStringLiteral("Transmitter T loses PERCENT of its key reports, e.g. 2:20 "
                                                 "(may be repeated)."),
                                  QStringLiteral("T:PERCENT"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Print only the path, the link and replies to commands."));
    parser.addOptions({link, delay, transmitters, type, rate, duration, seed, moduleId, maker, drop, quiet});
    parser.process(app);

    ModuleOptions module;
    Scenario scenario;
    RunnerOptions runner{.linkPath = parser.value(link), .commandFd = STDIN_FILENO};

    const auto answerDelay = parseDelay(parser.value(delay));
    if (!answerDelay)
        refuse(QStringLiteral("--answer-delay wants milliseconds, e.g. 20"));
    module.answerDelay = *answerDelay;
    bool ok = false;
    scenario.transmitters = parser.value(transmitters).toInt(&ok);
    if (!ok || scenario.transmitters < 1 || scenario.transmitters > 100'000)
        refuse(QStringLiteral("--transmitters wants a number from 1 to 100000"));
    const auto keys = parsePadType(parser.value(type));
    if (!keys)
        refuse(QStringLiteral("--type wants one of pad02 pad04 pad08 pad18 pad27 pad32 pad48 pad70"));
    scenario.keys = *keys;
    const auto presses = parseRate(parser.value(rate));
    if (!presses)
        refuse(QStringLiteral("--rate wants presses per second, e.g. 5/s or 120/min"));
    scenario.pressesPerSecond = *presses;
    const auto runTime = parseDuration(parser.value(duration));
    if (!runTime)
        refuse(QStringLiteral("--duration wants a time, e.g. 30s or 2min"));
    scenario.duration = *runTime;
    for (const QString& value : parser.values(drop)) {
        const auto d = parseDrop(value);
        if (!d || d->first > scenario.transmitters)
            refuse(QStringLiteral("--drop wants a transmitter from 1 to %1 and a percentage from 0 to 100, "
                                  "e.g. 2:20")
                       .arg(scenario.transmitters));
        scenario.dropPercent[d->first] = d->second;
    }
    module.seed = std::random_device{}();
    if (parser.isSet(seed)) {
        module.seed = parser.value(seed).toUInt(&ok);
        if (!ok)
            refuse(QStringLiteral("--seed wants a whole number"));
    }
    const auto id = parseId(parser.value(moduleId));
    const auto makerCode = parseId(parser.value(maker));
    if (!id || !makerCode)
        refuse(QStringLiteral("--module-id and --maker want four hexadecimal bytes, e.g. \"83 41 00 00\""));
    module.moduleId = *id;
    module.makerCode = *makerCode;

    PtyRunner sim(module, scenario, runner);
    sim.onOutput = printIfRoom;
    if (!parser.isSet(quiet))
        sim.onLog = printIfRoom;
    QString error;
    if (!sim.open(&error))
        refuse(error);

    // The first line is the path alone, so that a script can read it.
    print(sim.slavePath());
    print(QStringLiteral("link: %1 -> %2").arg(sim.linkPath(), sim.slavePath()));
    if (!parser.isSet(quiet))
        print(QStringLiteral("module %1, answers after %2 ms, seed %3; type help for commands")
                  .arg(idText(module.moduleId))
                  .arg(module.answerDelay)
                  .arg(module.seed));

    g_runner = &sim;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // a closed stdout must not end the line
    // Started in the background of an interactive shell, reading the terminal would stop us;
    // ignored, the read fails and the simulator runs on without commands.
    std::signal(SIGTTIN, SIG_IGN);
    std::signal(SIGTTOU, SIG_IGN);
    sim.run();
    g_runner = nullptr;
    return 0;
}
