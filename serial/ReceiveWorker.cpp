#include "ReceiveWorker.h"

#include "Beat.h"
#include "CommPort.h"
#include "CommPortPrivate.h"
#include "CommView.h"
#include "SerialDevice.h"
#include "Tick.h"

#include <QCoreApplication>

#include <array>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// Longest sleep while a partial block waits for its idle flush; keeps the flush timely even if
// the tick source is not the wall clock.
constexpr int kMaxIdleWaitMs = 50;
// Pause when input is signalled but a pass could read nothing, so a faulty driver cannot make
// the worker spin.
constexpr int kStallPauseMs = 5;
// A pass that found this much is part of a flood: the next one follows at once, since waiting
// would only let the driver's queue fill up.
constexpr int kFloodPassBytes = 1024;
} // namespace

void ReceiveSession::blockEnded(std::span<const uint8_t> block)
{
    commView().displayReceivedBlock(block);
}

void ReceiveSession::idsReceived()
{
    commView().showSourceId();
    commView().showDestinationId();
}

void ReceiveSession::frameCompleted()
{
    answerReceived = 1;
}

void receivePass(ReceiveSession& session)
{
    SerialDevice& device = session.device;
    session.bytesLastPass = 0;
    const SerialDevice::Status status = device.checkStatus();
    if (status.lineError) {
        commSettings.linkError = 1;
        return;
    }
    // The bytes are fetched before any is handled: a handler may close the port (through a
    // nested event loop), and the bytes of this pass must not touch the device after that.
    std::array<char, 8192> chunk{};
    int remaining = status.queued;
    while (remaining > 0) {
        const int n = device.read(chunk.data(), std::min<int>(remaining, int(chunk.size())));
        if (n <= 0)
            break;
        remaining -= n;
        session.bytesLastPass += n;
        // Every byte of a chunk was queued before the read: one reading of the clock serves all.
        const uint32_t readAt = tickCount();
        for (int i = 0; i < n; ++i) {
            session.assembler.feed(static_cast<uint8_t>(chunk[size_t(i)]), readAt);
            // The rest came from a port that has been closed meanwhile; showing it now would put
            // it after what a port opened since has shown.
            if (session.cancelled)
                return;
        }
    }
    const uint32_t now = tickCount();
    session.assembler.idle(now, commSettings.receiveTimeoutMs);

    const FrameAssembler& a = session.assembler;
    if (a.count() == 0 || commSettings.receiveTimeoutMs < 0) {
        session.nextWaitMs = -1;
    } else {
        const int64_t due = int64_t(commSettings.receiveTimeoutMs) + 1 - int64_t(now - a.lastByteTick());
        session.nextWaitMs = int(std::clamp<int64_t>(due, 1, kMaxIdleWaitMs));
    }
}

ReceiveWorker::ReceiveWorker(SerialDevice& device, uint64_t generation)
    : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      m_session(std::make_shared<ReceiveSession>(device, m_wakeFd, generation))
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

ReceiveWorker::~ReceiveWorker()
{
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void ReceiveWorker::wake()
{
    const uint64_t one = 1;
    (void)!::write(m_wakeFd, &one, sizeof one);
}

void ReceiveWorker::requestStop()
{
    {
        std::lock_guard lock(m_session->mutex);
        m_session->stop = true;
    }
    m_session->cv.notify_all();
    wake();
}

bool ReceiveWorker::waitForPass()
{
    const std::shared_ptr<ReceiveSession> s = m_session;
    {
        std::lock_guard lock(s->mutex);
        s->passDone = false;
    }
    QMetaObject::invokeMethod(
        qApp,
        [s] {
            if (!s->cancelled)
                receivePass(*s);
            {
                std::lock_guard lock(s->mutex);
                s->passDone = true;
            }
            s->cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(s->mutex);
    s->cv.wait(lock, [&] { return s->passDone || s->stop; });
    return !s->stop;
}

void ReceiveWorker::run()
{
    ReceiveSession& s = *m_session;
    const int deviceFd = s.device.fd();
    int waitMs = -1;
    bool stalled = false;
    bool flooding = false;
    std::chrono::steady_clock::time_point lastPass; // long ago
    for (;;) {
        if (commSettings.linkError)
            break;
        std::array<pollfd, 2> fds{{{deviceFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}}};
        ::poll(fds.data(), stalled ? 1 : 2, stalled ? kStallPauseMs : waitMs);
        if (fds[1].revents & POLLIN) {
            uint64_t drained = 0;
            (void)!::read(m_wakeFd, &drained, sizeof drained);
        }
        {
            std::lock_guard lock(s.mutex);
            if (s.stop)
                break;
        }
        if (commSettings.linkError)
            break;
        // While frames stream in, a pass waits for the next beat after the one before: every pass
        // costs two thread switches, which cost more than the bytes themselves, and the repaints it
        // causes share its wake-up. A frame in a beat without a pass is handled at once.
        if (!flooding) {
            std::unique_lock lock(s.mutex);
            if (s.cv.wait_until(lock, nextBeat(lastPass), [&] { return s.stop; }))
                break;
        }
        lastPass = std::chrono::steady_clock::now();
        if (!waitForPass())
            break;
        {
            std::lock_guard lock(s.mutex);
            waitMs = s.nextWaitMs;
            stalled = s.bytesLastPass == 0 && (fds[0].revents & POLLIN) != 0;
            flooding = s.bytesLastPass >= kFloodPassBytes;
        }
    }

    std::unique_lock lock(s.mutex);
    if (!s.stop) {
        // Line error: the port is closed on the GUI thread, unless a stop request overtakes it.
        const std::shared_ptr<ReceiveSession> session = m_session;
        QMetaObject::invokeMethod(
            qApp,
            [session] {
                commErrorExit(*session);
                {
                    std::lock_guard l(session->mutex);
                    session->errorExitDone = true;
                }
                session->cv.notify_all();
            },
            Qt::QueuedConnection);
        s.cv.wait(lock, [&] { return s.errorExitDone || s.stop; });
    }
    commWorkerEnded(s.generation);
    s.finished = true;
}
