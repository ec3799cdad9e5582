#include "Ctl.h"

#include "CommPort.h"
#include "CommSettings.h"
#include "CommView.h"
#include "DeviceSetup.h"
#include "FrameLog.h"
#include "FrameText.h"
#include "LinkStats.h"
#include "ModuleFrame.h"
#include "PortSearch.h"
#include "Records.h"
#include "SendLine.h"
#include "SettingsFile.h"
#include "TerminationSignals.h"
#include "Tick.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {
// Standard output written straight to its descriptor, so every line reaches a pipe at once.
// A reader that has gone away (`| head`) ends the run quietly: what it wanted it has.
class Output {
public:
    // False once the reader has gone.
    bool write(std::string_view text)
    {
        while (!text.empty() && !m_closed) {
            const ssize_t n = ::write(STDOUT_FILENO, text.data(), text.size());
            if (n > 0)
                text.remove_prefix(size_t(n));
            else if (n < 0 && errno != EINTR)
                m_closed = true;
        }
        return !m_closed;
    }
    [[nodiscard]] bool closed() const { return m_closed; }

private:
    bool m_closed = false;
};

void printError(const QString& text)
{
    std::fprintf(stderr, "zelvoctl: %s\n", qPrintable(text));
}

// The link as seen from a script: blocks go to whoever listens, messages to standard error.
class CtlView : public CommView, public PortListener {
public:
    CtlView()
    {
        setCommView(this);
        setPortListener(this);
    }
    ~CtlView() override
    {
        setPortListener(nullptr);
        setCommView(nullptr);
    }

    void displayReceivedBlock(std::span<const uint8_t> block) override
    {
        if (onBlock)
            onBlock(block);
    }
    void reportMessage(LinkMessage kind, const QString& text, const QString& caption) override
    {
        (void)kind;
        printError(caption + QStringLiteral(": ") + QString(text).replace(u'\n', QStringLiteral(": ")));
    }
    void portLost() override
    {
        printError(commSettings.portName +
                   QStringLiteral(": the port has gone away or reported a line error"));
        lost = true;
        QCoreApplication::exit(kExitNotHappened);
    }
    void portClaimed() override {}

    std::function<void(std::span<const uint8_t>)> onBlock;
    bool lost = false;
};

int64_t nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

bool matches(const CtlRequest& r, std::span<const uint8_t> block)
{
    if (!r.commandFilter && !r.idFilter)
        return true;
    if (!isWholeFrame(block))
        return false;
    if (r.commandFilter && block[kFrameCommandAt] != *r.commandFilter)
        return false;
    if (r.idFilter) {
        const auto is = [&](size_t at) {
            return std::equal(r.idFilter->begin(), r.idFilter->end(), &block[at]);
        };
        return is(kFrameSourceAt) || is(kFrameDestinationAt);
    }
    return true;
}

// Runs the event loop until the command ends it, its time is up or a termination signal comes.
int runLoop(std::optional<double> seconds, int statusAtTimeout)
{
    QTimer timeout;
    if (seconds) {
        timeout.setSingleShot(true);
        timeout.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timeout, &QTimer::timeout,
                         [statusAtTimeout] { QCoreApplication::exit(statusAtTimeout); });
        timeout.start(std::chrono::milliseconds(int64_t(*seconds * 1000)));
    }
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, [] { QCoreApplication::exit(kExitDone); });
    return QCoreApplication::exec();
}

