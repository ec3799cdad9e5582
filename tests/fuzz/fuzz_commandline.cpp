// Arbitrary argument lists through the command-line parser, before and after Qt has taken its own
// options out: every refusal (the program's status 2) is one line without control characters, and
// what is refused before the application starts is never taken after it.
#include "CommandLine.h"

#include <QChar>

#include <cstdlib>

namespace {
bool isOneLine(const QString& message)
{
    for (const char32_t c : message.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Control || category == QChar::Other_Format ||
            category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            return false;
    }
    // What the program prints: the bytes on the standard error hold one line break, at the end.
    const QByteArray printed = ("zelvoterm: " + message + u'\n').toLocal8Bit();
    return printed.count('\n') == 1 && printed.count('\r') == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Arguments are the NUL-separated pieces of the input, decoded as the program decodes argv.
    QStringList arguments{QStringLiteral("zelvoterm")};
    for (const QByteArray& piece :
         QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0'))
        arguments << QString::fromLocal8Bit(piece);

    const CommandLine early = parseCommandLine(arguments, true);
    const CommandLine late = parseCommandLine(arguments);
    for (const CommandLine& c : {early, late}) {
        if (c.action == CommandLine::Action::Error && (c.error.isEmpty() || !isOneLine(c.error)))
            std::abort();
        if (c.action != CommandLine::Action::Error && !c.error.isEmpty())
            std::abort();
    }
    if (early.action == CommandLine::Action::Error && late.action != CommandLine::Action::Error)
        std::abort();
    return 0;
}
