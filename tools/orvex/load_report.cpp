#include "load_report.h"

#include "hresult_names.h"

#include <orvexdebug.h>

#include <cstdio>

namespace orvex {

namespace {

bool traceToStderr = false;

bool startsWith(const std::string &text, const char *prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// The text after prefix, or empty.
std::string after(const std::string &text, const char *prefix)
{
    return startsWith(text, prefix) ? text.substr(std::char_traits<char>::length(prefix)) : std::string();
}

// "'avc1'" as avc1; codes that are no text ("0x00000001") stay as they are.
std::string unquote(const std::string &code)
{
    if (code.size() == 6 && code.front() == '\'' && code.back() == '\'') return code.substr(1, 4);
    return code;
}

// The lines of the selection's timing summary, traced for every track.
bool isTimingLine(const std::string &m)
{
    for (const char *prefix : {"mediaTimeScale ", "mediaDuration ", "seconds ", "frames ", "fps "})
        if (startsWith(m, prefix)) return true;
    return false;
}

struct TrackBlock {
    TrackReport report;
    bool complete = false; // the timing summary was traced: the track could be read
    std::vector<std::string> lines;
};

struct Selection {
    std::vector<TrackBlock> tracks;
    bool noVideo = false;            // "Can't use OrvexMovParserFilter"
    std::vector<std::string> before; // lines before the first track
    std::vector<std::string> later;  // lines after the selection
};

Selection readSelection(const std::vector<std::string> &messages)
{
    Selection s;
    bool selecting = true;
    for (const std::string &m : messages) {
        if (m == "Can't use OrvexMovParserFilter") {
            s.noVideo = true;
            selecting = false;
        } else if (m == "Create Output Pins as QuickTimeMovie") {
            selecting = false;
        } else if (startsWith(m, "MediaType : ")) {
            // A graph may load the file again (another media type tried): the
            // last load is the one reported.
            if (!selecting) s = Selection();
            selecting = true;
            TrackBlock block;
            block.report.index = int(s.tracks.size()) + 1;
            block.report.handler = unquote(after(m, "MediaType : "));
            s.tracks.push_back(block);
        } else if (!selecting) {
            s.later.push_back(m);
        } else if (s.tracks.empty()) {
            s.before.push_back(m);
        } else if (startsWith(m, "sampleDesc(")) {
            const size_t colon = m.find(" : ");
            if (s.tracks.back().report.format.empty() && colon != std::string::npos)
                s.tracks.back().report.format = unquote(m.substr(colon + 3));
        } else if (startsWith(m, "durationPerFrame ")) {
            s.tracks.back().complete = true;
        } else if (!isTimingLine(m)) {
            s.tracks.back().lines.push_back(m);
        }
    }
    return s;
}

// The value after the last blank of a "name   value" line of the edit trace.
std::string lastWord(const std::string &line)
{
    const size_t blank = line.find_last_of(' ');
    return blank == std::string::npos ? line : line.substr(blank + 1);
}

// Why the traced lines refuse the track, in a user's words; empty when they do not.
std::string reasonOf(const TrackBlock &block)
{
    const std::vector<std::string> &lines = block.lines;
    for (const std::string &line : lines)
        if (line == "Can't handle this sound media")
            return "sound format '" + block.report.format + "' is neither PCM ('raw ', 'sowt') nor AAC with an 'esds'";
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        if (line == "Has 'ctts' atom") return "has a 'ctts' atom (frames out of decoding order)";
        if (startsWith(line, "m_profile_idc is ")) {
            std::string profile = after(line, "m_profile_idc is "); // "100."
            if (!profile.empty() && profile.back() == '.') profile.pop_back();
            return "H.264 profile_idc " + profile + " (only Baseline and Main are served)";
        }
        if (line == "m_entropy_coding_mode_flag is CABAC.") return "CABAC entropy coding (only CAVLC is served)";
        if (line == "m_frame_mbs_only_flag is false.") return "interlaced coding (only progressive frames are served)";
        if (startsWith(line, "Num of 'elst' entries are "))
            return "edit list of " + after(line, "Num of 'elst' entries are ") + " entries";
        if (line == "'elst' entr[0]" && i + 3 < lines.size()) {
            const std::string mediaTime = lastWord(lines[i + 2]), rate = lastWord(lines[i + 3]);
            if (mediaTime != "0") return "edit list (media time " + mediaTime + ")";
            if (rate != "0x00010000") return "edit list (media rate " + rate + ")";
            return "edit list (duration " + lastWord(lines[i + 1]) + " differs from the track's)";
        }
        if (startsWith(line, "nSampleDescs isn't 1 but "))
            return after(line, "nSampleDescs isn't 1 but ") + " sample descriptions (one is served)";
        if (startsWith(line, "Media has ") || line == "Not selfReference media")
            return "media data outside this file (data references)";
    }
    // A line of the loading path that has no plainer words here: as traced.
    for (const std::string &line : lines)
        if (!startsWith(line, "Size of SampleDescriptions ")) return "\"" + line + "\"";
    return {};
}

} // namespace

void setTraceToStderr(bool on)
{
    traceToStderr = on;
    OrvexSetDebugListener(on ? OrvexDebugListenerStderr : nullptr, nullptr);
}

LoadTrace::LoadTrace()
{
    OrvexSetDebugListener(&LoadTrace::listen, this);
}

LoadTrace::~LoadTrace()
{
    OrvexSetDebugListener(traceToStderr ? OrvexDebugListenerStderr : nullptr, nullptr);
}

void LoadTrace::listen(const char *line, void *context)
{
    if (traceToStderr) OrvexDebugListenerStderr(line, nullptr);
    std::string text(line);
    // "tick [thread] : message"; the reading layer's own lines come without it.
    const size_t tick = text.find_first_not_of("0123456789");
    if (tick > 0 && tick != std::string::npos && text.compare(tick, 2, " [") == 0) {
        const size_t thread = text.find_first_not_of("0123456789", tick + 2);
        if (thread != std::string::npos && text.compare(thread, 4, "] : ") == 0) text = text.substr(thread + 4);
    }
    const size_t first = text.find_first_not_of(" \n\r\t");
    if (first == std::string::npos) return;
    text = text.substr(first, text.find_last_not_of(" \n\r\t") - first + 1);
    auto *self = static_cast<LoadTrace *>(context);
    std::lock_guard<std::mutex> guard(self->m_lock);
    self->m_messages.push_back(std::move(text));
}

std::vector<std::string> LoadTrace::messages() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_messages;
}