int listen(const CtlRequest& r, CtlView& view, Output& out)
{
    if (r.format == OutputFormat::Csv && !out.write(blockCsvHeader()))
        return kExitDone;
    uint64_t count = 0;
    // The lines of one receive pass go out in one write once the pass has ended: as live as a
    // write per line, at a fraction of the wake-ups of the reader.
    std::string pending;
    QObject flusher; // posted flushes die with it
    const auto flush = [&] {
        if (!out.write(pending))
            QCoreApplication::exit(kExitDone);
        pending.clear();
    };
    view.onBlock = [&](std::span<const uint8_t> block) {
        // The rest of the pass that reached the count is not printed.
        if ((r.count && count >= *r.count) || out.closed() || !matches(r, block))
            return;
        ++count;
        if (pending.empty())
            QMetaObject::invokeMethod(&flusher, flush, Qt::QueuedConnection);
        pending += blockLine(r.format, nowMs(), block);
        if (r.count && count >= *r.count)
            QCoreApplication::exit(kExitDone);
    };
    const int status = runLoop(r.durationS, kExitDone);
    view.onBlock = nullptr;
    (void)out.write(pending);
    std::fprintf(stderr, "%llu blocks\n", static_cast<unsigned long long>(count));
    // A count not reached is no failure when a time or a signal ended the run.
    return status;
}

// Waits for the next whole frame received and prints it.
int expectAnswer(const CtlRequest& r, CtlView& view, Output& out)
{
    bool answered = false;
    view.onBlock = [&](std::span<const uint8_t> block) {
        if (answered || !isWholeFrame(block))
            return;
        answered = true;
        if (r.format == OutputFormat::Csv)
            (void)out.write(blockCsvHeader());
        (void)out.write(blockLine(r.format, nowMs(), block));
        QCoreApplication::exit(kExitDone);
    };
    const int status = runLoop(r.timeoutS, kExitNotHappened);
    if (status == kExitNotHappened && !view.lost)
        printError(QStringLiteral("no answer within %1 s").arg(r.timeoutS));
    return status;
}

int send(const CtlRequest& r, CtlView& view, Output& out)
{
    if (r.text) {
        writeSent(SentKind::TextLine,
                  {textLineBytes(*r.text, commSettings.sendHeader, commSettings.sendDelimiter)});
    } else if (const QString refused = sendUserFrame(r.frameCommand, r.src, r.dst, r.payload);
               !refused.isEmpty()) {
        printError(refused);
        return kExitUsage;
    }
    return r.expectAnswer ? expectAnswer(r, view, out) : kExitDone;
}

int setup(const CtlRequest& r)
{
    // The 920 MHz module, as the main window starts: a stored channel outside its range is 33,
    // a stored rate other than 9600 or 500k is 100k.
    (void)applyDeviceKind(KindVintaC);
    const int32_t channel = r.channel.value_or(rfChannel);
    const int32_t power = r.power.value_or(rfPower);
    const int32_t rate =
        r.rateCode.value_or(rfRateCode == kRate9600 || rfRateCode == kRate500k ? rfRateCode : kRate100k);
    const int channelIndex = channel - 24;
    sendRfConfig(KindVintaC, channelIndex, power, rate);
    if (r.init) {
        waitForAnswer(1000);
        sendRfInit(KindVintaC, channelIndex);
    }
    // The module answers every set-up command; a script must know when it did not.
    if (!waitForAnswer(1000)) {
        printError(QStringLiteral("the module did not answer on ") + commSettings.portName);
        return kExitNotHappened;
    }
    return kExitDone;
}

std::string keyText(int key)
{
    return key < 0 ? std::string("null") : std::to_string(key);
}

std::string fixed1(double v)
{
    return QString::number(v, 'f', 1).toStdString();
}

