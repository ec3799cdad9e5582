#include "CommandLine.h"

#include "CommPort.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {
struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Open this serial port, e.g. /dev/ttyUSB0 or ttyUSB0 (saved at "
                                           "close like a port chosen in the settings dialog)."),
                            QStringLiteral("port")};
    QCommandLineOption baud{QStringLiteral("baud"), QStringLiteral("Bit rate of the port (saved at close)."),
                            QStringLiteral("rate")};
    QCommandLineOption settings{QStringLiteral("settings"), QStringLiteral("Settings file to use instead."),
                                QStringLiteral("file")};

    Parser()
    {
        parser.setApplicationDescription(
            QStringLiteral("Test terminal for 920 MHz radio modules on a serial port."));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({port, baud, settings});
    }
};

// The options QApplication takes out of the arguments (its documented ones).
const QStringList& qtOptionNames()
{
    static const QStringList names =
        QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry qwindowicon "
                       "qwindowtitle reverse session display geometry style stylesheet widgetcount nograb "
                       "dograb sync name title visual fn font bg fg btn im inputstyle")
            .split(u' ');
    return names;
}

bool isQtOption(const QString& name)
{
    return qtOptionNames().contains(name);
}

bool isControl(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// A refusal is one line on a terminal: control characters, line breaks among them, are written
// as the shell's $'...' quoting writes them, which also keeps escape sequences off the terminal.
QString escapedControls(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (!isControl(c))
            out += QString::fromUcs4(&c, 1);
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c <= 0xFF)
            out += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
        else if (c <= 0xFFFF)
            out += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\U%1").arg(uint(c), 8, 16, QLatin1Char('0'));
    }
    return out;
}

CommandLine only(CommandLine::Action action, const QString& error = {})
{
    CommandLine c;
    c.action = action;
    c.error = error;
    return c;
}

CommandLine refused(const QString& text)
{
    return only(CommandLine::Action::Error, escapedControls(text));
}
} // namespace

CommandLine parseCommandLine(const QStringList& arguments, bool qtOptionsPresent)
{
    Parser p;
    const bool parsed = p.parser.parse(arguments);
    const QStringList unknown = p.parser.unknownOptionNames();
    const bool onlyQtOptions = !unknown.isEmpty() && std::all_of(unknown.begin(), unknown.end(), isQtOption);
    // Qt's options and their values are checked again once QApplication has taken them out.
    const bool qtOptionsLeft = qtOptionsPresent && onlyQtOptions;
    if (!parsed && !qtOptionsLeft)
        return refused(p.parser.errorText());
    if (p.parser.isSet(p.help) || p.parser.isSet(QStringLiteral("help-all"))) {
        CommandLine c =
            only(p.parser.isSet(p.help) ? CommandLine::Action::Help : CommandLine::Action::HelpAll);
        c.settingsFile = p.parser.value(p.settings);
        return c;
    }
    if (p.parser.isSet(p.version))
        return only(CommandLine::Action::Version);
    if (!qtOptionsLeft && !p.parser.positionalArguments().isEmpty())
        return refused(QStringLiteral("unexpected argument '%1'; see --help")
                           .arg(p.parser.positionalArguments().constFirst()));

    CommandLine c;
    if (p.parser.isSet(p.port)) {
        const QString port = p.parser.value(p.port);
        if (port.isEmpty())
            return refused(QStringLiteral("--port wants a port name, e.g. /dev/ttyUSB0"));
        c.overrides.portName = port;
    }
    if (p.parser.isSet(p.baud)) {
        const QString text = p.parser.value(p.baud);
        bool ok = false;
        const int rate = text.toInt(&ok);
        // A rate outside the table would silently run at 9600; on the command line it is refused.
        if (!ok || !isBitRate(rate))
            return refused(
                QStringLiteral("--baud wants one of %1, not '%2'").arg(bitRateTexts().join(u' '), text));
        c.overrides.baudRate = rate;
    }
    if (p.parser.isSet(p.settings)) {
        c.settingsFile = p.parser.value(p.settings);
        if (c.settingsFile.isEmpty() || QFileInfo(c.settingsFile).isDir())
            return refused(QStringLiteral("--settings wants a file, not '%1'").arg(c.settingsFile));
    }
    return c;
}

QString commandLineHelp(const CommandLine& commandLine)
{
    QString text = Parser().parser.helpText();
    if (commandLine.action == CommandLine::Action::HelpAll) {
        text += QStringLiteral(
            "\nQt's own options (see QGuiApplication and QApplication in Qt's documentation):\n");
        QString line;
        for (const QString& name : qtOptionNames()) {
            if (line.size() + name.size() > 76) {
                text += line + u'\n';
                line.clear();
            }
            line += QStringLiteral("  -") + name;
        }
        text += line + u'\n';
    }
    const QString file = commandLine.settingsFile.isEmpty() ? settingsFilePath() : commandLine.settingsFile;
    return text + QStringLiteral("\nSettings file: %1\n").arg(escapedControls(file));
}
