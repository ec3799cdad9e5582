#include "CtlRequest.h"

#include "CommPort.h"
#include "DeviceSetup.h"
#include "ModuleFrame.h"

#include <QHash>

#include <cmath>

namespace {
constexpr double kMaxSeconds = 2'000'000;

struct OptionRule {
    const char* name;
    bool takesValue;
    // The commands that take the option; empty: every command.
    std::initializer_list<CtlCommand> commands;
};

using enum CtlCommand;
const OptionRule kOptions[] = {
    {"port", true, {}},
    {"baud", true, {}},
    {"settings", true, {}},
    {"format", true, {}},
    {"count", true, {Listen}},
    {"duration", true, {Listen, Stats}},
    {"command", true, {Listen, Send}},
    {"id", true, {Listen}},
    {"src", true, {Send}},
    {"dst", true, {Send}},
    {"payload", true, {Send}},
    {"text", true, {Send}},
    {"expect-answer", false, {Send}},
    {"timeout", true, {Send}},
    {"channel", true, {Setup}},
    {"power", true, {Setup}},
    {"rate", true, {Setup}},
    {"init", false, {Setup}},
};

const QHash<QString, CtlCommand> kCommands = {
    {QStringLiteral("ports"), Ports}, {QStringLiteral("search"), Search}, {QStringLiteral("listen"), Listen},
    {QStringLiteral("send"), Send},   {QStringLiteral("setup"), Setup},   {QStringLiteral("stats"), Stats}};

ParsedRequest only(CtlCommand command)
{
    ParsedRequest p;
    p.request.command = command;
    return p;
}

ParsedRequest refused(const QString& text)
{
    // One line, whatever the user typed.
    QString line = text;
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control)
            c = u'?';
    ParsedRequest p;
    p.error = line;
    return p;
}

// Seconds above 0, up to what a timer can wait (its milliseconds are an int): 24 days.
std::optional<double> seconds(const QString& text)
{
    bool ok = false;
    const double s = text.toDouble(&ok);
    if (!ok || !std::isfinite(s) || s <= 0 || s > kMaxSeconds)
        return std::nullopt;
    return s;
}

std::optional<uint8_t> commandByte(const QString& text)
{
    const QString digits = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2) : text;
    if (digits.size() > 2)
        return std::nullopt;
    const auto v = hexValue(digits);
    return v ? std::optional<uint8_t>(uint8_t(*v)) : std::nullopt;
}

std::optional<int32_t> wholeNumber(const QString& text, int32_t low, int32_t high)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok && v >= low && v <= high ? std::optional<int32_t>(v) : std::nullopt;
}

QString optionError(const char* name, const QString& wants, const QString& text)
{
    return QStringLiteral("--%1 wants %2, not '%3'").arg(QLatin1String(name), wants, text);
}

// Checks one option's value into the request; the error text when it is refused.
QString take(CtlRequest& r, const QString& name, const QString& v)
{
    if (name == u"port") {
        if (v.isEmpty())
            return QStringLiteral("--port wants a port name, e.g. /dev/ttyUSB0");
        r.port = v;
    } else if (name == u"baud") {
        const auto rate = wholeNumber(v, 1, INT32_MAX);
        if (!rate || !isBitRate(*rate))
            return optionError("baud", QStringLiteral("one of ") + bitRateTexts().join(u' '), v);
        r.baud = rate;
    } else if (name == u"settings") {
        if (v.isEmpty())
            return QStringLiteral("--settings wants a file");
        r.settingsFile = v;
    } else if (name == u"format") {
        static const QHash<QString, OutputFormat> formats = {{QStringLiteral("text"), OutputFormat::Text},
                                                             {QStringLiteral("json"), OutputFormat::Json},
                                                             {QStringLiteral("csv"), OutputFormat::Csv}};
        if (!formats.contains(v))
            return optionError("format", QStringLiteral("text, json or csv"), v);
        r.format = formats.value(v);
    } else if (name == u"count") {
        bool ok = false;
        const qulonglong n = v.toULongLong(&ok, 10);
        if (!ok || n == 0)
            return optionError("count", QStringLiteral("a number of blocks above 0"), v);
        r.count = n;
    } else if (name == u"duration" || name == u"timeout") {
        const auto s = seconds(v);
        if (!s)
            return optionError(name == u"duration" ? "duration" : "timeout",
                               QStringLiteral("seconds above 0, at most %1").arg(kMaxSeconds, 0, 'f', 0), v);
        if (name == u"duration")
            r.durationS = s;
        else
            r.timeoutS = *s;
    } else if (name == u"command") {
        if (!commandByte(v))
            return optionError("command", QStringLiteral("a command byte in hexadecimal, e.g. 13"), v);
        // send builds its frame from the text as the send line does; listen filters on the byte.
        r.frameCommand = v.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? v.mid(2) : v;
        r.commandFilter = commandByte(v);
    } else if (name == u"id") {
        const HexPairs id = parseHexPairs(v);
        if (!id.badPair.isEmpty() || id.bytes.size() != 4)
            return optionError("id", QStringLiteral("four bytes in hexadecimal, e.g. \"12 34 56 78\""), v);
        std::array<uint8_t, 4> bytes{};
        std::copy(id.bytes.begin(), id.bytes.end(), bytes.begin());
        r.idFilter = bytes;
    } else if (name == u"src") {
        r.src = v;
    } else if (name == u"dst") {
        r.dst = v;
    } else if (name == u"payload") {
        r.payload = v;
    } else if (name == u"text") {
        r.text = v;
    } else if (name == u"expect-answer") {
        r.expectAnswer = true;
    } else if (name == u"channel") {
        // The 920 MHz module's channels and powers, as its set-up lists offer them.
        r.channel = wholeNumber(v, 24, 38);
        if (!r.channel)
            return optionError("channel", QStringLiteral("a channel from 24 to 38"), v);
    } else if (name == u"power") {
        r.power = wholeNumber(v, 0, 3);
        if (!r.power)
            return optionError("power", QStringLiteral("a power from 0 to 3"), v);
    } else if (name == u"rate") {
        static const QHash<QString, int32_t> rates = {{QStringLiteral("9600"), kRate9600},
                                                      {QStringLiteral("100k"), kRate100k},
                                                      {QStringLiteral("500k"), kRate500k}};
        if (!rates.contains(v))
            return optionError("rate", QStringLiteral("9600, 100k or 500k"), v);
        r.rateCode = rates.value(v);
    } else if (name == u"init") {
        r.init = true;
    }
    return {};
}
} // namespace

