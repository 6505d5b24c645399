// The command line of orvex: a command, its positional arguments and options.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvex::cli {

enum class Command { Help, Version, Info, Index, Play, Snapshot, Register, Unregister, Filters };

struct Options {
    Command command = Command::Help;
    std::vector<std::string> args; // positional arguments after the command
    bool json = false;             // info --json
    bool trace = false;            // debug output on standard error
    bool quiet = false;
    bool realtime = false;
    std::string videoOut;          // play -o
    std::string audioOut;          // play --audio
    std::string format = "yv12";   // yv12 | iyuv | rgb24 | rgb32
    int scale = 0;                 // 0 original, 1 half, 2 quarter
    int deblock = 0;               // 0 none skipped, 1 all, 2 non-reference
    std::optional<double> start;   // seconds
    std::optional<double> stop;    // seconds
};

struct ParseResult {
    Options options;
    std::string error; // empty when the command line is good
};

ParseResult parse(const std::vector<std::string> &argv);
const char *usage();

} // namespace orvex::cli
