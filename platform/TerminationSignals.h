#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGHUP and SIGINT (kill, a logout, Ctrl+C in the starting terminal) into the
// Qt signal `received` on the thread that made the object, so that the program can end as its
// Quit does instead of at once. One object at a time; its destruction restores the default actions.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received();

private:
    void onPipeReadable();

    QSocketNotifier* m_notifier = nullptr;
};

// A write past a file-size limit then fails with EFBIG, which the session log, Save As and the
// settings file report, instead of killing the program with its data unsaved. Returns the
// disposition it replaced.
using SignalHandler = void (*)(int);
SignalHandler ignoreFileSizeSignal();
