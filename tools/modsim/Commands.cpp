#include "Commands.h"

#include "Module.h"

#include <QRegularExpression>
#include <QStringList>

#include <array>
#include <cmath>

namespace modsim {

namespace {

constexpr std::array kPadTypes{2, 4, 8, 18, 27, 32, 48, 70};
constexpr Millis kDefaultCutPause = 300; // well past the terminal's 100 ms idle flush
constexpr uint8_t kDefaultUnknownCommand = 0x44;
constexpr int kMaxBurst = 1'000'000;
constexpr int kMaxSurvey = 100; // the survey's grid holds 100 transmitters; more are not counted

std::optional<double> parseNumber(QStringView text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0)
        return std::nullopt;
    return v;
}

std::optional<int> parseCount(QStringView text, int min, int max)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
        return std::nullopt;
    return v;
}

QString keysText(const Transmitter& t)
{
    return QStringLiteral("%1: keys 1 to %2").arg(padTypeName(t.keys)).arg(t.keys);
}

QString transmitterText(const Module& m, int number)
{
    return QStringLiteral("transmitter %1 (%2)").arg(number).arg(idText(m.transmitter(number).id));
}

// Why a press was refused, in the user's terms.
QString refusal(const Module& m, int transmitter, int key)
{
    if (transmitter < 1 || transmitter > m.transmitterCount())
        return QStringLiteral("no transmitter %1 (there are %2)").arg(transmitter).arg(m.transmitterCount());
    return QStringLiteral("transmitter %1 has no key %2 (%3)")
        .arg(transmitter)
        .arg(key)
        .arg(keysText(m.transmitter(transmitter)));
}

// A number and its unit (lower case, empty when none) as the form captures them.
std::optional<std::pair<double, QString>> parseQuantity(const QRegularExpression& form, QStringView text)
{
    const auto match = form.match(text.trimmed().toString());
    if (!match.hasMatch())
        return std::nullopt;
    const auto value = parseNumber(QStringView(match.captured(1)));
    if (!value)
        return std::nullopt;
    return std::pair{*value, match.captured(2).toLower()};
}

} // namespace

std::optional<Millis> parseDuration(QStringView text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]+(?:\\.[0-9]+)?)\\s*(ms|s|min|m)?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto quantity = parseQuantity(form, text);
    if (!quantity)
        return std::nullopt;
    const auto& [value, unit] = *quantity;
    const double scale = unit == u"ms" ? 1.0 : (unit == u"min" || unit == u"m") ? 60'000.0 : 1000.0;
    const double ms = value * scale;
    if (ms > 1e12)
        return std::nullopt;
    return Millis(std::llround(ms));
}

std::optional<double> parseRate(QStringView text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]+(?:\\.[0-9]+)?)\\s*(?:/\\s*(s|min|m))?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto quantity = parseQuantity(form, text);
    if (!quantity)
        return std::nullopt;
    const auto& [value, unit] = *quantity;
    return (unit == u"min" || unit == u"m") ? value / 60.0 : value;
}

std::optional<int> parsePadType(QStringView text)
{
    const QString t = text.trimmed().toString().toLower();
    if (!t.startsWith(u"pad"))
        return std::nullopt;
    const auto keys = parseCount(QStringView(t).sliced(3), 1, 99);
    if (!keys || std::ranges::find(kPadTypes, *keys) == kPadTypes.end())
        return std::nullopt;
    return keys;
}

QString padTypeName(int keys)
{
    return QStringLiteral("Pad%1").arg(keys, 2, 10, QLatin1Char('0'));
}

std::optional<double> parsePercent(QStringView text)
{
    QStringView t = text.trimmed();
    if (t.endsWith(u'%'))
        t.chop(1);
    const auto v = parseNumber(t);
    if (!v || *v > 100)
        return std::nullopt;
    return v;
}

std::optional<std::pair<int, double>> parseDrop(QStringView text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    const auto transmitter = parseCount(text.first(colon).trimmed(), 1, 1'000'000);
    const auto percent = parsePercent(text.sliced(colon + 1));
    if (!transmitter || !percent)
        return std::nullopt;
    return std::pair{*transmitter, *percent};
}

