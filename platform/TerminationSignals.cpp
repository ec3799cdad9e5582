#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr std::array kSignals{SIGTERM, SIGHUP, SIGINT};

// The handler may only do what is async-signal-safe: it writes one byte into a pipe that the
// event loop watches.
std::array<int, 2> g_pipe{-1, -1};

void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a wake-up; the byte may be dropped.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::pipe2(g_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onPipeReadable);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : kSignals)
        sigaction(s, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    for (const int s : kSignals)
        std::signal(s, SIG_DFL);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe = {-1, -1};
}

void TerminationSignals::onPipeReadable()
{
    std::array<char, 16> bytes{};
    while (::read(g_pipe[0], bytes.data(), bytes.size()) > 0) {
    }
    emit received();
}

SignalHandler ignoreFileSizeSignal()
{
    return std::signal(SIGXFSZ, SIG_IGN);
}
