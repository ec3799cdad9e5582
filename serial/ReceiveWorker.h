#pragma once

#include "FrameAssembler.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class SerialDevice;

// What the worker and the GUI thread's passes share. The passes outlive the worker when the
// port is closed from inside one of them (a message box or a wait within a pass), so they hold
// the session, not the thread.
class ReceiveSession : public FrameSink {
public:
    ReceiveSession(SerialDevice& device, int wakeFd, uint64_t generation)
        : device(device), wakeFd(wakeFd), generation(generation)
    {
    }

    void blockEnded(std::span<const uint8_t> block) override;
    void idsReceived() override;
    void frameCompleted() override;

    SerialDevice& device; // used on the GUI thread only; the worker only polls its descriptor
    const int wakeFd;
    const uint64_t generation; // which open of the port this session serves
    FrameAssembler assembler{receivedFrame, *this};
    std::atomic<bool> finished = false; // the worker has left its loop for good

    std::mutex mutex;
    std::condition_variable cv;
    bool passDone = false;
    bool errorExitDone = false;
    bool stop = false;
    bool cancelled = false; // the port this session served has been closed
    int bytesLastPass = 0;
    int nextWaitMs = -1; // how long the worker may wait for input before the next idle check
};

// The receive worker: it waits for input, a stop request or an idle-flush deadline, then has
// the GUI thread run one receive pass and waits for it. It waits instead of spinning, so an idle
// port costs nothing. It deletes itself when it has ended.
class ReceiveWorker : public QThread {
    Q_OBJECT
public:
    ReceiveWorker(SerialDevice& device, uint64_t generation);
    ~ReceiveWorker() override;

    void requestStop();
    // Wakes the worker so it looks at linkError.
    void wake();
    [[nodiscard]] const std::shared_ptr<ReceiveSession>& session() const { return m_session; }

protected:
    void run() override;

private:
    bool waitForPass();
    const int m_wakeFd;
    std::shared_ptr<ReceiveSession> m_session;
};

// One receive pass on the GUI thread: line-error check, the queued bytes through the assembler,
// then the idle flush.
void receivePass(ReceiveSession& session);
