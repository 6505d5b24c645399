// What loading a movie says about its tracks. The parser's stream selection
// traces a block per track ("MediaType : ..." with its sample descriptions
// and timing, then the line of whatever refuses the track); the program keeps
// the debug output of the loading thread while it loads and reads the blocks
// back, so the user learns why a movie or a track is refused without --trace.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace orvex {

// Every trace command also sends the debug output to standard error.
void setTraceToStderr(bool on);

// Keeps the debug output while alive (one at a time, as the debug output has
// one listener); passes it on to standard error under --trace.
class LoadTrace {
public:
    LoadTrace();
    ~LoadTrace();
    LoadTrace(const LoadTrace &) = delete;
    LoadTrace &operator=(const LoadTrace &) = delete;

    // The messages so far, without the "tick [thread] : " prefix, blanks and
    // line ends trimmed, empty ones dropped.
    std::vector<std::string> messages() const;
    // Forgets the messages so far (before a second load of the same file).
    void clear();

private:
    static void listen(const char *line, void *context);
    mutable std::mutex m_lock;
    std::vector<std::string> m_messages;
};

struct TrackReport {
    int index = 0;       // 1-based, in file order
    std::string handler; // "vide", "soun", ...
    std::string format;  // the first sample description's format, "avc1"
    std::string pin;     // the pin that serves it; empty when refused
    std::string reason;  // why it is not served; empty when served
    bool served() const { return !pin.empty(); }
};

// The tracks the stream selection looked at, from its trace. On a loaded
// movie, give the pins: the first video (sound) track without a refusal is
// the one its pin serves. After a failed load, pass no pins.
std::vector<TrackReport> tracksFromTrace(const std::vector<std::string> &messages, const std::string &videoPin,
                                         const std::string &soundPin);

// "track 2 (soun 'mp4a')".
std::string trackName(const TrackReport &track);

// Writes "orvex: cannot load FILE: NAME (0xXXXXXXXX)" and a line per track on
// standard error.
void printLoadFailure(const std::string &file, HRESULT hr, const std::vector<std::string> &messages);
// The same lines as text, for messages built elsewhere: "\norvex:   track 1 ...".
std::string trackLines(const std::vector<std::string> &messages);

} // namespace orvex