ParsedCommand parseCommand(QStringView line)
{
    const QString trimmed = line.trimmed().toString();
    if (trimmed.isEmpty())
        return {};
    const qsizetype space = trimmed.indexOf(u' ');
    const QString word = (space < 0 ? trimmed : trimmed.first(space)).toLower();
    const QString rest = space < 0 ? QString() : trimmed.sliced(space + 1).trimmed();
    const QStringList args = rest.split(u' ', Qt::SkipEmptyParts);

    const auto fail = [](const QString& usage) {
        return ParsedCommand{std::nullopt, QStringLiteral("usage: %1").arg(usage)};
    };
    const auto transmitterArg = [&args](qsizetype index) -> std::optional<int> {
        if (args.size() <= index)
            return 1;
        return parseCount(args[index], 1, 1'000'000);
    };

    Command c;
    using K = Command::Kind;
    if (word == u"press") {
        const auto key = args.isEmpty() ? std::nullopt : parseCount(args[0], 1, Module::kMaxKeys);
        const auto t = transmitterArg(1);
        if (!key || !t || args.size() > 2)
            return fail(QStringLiteral("press KEY [TRANSMITTER]   (KEY 1-70)"));
        c.kind = K::Press;
        c.key = *key;
        c.transmitter = *t;
    } else if (word == u"hold") {
        const auto key = args.isEmpty() ? std::nullopt : parseCount(args[0], 1, Module::kMaxKeys);
        const Millis d = args.size() < 2 ? 0 : parseDuration(args[1]).value_or(0);
        const auto t = transmitterArg(2);
        if (!key || d <= 0 || !t || args.size() > 3)
            return fail(QStringLiteral("hold KEY DURATION [TRANSMITTER]   (e.g. hold 5 2s)"));
        c.kind = K::Hold;
        c.key = *key;
        c.transmitter = *t;
        c.duration = d;
    } else if (word == u"clear" || word == u"reset-colour" || word == u"reset-color") {
        const auto t = transmitterArg(0);
        if (!t || args.size() > 1)
            return fail(word + QStringLiteral(" [TRANSMITTER]"));
        c.kind = word == u"clear" ? K::Clear : K::ResetColour;
        c.transmitter = *t;
    } else if (word == u"text") {
        if (rest.isEmpty())
            return fail(QStringLiteral("text WORDS..."));
        c.kind = K::Text;
        c.text = rest;
    } else if (word == u"burst") {
        const auto n = args.size() == 1 ? parseCount(args[0], 1, kMaxBurst) : std::nullopt;
        if (!n)
            return fail(QStringLiteral("burst BYTES   (1 to %1)").arg(kMaxBurst));
        c.kind = K::Burst;
        c.count = *n;
    } else if (word == u"cut") {
        const auto d = args.isEmpty() ? std::optional(kDefaultCutPause) : parseDuration(args[0]);
        if (!d || args.size() > 1)
            return fail(QStringLiteral("cut [PAUSE]   (default 300ms)"));
        c.kind = K::Cut;
        c.duration = *d;
    } else if (word == u"unknown") {
        bool ok = true;
        const uint code = args.isEmpty() ? kDefaultUnknownCommand : args[0].toUInt(&ok, 16);
        if (!ok || code > 0xFF || args.size() > 1)
            return fail(QStringLiteral("unknown [COMMAND]   (two hexadecimal digits, default 44)"));
        c.kind = K::Unknown;
        c.code = uint8_t(code);
    } else if (word == u"survey") {
        const auto n = args.size() == 1 ? parseCount(args[0], 1, kMaxSurvey) : std::nullopt;
        if (!n)
            return fail(QStringLiteral("survey COUNT   (1 to %1)").arg(kMaxSurvey));
        c.kind = K::Survey;
        c.count = *n;
    } else if (word == u"drop") {
        const auto t = args.size() == 2 ? parseCount(args[0], 1, 1'000'000) : std::nullopt;
        const auto percent = args.size() == 2 ? parsePercent(args[1]) : std::nullopt;
        if (!t || !percent)
            return fail(QStringLiteral("drop TRANSMITTER PERCENT   (0 to 100; e.g. drop 2 20)"));
        c.kind = K::Drop;
        c.transmitter = *t;
        c.percent = *percent;
    } else if (word == u"unplug") {
        const auto d = args.isEmpty() ? std::optional<Millis>(0) : parseDuration(args[0]);
        if (!d || args.size() > 1)
            return fail(QStringLiteral("unplug [TIME]   (plugged in again after TIME, or by replug)"));
        c.kind = K::Unplug;
        c.duration = *d;
    } else if (word == u"replug" || word == u"status" || word == u"help" || word == u"quit" ||
               word == u"exit") {
        if (!args.isEmpty())
            return fail(word);
        c.kind = word == u"replug"   ? K::Replug
                 : word == u"status" ? K::Status
                 : word == u"help"   ? K::Help
                                     : K::Quit;
    } else {
        return {std::nullopt, QStringLiteral("unknown command \"%1\"; type help").arg(word)};
    }
    return {c, {}};
}

