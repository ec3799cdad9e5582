#pragma once

#include "Frames.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <vector>

namespace modsim {

struct ModuleOptions {
    DeviceId moduleId = kDefaultModuleId;
    DeviceId makerCode = kDefaultMaker;
    Millis answerDelay = 20;
    // An incomplete frame from the terminal older than this is dropped when more bytes come.
    Millis frameGap = 100;
    uint32_t seed = 1;
};

// The transmitters and what they do without being told.
struct Scenario {
    int transmitters = 1;
    int keys = 4;                // the type: Pad04 presses keys 1 to 4
    double pressesPerSecond = 0; // over all transmitters together
    Millis duration = 0;         // 0: presses go on until the program ends
    // Transmitter number (from 1) and the percentage of its key reports lost on the way.
    std::map<int, double> dropPercent{};
};

struct Transmitter {
    DeviceId id{};
    int keys = 4;
    uint8_t sequence = 0;
    double dropPercent = 0; // this share of its key reports never reaches the module
    int heldKey = 0;        // 0: no key held
    Millis nextRepeat = 0;
    Millis releaseAt = 0;
};

// New four-key transmitters that each press one key once, and what a survey should count.
struct SurveyPlan {
    std::vector<DeviceId> ids;
    std::vector<int> keys;
    std::array<int, 4> totals{};
};

struct ModuleStats {
    uint64_t framesReceived = 0;
    uint64_t answersSent = 0;
    uint64_t keyReportsSent = 0;
    uint64_t keyReportsDropped = 0; // lost on the way, so not among those sent
    uint64_t bytesIgnored = 0;      // from the terminal, belonging to no frame
};

// A 920 MHz module on the serial side, with the transmitters it hears. It answers the
// terminal's set-up commands after a delay and relays key reports; everything it sends goes to
// one output line in order, as a UART would send it, so a pause inside a frame holds back what
// follows. The caller passes the time to every call and collects the bytes with takeOutput().
class Module {
public:
    static constexpr Millis kRepeatInterval = 100; // a held key repeats its report this often
    static constexpr Millis kSurveySpacing = 50;
    static constexpr int kMaxKeys = 70;

    explicit Module(ModuleOptions options = {});

    // Replaces the transmitters and starts their presses at `now`.
    void setScenario(const Scenario& scenario, Millis now);

    void feedFromTerminal(QByteArrayView bytes, Millis now);
    // Runs everything that has come due by `now`, in the order of its time.
    void tick(Millis now);
    [[nodiscard]] QByteArray takeOutput();
    [[nodiscard]] std::optional<Millis> nextEventAt() const;
    // The terminal closed the port: a half-read frame of the old session means nothing.
    void lineReset();

    // Transmitters are numbered from 1, as the user types them. These return false for a
    // transmitter that does not exist or a key its type does not have.
    [[nodiscard]] bool press(int transmitter, int key, Millis now);
    [[nodiscard]] bool hold(int transmitter, int key, Millis duration, Millis now);
    // Clear (0xCC) and colour reset (0xFF) travel as key codes outside every type.
    [[nodiscard]] bool sendCode(int transmitter, uint8_t code, Millis now);
    // From now on the given percentage (0 to 100) of the transmitter's key reports is lost on the
    // way: each still takes its sequence number, so the receiver sees the gap.
    [[nodiscard]] bool setDrop(int transmitter, double percent);

    void sendText(const QString& text, Millis now);
    void sendBurst(int bytes, Millis now);
    // A key report of transmitter 1 (of nobody in particular when there is none) whose second
    // part follows after the pause.
    void sendCutFrame(Millis pause, Millis now);
    void sendUnknownCommand(uint8_t command, Millis now);
    [[nodiscard]] SurveyPlan survey(int count, Millis now);

    [[nodiscard]] int transmitterCount() const { return int(m_transmitters.size()); }
    [[nodiscard]] const Transmitter& transmitter(int number) const
    {
        return m_transmitters.at(size_t(number - 1));
    }
    [[nodiscard]] const ModuleOptions& options() const { return m_options; }
    [[nodiscard]] const ModuleStats& stats() const { return m_stats; }
    // The last frames the terminal sent, oldest first.
    [[nodiscard]] const std::deque<Frame>& receivedFrames() const { return m_received; }

    // One line per thing worth telling the person at the console.
    std::function<void(const QString&)> log;

private:
    struct Segment {
        QByteArray bytes;
        Millis notBefore = 0;
    };

    void answer(const Frame& request, Millis now);
    void queue(QByteArray bytes, Millis notBefore);
    void sendKeyReport(Transmitter& t, uint8_t code, Millis at);
    [[nodiscard]] QByteArray keyReport(Transmitter& t, uint8_t code);
    void runEventsAt(Millis t);
    void scenarioPress(Millis at);
    [[nodiscard]] DeviceId newDeviceId();
    [[nodiscard]] int pick(int n) { return int(m_rng() % uint32_t(n)); }
    [[nodiscard]] Transmitter* find(int number);
    void say(const QString& line) const;

    ModuleOptions m_options;
    FrameReader m_reader;
    std::mt19937 m_rng; // its sequence is fixed by the standard, so a seed replays a run anywhere
    // Losses draw from their own generator, so a run with losses presses the same keys as without.
    std::mt19937 m_dropRng;
    std::vector<Transmitter> m_transmitters;
    std::set<DeviceId> m_usedIds;
    uint8_t m_sequence = 0;

    std::multimap<Millis, QByteArray> m_scheduled; // equal times keep their order
    std::deque<Segment> m_line;
    QByteArray m_output;

    Scenario m_scenario;
    Millis m_scenarioStart = 0;
    int64_t m_pressesDone = 0;
    int64_t m_pressesPlanned = -1; // -1: no end
    std::optional<Millis> m_nextPress;

    ModuleStats m_stats;
    std::deque<Frame> m_received;
};

} // namespace modsim
