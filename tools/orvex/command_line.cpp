#include "command_line.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace orvex::cli {

namespace {

struct CommandInfo {
    Command command;
    size_t minArgs;
    size_t maxArgs;
};

const std::map<std::string, CommandInfo> kCommands = {
    {"info", {Command::Info, 1, 1}},         {"index", {Command::Index, 1, 1}},
    {"play", {Command::Play, 1, 1}},         {"snapshot", {Command::Snapshot, 3, 3}},
    {"register", {Command::Register, 0, 1}}, {"unregister", {Command::Unregister, 0, 1}},
    {"filters", {Command::Filters, 0, 0}},   {"help", {Command::Help, 0, 0}},
};

bool parseSeconds(const std::string &text, double &out)
{
    const char *end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && p == end && std::isfinite(out) && out >= 0;
}

bool parseChoice(const std::string &text, int &out)
{
    if (text == "0" || text == "1" || text == "2") {
        out = text[0] - '0';
        return true;
    }
    return false;
}

} // namespace

const char *usage()
{
    return "usage: orvex COMMAND [ARGS]\n"
           "\n"
           "Inspect and play QuickTime movies with H.264 video through the Orvex filters.\n"
           "\n"
           "commands:\n"
           "  info FILE [--json]          what loading the movie gives: layout, pins, media types\n"
           "  index FILE                  each served stream's sample index as TSV\n"
           "  play FILE [options]         decode the movie through a filter graph\n"
           "  snapshot FILE TIME OUT.png  the first picture at or after TIME (seconds)\n"
           "  register [MODULE]           register the filters (default: OrvexH264Filter.ax beside orvex)\n"
           "  unregister [MODULE]         remove their registration\n"
           "  filters                     list the registered filters\n"
           "\n"
           "play options:\n"
           "  -o FILE                     video out: .y4m (yv12, iyuv) or .ppm (rgb24, rgb32)\n"
           "  --audio FILE                sound out: .wav (PCM) or .aac (ADTS)\n"
           "  --format yv12|iyuv|rgb24|rgb32\n"
           "  --scale 0|1|2               original, half or quarter size\n"
           "  --deblock 0|1|2             loop filter kept, skipped, skipped on non-reference pictures\n"
           "  --start SECONDS, --stop SECONDS\n"
           "  --realtime                  render against the clock\n"
           "  --quiet                     no progress and no summary\n"
           "\n"
           "general options:\n"
           "  --trace                     debug output on standard error\n"
           "  --help, --version\n";
}

ParseResult parse(const std::vector<std::string> &argv)
{
    ParseResult r;
    Options &o = r.options;
    std::vector<std::string> positional;
    bool commandSeen = false;
    auto fail = [&r](std::string message) {
        r.error = std::move(message);
        return r;
    };

    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string &a = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argv.size()) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            o.command = Command::Help;
            return r;
        } else if (a == "--version") {
            o.command = Command::Version;
            return r;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "--realtime") {
            o.realtime = true;
        } else if (a == "-o" || a == "--output") {
            if (!value(o.videoOut)) return fail(a + " needs a file name");
        } else if (a == "--audio") {
            if (!value(o.audioOut)) return fail("--audio needs a file name");
        } else if (a == "--format") {
            if (!value(v) || (v != "yv12" && v != "iyuv" && v != "rgb24" && v != "rgb32"))
                return fail("--format takes yv12, iyuv, rgb24 or rgb32");
            o.format = v;
        } else if (a == "--scale") {
            if (!value(v) || !parseChoice(v, o.scale)) return fail("--scale takes 0, 1 or 2");
        } else if (a == "--deblock") {
            if (!value(v) || !parseChoice(v, o.deblock)) return fail("--deblock takes 0, 1 or 2");
        } else if (a == "--start" || a == "--stop") {
            double seconds = 0;
            if (!value(v) || !parseSeconds(v, seconds)) return fail(a + " takes a number of seconds, 0 or more");
            (a == "--start" ? o.start : o.stop) = seconds;
        } else if (a.size() > 1 && a[0] == '-') {
            return fail("unknown option " + a);
        } else if (!commandSeen) {
            auto it = kCommands.find(a);
            if (it == kCommands.end()) return fail("unknown command " + a);
            o.command = it->second.command;
            commandSeen = true;
        } else {
            positional.push_back(a);
        }
    }
    if (!commandSeen) return fail("no command given");
    const auto &info = std::find_if(kCommands.begin(), kCommands.end(),
                                    [&](const auto &c) { return c.second.command == o.command; })
                           ->second;
    if (positional.size() < info.minArgs) return fail("missing arguments");
    if (positional.size() > info.maxArgs) return fail("too many arguments");
    if (o.start && o.stop && *o.stop <= *o.start) return fail("--stop must come after --start");
    if (o.command == Command::Snapshot) {
        double t = 0;
        if (!parseSeconds(positional[1], t)) return fail("TIME takes a number of seconds, 0 or more");
    }
    o.args = std::move(positional);
    return r;
}

} // namespace orvex::cli