QString helpText()
{
    return QStringLiteral(
        "press KEY [T]        transmitter T (default 1) sends one key report\n"
        "hold KEY TIME [T]    holds the key: a report at once, then one every 100 ms\n"
        "clear [T]            sends the clear code CC\n"
        "reset-colour [T]     sends the colour reset FF\n"
        "text WORDS...        sends the words as text in code page 932, then CR LF\n"
        "burst BYTES          sends that many letters in one go, no frame among them\n"
        "cut [PAUSE]          sends a key report cut in two by a pause (default 300ms)\n"
        "unknown [CC]         sends a frame with a command no module uses (default 44)\n"
        "survey N             N new four-key transmitters press one key each; prints the totals\n"
        "drop T PERCENT       transmitter T loses that share of its key reports (0: none)\n"
        "unplug [TIME]        drops the line as a pulled cable does (back after TIME, if given)\n"
        "replug               plugs the cable in again (a new pseudo-terminal, same link)\n"
        "status               what has been sent and received so far\n"
        "help                 this text\n"
        "quit                 ends the simulator");
}

QString execute(Module& m, const Command& c, Millis now)
{
    using K = Command::Kind;
    switch (c.kind) {
    case K::Press:
        if (!m.press(c.transmitter, c.key, now))
            return refusal(m, c.transmitter, c.key);
        return QStringLiteral("%1: key %2").arg(transmitterText(m, c.transmitter)).arg(c.key);
    case K::Hold: {
        if (!m.hold(c.transmitter, c.key, c.duration, now))
            return refusal(m, c.transmitter, c.key);
        const Millis reports =
            std::max<Millis>(1, (c.duration + Module::kRepeatInterval - 1) / Module::kRepeatInterval);
        return QStringLiteral("%1: key %2 held for %3 ms, %4 reports")
            .arg(transmitterText(m, c.transmitter))
            .arg(c.key)
            .arg(c.duration)
            .arg(reports);
    }
    case K::Clear:
    case K::ResetColour: {
        const uint8_t code = c.kind == K::Clear ? 0xCC : 0xFF;
        if (!m.sendCode(c.transmitter, code, now))
            return refusal(m, c.transmitter, 1);
        return QStringLiteral("%1: code %2")
            .arg(transmitterText(m, c.transmitter),
                 code == 0xCC ? QStringLiteral("CC (clear)") : QStringLiteral("FF (colour reset)"));
    }
    case K::Text:
        m.sendText(c.text, now);
        return QStringLiteral("text sent");
    case K::Burst:
        m.sendBurst(c.count, now);
        return QStringLiteral("burst of %1 bytes sent").arg(c.count);
    case K::Cut:
        m.sendCutFrame(c.duration, now);
        return QStringLiteral("key report of transmitter 1 cut in two, %1 ms apart").arg(c.duration);
    case K::Unknown:
        m.sendUnknownCommand(c.code, now);
        return QStringLiteral("frame with command %1 sent")
            .arg(QStringLiteral("%1").arg(c.code, 2, 16, QLatin1Char('0')).toUpper());
    case K::Survey: {
        const SurveyPlan plan = m.survey(c.count, now);
        return QStringLiteral("survey: %1 four-key transmitters, one press each, %2 ms apart\n"
                              "expected totals: key 1: %3, key 2: %4, key 3: %5, key 4: %6")
            .arg(c.count)
            .arg(Module::kSurveySpacing)
            .arg(plan.totals[0])
            .arg(plan.totals[1])
            .arg(plan.totals[2])
            .arg(plan.totals[3]);
    }
    case K::Drop:
        if (!m.setDrop(c.transmitter, c.percent))
            return refusal(m, c.transmitter, 1);
        if (c.percent == 0)
            return QStringLiteral("%1: loses no key reports").arg(transmitterText(m, c.transmitter));
        return QStringLiteral("%1: loses %2 % of its key reports")
            .arg(transmitterText(m, c.transmitter))
            .arg(c.percent);
    case K::Status: {
        const ModuleStats& s = m.stats();
        return QStringLiteral("received %1 frame(s) and %2 stray byte(s); sent %3 answer(s) and %4 key "
                              "report(s); lost %5 key report(s) on the way")
            .arg(s.framesReceived)
            .arg(s.bytesIgnored)
            .arg(s.answersSent)
            .arg(s.keyReportsSent)
            .arg(s.keyReportsDropped);
    }
    case K::Help:
        return helpText();
    case K::Unplug:
    case K::Replug:
    case K::Quit:
        break;
    }
    return {};
}

} // namespace modsim
