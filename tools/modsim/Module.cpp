#include "Module.h"

#include <QStringEncoder>

#include <algorithm>
#include <cmath>

namespace modsim {

namespace {

struct AnswerRule {
    uint8_t command;
    const char* name;
    std::array<int, 2> payloadLengths; // the lengths a well-formed request may have
};

// The commands the module answers. Everything else the terminal sends gets no answer.
constexpr std::array kAnswered{
    AnswerRule{cmd::kRemoteRf, "remote RF set-up", {4, 8}},
    AnswerRule{cmd::kRfChannel, "RF channel", {1, 1}},
    AnswerRule{cmd::kRfPower, "RF power", {1, 1}},
    AnswerRule{cmd::kRfParameters, "RF parameters", {22, 23}},
    AnswerRule{cmd::kInitKindB, "initialisation (Vinta-24B)", {9, 9}},
    AnswerRule{cmd::kInit, "initialisation", {23, 23}},
};

constexpr uint8_t kStatusAccepted = 0x00;
constexpr uint8_t kStatusBadLength = 0x01;
constexpr int kCutAfter = 9; // inside the source ID, so the terminal has no IDs yet
constexpr size_t kReceivedKept = 256;

QString hexByte(uint8_t b)
{
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

Module::Module(ModuleOptions options)
    : m_options(options), m_reader(options.frameGap), m_rng(options.seed), m_dropRng(~options.seed)
{
    m_usedIds = {m_options.moduleId, kBroadcastId};
    setScenario({}, 0);
}

void Module::say(const QString& line) const
{
    if (log)
        log(line);
}

DeviceId Module::newDeviceId()
{
    for (;;) {
        const uint32_t v = m_rng();
        const DeviceId id{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
        if (m_usedIds.insert(id).second)
            return id;
    }
}

void Module::setScenario(const Scenario& scenario, Millis now)
{
    m_scenario = scenario;
    m_transmitters.clear();
    for (int i = 0; i < scenario.transmitters; ++i)
        m_transmitters.push_back(Transmitter{.id = newDeviceId(), .keys = scenario.keys});
    for (const auto& [number, percent] : scenario.dropPercent)
        (void)setDrop(number, percent);

    m_scenarioStart = now;
    m_pressesDone = 0;
    m_nextPress.reset();
    m_pressesPlanned = -1;
    if (scenario.pressesPerSecond <= 0 || m_transmitters.empty())
        return;
    if (scenario.duration > 0) {
        // Press k happens at k / rate seconds; those before the end count.
        const double planned = double(scenario.duration) * scenario.pressesPerSecond / 1000.0;
        m_pressesPlanned = int64_t(std::ceil(planned - 1e-9));
        if (m_pressesPlanned == 0)
            return;
    }
    m_nextPress = now;
}

void Module::queue(QByteArray bytes, Millis notBefore)
{
    m_line.push_back({std::move(bytes), notBefore});
}

QByteArray Module::keyReport(Transmitter& t, uint8_t code)
{
    ++m_stats.keyReportsSent;
    return encodeFrame({.command = cmd::kKeyReport,
                        .sequence = t.sequence++,
                        .src = m_options.moduleId,
                        .dst = t.id,
                        .payload = keyReportPayload(m_options.makerCode, code)});
}

void Module::sendKeyReport(Transmitter& t, uint8_t code, Millis at)
{
    // Drawn only for a transmitter that loses reports, so the others' runs stay as they were.
    if (t.dropPercent > 0 && double(m_dropRng()) * 100.0 / 4294967296.0 < t.dropPercent) {
        ++t.sequence; // the transmitter sent it all the same
        ++m_stats.keyReportsDropped;
        return;
    }
    queue(keyReport(t, code), at);
}

void Module::feedFromTerminal(QByteArrayView bytes, Millis now)
{
    tick(now);
    std::vector<Frame> frames;
    const uint64_t droppedBefore = m_reader.droppedBytes();
    m_reader.feed(bytes, now, frames);
    const uint64_t dropped = m_reader.droppedBytes() - droppedBefore;
    if (dropped > 0) {
        m_stats.bytesIgnored += dropped;
        say(QStringLiteral("terminal: %1 byte(s) outside any frame, ignored").arg(dropped));
    }
    for (const Frame& f : frames) {
        ++m_stats.framesReceived;
        m_received.push_back(f);
        if (m_received.size() > kReceivedKept)
            m_received.pop_front();
        answer(f, now);
    }
    tick(now);
}

void Module::answer(const Frame& request, Millis now)
{
    const QString what = QStringLiteral("terminal: %1 seq %2 from %3, %4 payload byte(s)")
                             .arg(hexByte(request.command), hexByte(request.sequence), idText(request.src))
                             .arg(request.payload.size());
    const auto rule = std::ranges::find(kAnswered, request.command, &AnswerRule::command);
    if (rule == kAnswered.end()) {
        if (request.command == cmd::kKeyReport && request.payload.size() >= 5)
            say(what + QStringLiteral(": key %1 goes out over the air, nothing comes back")
                           .arg(uint8_t(request.payload[4])));
        else
            say(what + QStringLiteral(": not a module command, ignored"));
        return;
    }

    const bool wellFormed =
        std::ranges::find(rule->payloadLengths, int(request.payload.size())) != rule->payloadLengths.end();
    const uint8_t status = wellFormed ? kStatusAccepted : kStatusBadLength;
    QString detail;
    const QByteArray& p = request.payload;
    if ((request.command == cmd::kRfParameters || request.command == cmd::kInit) && p.size() == 23)
        detail = QStringLiteral(" (power %1, channel %2, rate code %3)")
                     .arg(uint8_t(p[0]))
                     .arg(uint8_t(p[1]))
                     .arg(uint8_t(p[2]));
    say(what + QStringLiteral(": %1%2, status %3 in %4 ms")
                   .arg(QLatin1String(rule->name), detail, hexByte(status))
                   .arg(m_options.answerDelay));

    QByteArray payload;
    payload.append(char(request.command));
    payload.append(char(status));
    m_scheduled.emplace(now + m_options.answerDelay, encodeFrame({.command = request.command,
                                                                  .sequence = request.sequence,
                                                                  .src = m_options.moduleId,
                                                                  .dst = request.src,
                                                                  .payload = payload}));
    ++m_stats.answersSent;
}

void Module::lineReset()
{
    m_reader.reset();
}

std::optional<Millis> Module::nextEventAt() const
{
    std::optional<Millis> next;
    const auto consider = [&next](Millis t) {
        if (!next || t < *next)
            next = t;
    };
    if (!m_scheduled.empty())
        consider(m_scheduled.begin()->first);
    if (m_nextPress)
        consider(*m_nextPress);
    for (const Transmitter& t : m_transmitters)
        if (t.heldKey != 0)
            consider(t.nextRepeat);
    if (!m_line.empty())
        consider(m_line.front().notBefore);
    return next;
}

void Module::tick(Millis now)
{
    for (auto t = nextEventAt(); t && *t <= now; t = nextEventAt())
        runEventsAt(*t);
}

void Module::runEventsAt(Millis t)
{
    while (!m_scheduled.empty() && m_scheduled.begin()->first <= t) {
        queue(std::move(m_scheduled.begin()->second), t);
        m_scheduled.erase(m_scheduled.begin());
    }
    for (Transmitter& tr : m_transmitters) {
        if (tr.heldKey == 0 || tr.nextRepeat > t)
            continue;
        sendKeyReport(tr, uint8_t(tr.heldKey), t);
        tr.nextRepeat += kRepeatInterval;
        if (tr.nextRepeat >= tr.releaseAt)
            tr.heldKey = 0;
    }
    while (m_nextPress && *m_nextPress <= t) {
        scenarioPress(t);
        ++m_pressesDone;
        if (m_pressesPlanned >= 0 && m_pressesDone >= m_pressesPlanned)
            m_nextPress.reset();
        else
            m_nextPress = m_scenarioStart +
                          Millis(std::llround(double(m_pressesDone) * 1000.0 / m_scenario.pressesPerSecond));
    }
    while (!m_line.empty() && m_line.front().notBefore <= t) {
        m_output += m_line.front().bytes;
        m_line.pop_front();
    }
}

void Module::scenarioPress(Millis at)
{
    Transmitter& t = m_transmitters[size_t(pick(int(m_transmitters.size())))];
    t.heldKey = 0;
    sendKeyReport(t, uint8_t(1 + pick(t.keys)), at);
}

QByteArray Module::takeOutput()
{
    return std::exchange(m_output, {});
}

Transmitter* Module::find(int number)
{
    if (number < 1 || number > int(m_transmitters.size()))
        return nullptr;
    return &m_transmitters[size_t(number - 1)];
}

bool Module::press(int transmitter, int key, Millis now)
{
    return hold(transmitter, key, 0, now);
}

bool Module::hold(int transmitter, int key, Millis duration, Millis now)
{
    Transmitter* t = find(transmitter);
    if (t == nullptr || key < 1 || key > t->keys)
        return false;
    tick(now);
    sendKeyReport(*t, uint8_t(key), now);
    t->heldKey = duration > kRepeatInterval ? key : 0;
    t->nextRepeat = now + kRepeatInterval;
    t->releaseAt = now + duration;
    tick(now);
    return true;
}

bool Module::sendCode(int transmitter, uint8_t code, Millis now)
{
    Transmitter* t = find(transmitter);
    if (t == nullptr)
        return false;
    tick(now);
    t->heldKey = 0;
    sendKeyReport(*t, code, now);
    tick(now);
    return true;
}

bool Module::setDrop(int transmitter, double percent)
{
    Transmitter* t = find(transmitter);
    if (t == nullptr || !(percent >= 0 && percent <= 100))
        return false;
    t->dropPercent = percent;
    return true;
}

void Module::sendText(const QString& text, Millis now)
{
    tick(now);
    // The terminal shows received text in code page 932, so Japanese must travel in it.
    QStringEncoder encoder("windows-31j");
    QByteArray bytes = encoder.isValid() ? QByteArray(encoder.encode(text)) : text.toUtf8();
    queue(bytes + "\r\n", now);
    tick(now);
}

void Module::sendBurst(int bytes, Millis now)
{
    tick(now);
    // Letters only: a 0x0F would start a frame and end the burst early in the terminal's eyes.
    QByteArray burst(std::max(bytes, 0), Qt::Uninitialized);
    for (qsizetype i = 0; i < burst.size(); ++i)
        burst[i] = char('A' + i % 26);
    queue(burst, now);
    tick(now);
}

void Module::sendCutFrame(Millis pause, Millis now)
{
    tick(now);
    Transmitter stranger{.id = kBroadcastId};
    const QByteArray frame = keyReport(m_transmitters.empty() ? stranger : m_transmitters.front(), 1);
    queue(frame.first(kCutAfter), now);
    queue(frame.sliced(kCutAfter), now + pause);
    tick(now);
}

void Module::sendUnknownCommand(uint8_t command, Millis now)
{
    tick(now);
    queue(encodeFrame({.command = command,
                       .sequence = m_sequence++,
                       .src = m_options.moduleId,
                       .dst = kBroadcastId,
                       .payload = QByteArray::fromHex("010203")}),
          now);
    tick(now);
}

SurveyPlan Module::survey(int count, Millis now)
{
    tick(now);
    SurveyPlan plan;
    for (int i = 0; i < count; ++i) {
        Transmitter t{.id = newDeviceId(), .keys = 4};
        const int key = 1 + pick(4);
        plan.ids.push_back(t.id);
        plan.keys.push_back(key);
        ++plan.totals[size_t(key - 1)];
        m_scheduled.emplace(now + i * kSurveySpacing, keyReport(t, uint8_t(key)));
    }
    tick(now);
    return plan;
}

} // namespace modsim