int stats(const CtlRequest& r, CtlView& view, Output& out)
{
    LinkStats counted;
    view.onBlock = [&](std::span<const uint8_t> block) { counted.count(block, tickCount()); };
    const int status = runLoop(r.durationS, kExitDone);
    counted.advance(tickCount());
    std::vector<Record> records;
    for (const LinkRow& row : counted.rows()) {
        std::string id;
        switch (row.kind) {
        case LinkRow::Kind::Transmitter:
            appendHex(id, row.id);
            break;
        case LinkRow::Kind::Command: {
            char h[16];
            std::snprintf(h, sizeof h, "command %02X", row.command);
            id = h;
            break;
        }
        case LinkRow::Kind::NotAFrame:
            id = kNotFrameKindName;
            break;
        }
        records.push_back(
            {{"device", id},
             {"frames", std::to_string(row.frames), true},
             {"bytes", std::to_string(row.bytes), true},
             {"lost", std::to_string(row.lost), true},
             {"loss_percent", fixed1(row.lossPercent()), true},
             {"duplicates", std::to_string(row.duplicates), true},
             {"restarts", std::to_string(row.restarts), true},
             {"last_key", keyText(row.lastKey), true},
             {"reports_per_second", fixed1(row.rate.perSecond(counted.nowMs())), true},
             {"silent_seconds", fixed1(double(counted.nowMs() - row.lastHeardMs) / 1000.0), true}});
    }
    (void)out.write(tableText(r.format,
                              {"device", "frames", "bytes", "lost", "loss_percent", "duplicates", "restarts",
                               "last_key", "reports_per_second", "silent_seconds"},
                              records));
    return status;
}

const std::vector<std::string> kPortFields = {"port",   "product", "manufacturer",
                                              "serial", "vid_pid", "by_id"};

Record portRecord(const PortInfo& p)
{
    return {{"port", p.name.toStdString()},
            {"product", p.product.toStdString()},
            {"manufacturer", p.manufacturer.toStdString()},
            {"serial", p.serialNumber.toStdString()},
            {"vid_pid", p.usbIds.toStdString()},
            {"by_id", p.stableLink.toStdString()}};
}

int ports(const CtlRequest& r, Output& out)
{
    std::vector<Record> records;
    for (const PortInfo& p : availablePorts())
        records.push_back(portRecord(p));
    (void)out.write(tableText(r.format, kPortFields, records));
    return kExitDone;
}

int search(const CtlRequest& r, Output& out)
{
    QList<PortInfo> candidates;
    for (const QString& port : r.searchPorts) {
        PortInfo given;
        given.name = port;
        candidates << given;
    }
    if (r.searchPorts.isEmpty())
        candidates = availablePorts();
    // The probe is the RF settings command of the 920 MHz module, as the windows send it.
    (void)applyDeviceKind(KindVintaC);
    const std::optional<qsizetype> found =
        probePorts(candidates, {.trying = {}, .opened = {}, .sendProbe = [] {
                                    sendRfConfig(KindVintaC, rfChannel - 24, rfPower, rfRateCode);
                                }});
    if (!found) {
        printError(QStringLiteral("no module answered on %1 ports").arg(candidates.size()));
        return kExitNotHappened;
    }
    (void)out.write(tableText(r.format, kPortFields, {portRecord(candidates[*found])}));
    return kExitDone;
}
} // namespace

int runCtl(const CtlRequest& r)
{
    // Without --settings, the file zelvoterm itself uses.
    setSettingsFilePath(r.settingsFile.isEmpty() ? settingsFilePathOf(QStringLiteral("zelvoterm"))
                                                 : r.settingsFile);
    loadSettings();
    if (r.port)
        commSettings.portName = *r.port;
    if (r.baud)
        commSettings.baudRate = *r.baud;
    Output out;
    CtlView view;
    switch (r.command) {
    case CtlCommand::Ports:
        return ports(r, out);
    case CtlCommand::Search:
        return search(r, out);
    default:
        break;
    }
    reportOpenErrors = 1;
    if (!commOpen())
        return kExitPortFailed;
    int status = kExitDone;
    switch (r.command) {
    case CtlCommand::Listen:
        status = listen(r, view, out);
        break;
    case CtlCommand::Send:
        status = send(r, view, out);
        break;
    case CtlCommand::Setup:
        status = setup(r);
        break;
    case CtlCommand::Stats:
        status = stats(r, view, out);
        break;
    default:
        break;
    }
    view.onBlock = nullptr;
    commClose();
    return status;
}
