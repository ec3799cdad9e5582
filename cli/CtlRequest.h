#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

// How results are printed: aligned columns for a person, JSON Lines or CSV for a program.
enum class OutputFormat { Text, Json, Csv };

enum class CtlCommand { Ports, Search, Listen, Send, Setup, Stats, Help, Version };

// One zelvoctl command line, checked: every value is in range and every hexadecimal text converts.
struct CtlRequest {
    CtlCommand command = CtlCommand::Help;
    OutputFormat format = OutputFormat::Text;
    std::optional<QString> port;
    std::optional<int32_t> baud;
    QString settingsFile;    // empty: zelvoterm's own
    QStringList searchPorts; // search: the ports to probe, in order; empty: the system's list

    // listen, stats
    std::optional<uint64_t> count;
    std::optional<double> durationS;
    std::optional<uint8_t> commandFilter;
    std::optional<std::array<uint8_t, 4>> idFilter;

    // send: a frame from the hexadecimal texts, or a text line
    QString frameCommand;
    QString src;
    QString dst;
    QString payload;
    std::optional<QString> text;
    bool expectAnswer = false;
    double timeoutS = 1.0;

    // setup
    std::optional<int32_t> channel;
    std::optional<int32_t> power;
    std::optional<int32_t> rateCode;
    bool init = false;
};

// The request, or the one-line reason it is refused.
struct ParsedRequest {
    CtlRequest request;
    QString error;
};

// Reads the arguments after the program name.
[[nodiscard]] ParsedRequest parseCtlArguments(const QStringList& arguments);

[[nodiscard]] QString ctlHelp();

// The exit statuses scripts test.
inline constexpr int kExitDone = 0;
inline constexpr int kExitNotHappened = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPortFailed = 3;