void LoadTrace::clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_messages.clear();
}

std::vector<TrackReport> tracksFromTrace(const std::vector<std::string> &messages, const std::string &videoPin,
                                         const std::string &soundPin)
{
    const Selection selection = readSelection(messages);
    const bool loaded = !videoPin.empty();
    // A failed load whose selection ran to its end failed on a chosen track's index.
    const bool chosenThenFailed =
        !loaded && !selection.noVideo && !selection.tracks.empty() && selection.tracks.back().complete;
    std::string failure = "chosen, but the movie failed while the sample indexes were built";
    if (!selection.later.empty()) failure += " (\"" + selection.later.back() + "\")";

    std::vector<TrackReport> reports;
    bool videoTaken = false, soundTaken = false;
    for (const TrackBlock &block : selection.tracks) {
        TrackReport report = block.report;
        const std::string traced = block.complete ? reasonOf(block) : std::string();
        const bool video = report.handler == "vide", sound = report.handler == "soun";
        bool &taken = video ? videoTaken : soundTaken;
        const std::string &pin = video ? videoPin : soundPin;
        if (!block.complete) {
            report.reason = "cannot be read, which refuses the whole movie";
        } else if (!video && !sound) {
            report.reason = "neither video nor sound";
        } else if (!traced.empty()) {
            report.reason = traced;
        } else if (taken) {
            report.reason = video ? "another video track is served" : "another sound track is served";
        } else if (!pin.empty() || chosenThenFailed) {
            taken = true;
            if (pin.empty())
                report.reason = failure;
            else
                report.pin = pin;
        } else if (video && report.format != "avc1") {
            report.reason = "format '" + report.format + "' is not H.264 ('avc1')";
        } else {
            report.reason =
                video ? "its 'avcC' record or sample tables cannot be served" : "its sample tables are incomplete";
        }
        reports.push_back(std::move(report));
    }
    return reports;
}

std::string trackName(const TrackReport &track)
{
    return "track " + std::to_string(track.index) + " (" + track.handler + " '" + track.format + "')";
}

std::string trackLines(const std::vector<std::string> &messages)
{
    std::string text;
    for (const std::string &m : readSelection(messages).before)
        if (m == "Not MOV File format") text += "\norvex:   not a QuickTime movie: no whole 'moov' and 'mdat' atoms";
    for (const TrackReport &track : tracksFromTrace(messages, {}, {}))
        text += "\norvex:   " + trackName(track) + ": refused: " + track.reason;
    return text;
}

void printLoadFailure(const std::string &file, HRESULT hr, const std::vector<std::string> &messages)
{
    std::fprintf(stderr, "orvex: cannot load %s: %s (0x%08X)%s\n", file.c_str(), hresultName(hr).c_str(), unsigned(hr),
                 trackLines(messages).c_str());
}

} // namespace orvex
