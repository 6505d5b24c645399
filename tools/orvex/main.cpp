// orvex: inspect and play QuickTime movies through the Orvex filters.
#include "command_line.h"
#include "filters_command.h"
#include "index_command.h"
#include "info_command.h"
#include "load_report.h"
#include "play_command.h"
#include "register_command.h"
#include "snapshot_command.h"

#include <cstdio>

namespace {
constexpr int kExitUsage = 64;
constexpr int kExitUnavailable = 69;
} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    auto parsed = orvex::cli::parse(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "orvex: %s\nTry 'orvex --help' for the commands and options.\n", parsed.error.c_str());
        return kExitUsage;
    }
    const auto &o = parsed.options;
    if (o.trace) orvex::setTraceToStderr(true);

    using orvex::cli::Command;
    switch (o.command) {
    case Command::Help:
        std::fputs(orvex::cli::usage(), stdout);
        return 0;
    case Command::Version:
        std::puts("orvex 0.1");
        return 0;
    case Command::Info:
        return orvex::runInfo(o.args.at(0), o.json);
    case Command::Index:
        return orvex::runIndex(o.args.at(0));
    case Command::Filters:
        return orvex::runFilters();
    case Command::Play:
        return orvex::runPlay(o);
    case Command::Snapshot:
        return orvex::runSnapshot(o);
    case Command::Register:
        return orvex::runRegister(o.args.empty() ? "" : o.args[0], false);
    case Command::Unregister:
        return orvex::runRegister(o.args.empty() ? "" : o.args[0], true);
    default:
        break;
    }
    std::fprintf(stderr, "orvex: this command is not available in this build yet\n");
    return kExitUnavailable;
}
