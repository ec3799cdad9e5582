#include "CommPort.h"

#include "CommPortPrivate.h"
#include "CommView.h"
#include "DevicePath.h"
#include "EventWait.h"
#include "FrameAssembler.h"
#include "OpenFailure.h"
#include "ProgramTitle.h"
#include "ReceiveWorker.h"
#include "SerialDevice.h"
#include "Tick.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <mutex>

PortFlag answerReceived;
PortFlag reportOpenErrors;

namespace {
SerialDevice& device()
{
    static SerialDevice d;
    return d;
}

QPointer<ReceiveWorker>& worker()
{
    static QPointer<ReceiveWorker> w;
    return w;
}

// The session of the port now open; a pass or an error exit of an older one finds it replaced.
std::shared_ptr<ReceiveSession>& currentSession()
{
    static std::shared_ptr<ReceiveSession> s;
    return s;
}

PortListener*& listener()
{
    static PortListener* l = nullptr;
    return l;
}

// Numbers the opens, so a worker can tell whether it still serves the current one.
std::mutex generationMutex;
uint64_t currentGeneration = 0;

void showModemLines()
{
    commView().showModemLines(device().modemLineRaised(ModemLine::Dtr),
                              device().modemLineRaised(ModemLine::Rts));
}

int bitRateFor(int32_t setting)
{
    return isBitRate(setting) ? setting : 9600;
}

} // namespace

bool isBitRate(int32_t rate)
{
    return std::find(kBitRates.begin(), kBitRates.end(), rate) != kBitRates.end();
}

QStringList bitRateTexts()
{
    QStringList texts;
    for (const int32_t rate : kBitRates)
        texts << QString::number(rate);
    return texts;
}

LineSettings lineSettingsFor(const CommSettings& s)
{
    LineSettings l;
    l.bitRate = bitRateFor(s.baudRate);
    l.dataBits = s.dataBits == 8 ? 8 : 7;
    l.parity = s.parity == u"ODD" ? Parity::Odd : s.parity == u"EVEN" ? Parity::Even : Parity::None;
    l.stopBits = s.stopBits == 1 ? 1 : 2;
    return l;
}

namespace {
void startWorker()
{
    uint64_t generation = 0;
    {
        std::lock_guard lock(generationMutex);
        generation = ++currentGeneration;
        commSettings.workerRunning = 1;
    }
    auto* w = new ReceiveWorker(device(), generation);
    currentSession() = w->session();
    commSettings.linkError = 0;
    worker() = w;
    w->start(QThread::IdlePriority);
}
} // namespace

bool commOpen()
{
    commClose();
    const QString path = devicePathFor(commSettings.portName);
    if (!device().open(path)) {
        // The system's reason goes on a second line: the first alone cannot tell a missing
        // adapter from a missing group membership or a port another program holds.
        if (reportOpenErrors)
            commView().reportMessage(CommView::LinkMessage::OpenFailed,
                                     QStringLiteral("INVALID HANDLE\n") +
                                         openFailureReason(path, device().openError()),
                                     QStringLiteral("Comm Open"));
        commView().setPortStatus(commSettings.portName + QStringLiteral(":OFF"));
        commSettings.linkError = 1;
        commSettings.portOpen = 0;
        commSettings.workerRunning = 0;
        return false;
    }
    // The kernel's queues stand in for the 8192-byte driver queues.
    device().configure(lineSettingsFor(commSettings));
    // Opening a terminal raises DTR and RTS; they go low again before anything is written.
    device().clearModemLines();
    showModemLines();
    // Whatever frame was in progress belonged to the port before: start between frames.
    receivedFrame.backBetweenFrames();
    commSettings.portOpen = 1;
    startWorker();
    commView().setPortStatus(commSettings.portName + QStringLiteral(":OK"));
    return true;
}

void commClose()
{
    if (listener())
        listener()->portClaimed();
    if (!commSettings.portOpen)
        return;
    if (worker()) {
        const std::shared_ptr<ReceiveSession> session = worker()->session();
        worker()->requestStop();
        // Passes and the error exit of the worker run on this thread: keep them going.
        waitProcessingEvents([&] { return session->finished.load(); });
        // The worker has nothing left to do but return; it no longer touches the device.
        if (worker())
            worker()->wait();
        worker() = nullptr;
    }
    if (currentSession()) {
        currentSession()->cancelled = true;
        currentSession().reset();
    }
    if (device().isOpen()) {
        device().clearModemLines();
        device().close();
    }
    commSettings.portOpen = 0;
    commView().setPortStatus(commSettings.portName + QStringLiteral(":OFF"));
    showModemLines();
}

void commWorkerEnded(uint64_t generation)
{
    std::lock_guard lock(generationMutex);
    if (generation == currentGeneration)
        commSettings.workerRunning = 0;
}

void commErrorExit(ReceiveSession& session)
{
    if (currentSession().get() != &session)
        return;
    commView().setPortStatus(commSettings.portName + QStringLiteral(":OFF"));
    session.cancelled = true;
    currentSession().reset();
    device().close();
    commSettings.portOpen = 0;
    showModemLines();
    if (listener())
        listener()->portLost();
}

void setPortListener(PortListener* l)
{
    listener() = l;
}

PortListener* portListener()
{
    return listener();
}

void commWrite(const uint8_t* bytes, int32_t count)
{
    answerReceived = 0;
    if (!device().isOpen() || !currentSession())
        return;
    if (device().checkStatus().lineError) {
        commView().reportMessage(CommView::LinkMessage::WriteRefused,
                                 QStringLiteral("Send ClearCommError dwErrorMask != 0"), kProgramTitle);
        commSettings.linkError = 1;
        if (worker())
            worker()->wake();
        return;
    }
    if (count > 0)
        device().write(reinterpret_cast<const char*>(bytes), count);
}

bool setModemLine(ModemLine line, bool raised)
{
    if (!device().isOpen())
        return false;
    device().setModemLine(line, raised);
    showModemLines();
    return true;
}

bool modemLineRaised(ModemLine line)
{
    return device().modemLineRaised(line);
}

bool sendBreak()
{
    if (!device().isOpen())
        return false;
    if (device().breakOn())
        return true;
    // A timer instead of a wait: a nested event loop would let the port be closed under the break.
    // Closing ends a break early; the number keeps a stale timer off a later break.
    static uint64_t breaksStarted = 0;
    const uint64_t thisBreak = ++breaksStarted;
    device().setBreak(true);
    QTimer::singleShot(kBreakMs, Qt::PreciseTimer, [thisBreak] {
        if (thisBreak == breaksStarted)
            device().setBreak(false);
    });
    return true;
}

bool waitForAnswer(uint32_t timeoutMs)
{
    const uint32_t start = tickCount();
    if (answerReceived)
        return true;
    bool answered = false;
    waitProcessingEvents([&] {
        if (answerReceived) {
            answered = true;
            return true;
        }
        return tickCount() - start > timeoutMs;
    });
    return answered;
}

void pumpWait(uint32_t durationMs)
{
    const uint32_t start = tickCount();
    waitProcessingEvents([&] { return tickCount() - start >= durationMs; });
}
