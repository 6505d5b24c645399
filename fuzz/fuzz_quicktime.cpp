// The whole QuickTime loading path over one file image: the top-level scans
// for 'moov' and 'mdat', the movie model over the loaded movie atom, the
// camera-or-plain walk, and every question of the reading layer for every
// track. The layer's own refusals are expected; anything else (a crash, a
// sanitizer report, another exception) is a finding.
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "movie_exerciser.h"

#include <orvexdebug.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// One scratch file per process, rewritten for every input.
struct ScratchFile {
    ScratchFile()
    {
        char pattern[] = "/tmp/orvex-fuzz-quicktime-XXXXXX";
        fd = mkstemp(pattern);
        if (fd < 0) std::abort();
        path = pattern;
        wide.assign(path.begin(), path.end());
    }
    ~ScratchFile()
    {
        close(fd);
        unlink(path.c_str());
    }
    void write(const uint8_t *data, size_t size)
    {
        if (ftruncate(fd, 0) != 0) std::abort();
        for (size_t done = 0; done < size;) {
            ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<size_t>(n);
        }
    }
    int fd;
    std::string path;
    std::wstring wide;
};

void ignoreLine(const char *, void *) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static ScratchFile file;
    static bool quiet = [] {
        OrvexSetDebugListener(ignoreLine, nullptr); // traces would only slow the run
        return true;
    }();
    (void)quiet;

    file.write(data, size);
    try {
        ULONGLONG offset = 0, mdatSize = 0;
        try {
            FindMdatAtom(file.wide.c_str(), &offset, &mdatSize);
            (void)GetLastMediaByte(offset, mdatSize);
        } catch (const CMyQTException &) {
        }
        std::unique_ptr<CMyQTMovie> movie = LoadMovieAtom(file.wide.c_str());
        orvex::test::exerciseMovie(*movie);
    } catch (const CMyQTException &) {
    }
    // The movie atom alone, as bytes.
    orvex::test::loadAndExercise(data, size);
    return 0;
}
