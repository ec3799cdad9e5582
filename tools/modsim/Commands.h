#pragma once

#include "Frames.h"

#include <QString>

#include <optional>

namespace modsim {

class Module;

// "30s", "1.5s", "500ms", "2min", or a bare number of seconds.
[[nodiscard]] std::optional<Millis> parseDuration(QStringView text);
// Presses per second: "5/s", "120/min", or a bare number per second.
[[nodiscard]] std::optional<double> parseRate(QStringView text);
// "pad04" (any case) gives its key count, 4; only the transmitter types that exist.
[[nodiscard]] std::optional<int> parsePadType(QStringView text);
[[nodiscard]] QString padTypeName(int keys);
// "20" or "20%": a percentage from 0 to 100.
[[nodiscard]] std::optional<double> parsePercent(QStringView text);
// The --drop option, "T:PERCENT": transmitter T (from 1) loses that share of its key reports.
[[nodiscard]] std::optional<std::pair<int, double>> parseDrop(QStringView text);

struct Command {
    enum class Kind {
        Press,
        Hold,
        Clear,
        ResetColour,
        Text,
        Burst,
        Cut,
        Unknown,
        Survey,
        Drop,
        Unplug,
        Replug,
        Status,
        Help,
        Quit
    };
    Kind kind = Kind::Help;
    int key = 0;
    int transmitter = 1;
    int count = 0;
    Millis duration = 0; // hold length, cut pause, unplugged time (0: until replug)
    uint8_t code = 0;
    double percent = 0; // of the reports a transmitter loses
    QString text;
};

struct ParsedCommand {
    std::optional<Command> command; // nothing for an empty line or an error
    QString error;
};

// One line typed on standard input.
[[nodiscard]] ParsedCommand parseCommand(QStringView line);
[[nodiscard]] QString helpText();

// Runs a command that concerns only the module (not unplug, replug, quit or help) and returns the
// reply for the console.
[[nodiscard]] QString execute(Module& module, const Command& command, Millis now);

} // namespace modsim