ParsedRequest parseCtlArguments(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return refused(QStringLiteral("a command is missing; see zelvoctl --help"));
    const QString& first = arguments.constFirst();
    if (first == u"-h" || first == u"--help" || first == u"help")
        return only(Help);
    if (first == u"-v" || first == u"--version")
        return only(Version);
    if (!kCommands.contains(first))
        return refused(QStringLiteral("unknown command '%1'; see zelvoctl --help").arg(first));
    CtlRequest r;
    r.command = kCommands.value(first);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == u"-h" || arg == u"--help")
            return only(Help);
        if (r.command == Search && !arg.startsWith(u'-')) {
            r.searchPorts << arg;
            continue;
        }
        if (!arg.startsWith(QLatin1String("--")))
            return refused(QStringLiteral("unexpected argument '%1'; see zelvoctl --help").arg(arg));
        const qsizetype eq = arg.indexOf(u'=');
        const QString name = arg.mid(2, eq < 0 ? -1 : eq - 2);
        const OptionRule* rule = nullptr;
        for (const OptionRule& o : kOptions)
            if (name == QLatin1String(o.name))
                rule = &o;
        if (!rule)
            return refused(QStringLiteral("unknown option --%1; see zelvoctl --help").arg(name));
        if ((rule->commands.size() != 0 &&
             std::find(rule->commands.begin(), rule->commands.end(), r.command) == rule->commands.end()))
            return refused(QStringLiteral("%1 does not take --%2; see zelvoctl --help").arg(first, name));
        QString value;
        if (rule->takesValue) {
            if (eq >= 0)
                value = arg.mid(eq + 1);
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            else
                return refused(QStringLiteral("--%1 wants a value").arg(name));
        } else if (eq >= 0) {
            return refused(QStringLiteral("--%1 takes no value").arg(name));
        }
        if (const QString error = take(r, name, value); !error.isEmpty())
            return refused(error);
    }
    if (r.command == Send) {
        if (r.text &&
            (!r.frameCommand.isEmpty() || !r.src.isEmpty() || !r.dst.isEmpty() || !r.payload.isEmpty()))
            return refused(QStringLiteral(
                "send takes either --text or a frame's --command, --src, --dst and --payload"));
        if (!r.text && r.frameCommand.isEmpty())
            return refused(QStringLiteral("send wants --command HH or --text TEXT"));
        if (!r.text) {
            if (const QString why = userFrame(r.frameCommand, r.src, r.dst, r.payload, 0).refused;
                !why.isEmpty())
                return refused(why);
        }
    }
    if (r.command == Stats && !r.durationS)
        return refused(QStringLiteral("stats wants --duration S"));
    return {r, {}};
}

QString ctlHelp()
{
    return QStringLiteral(
        "Usage: zelvoctl COMMAND [OPTIONS]\n"
        "Talks to a 920 MHz radio module on a serial port from scripts.\n"
        "\n"
        "Commands:\n"
        "  ports                      the serial ports and what the system knows of them\n"
        "  search [PORT...]           the first port on which a module answers, among the\n"
        "                             given ports or the system's serial ports\n"
        "  listen [--count N] [--duration S] [--command HH] [--id \"HH HH HH HH\"]\n"
        "                             every received block, one line each\n"
        "  send --command HH [--src ID] [--dst ID] [--payload \"HH ...\"]\n"
        "  send --text TEXT           one frame, or one text line with the settings' header\n"
        "                             and delimiter; [--expect-answer [--timeout S]] waits for\n"
        "                             the next frame and prints it\n"
        "  setup [--channel 24-38] [--power 0-3] [--rate 9600|100k|500k] [--init]\n"
        "                             sets the module's RF settings, --init initialises it\n"
        "  stats --duration S         listens, then prints the link statistics per transmitter\n"
        "\n"
        "Options of every command:\n"
        "  --port PORT                the serial port (default: the settings file's)\n"
        "  --baud RATE                its bit rate (default: the settings file's)\n"
        "  --settings FILE            zelvoterm's settings file to read (never written)\n"
        "  --format text|json|csv     aligned columns, JSON Lines or CSV\n"
        "\n"
        "Exit status: 0 done, 1 no answer or no module found, 2 bad usage,\n"
        "3 the port could not be opened.\n");
}
