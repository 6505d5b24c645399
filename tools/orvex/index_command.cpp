#include "index_command.h"

#include "movie_loader.h"

#include <cstdio>

namespace orvex {

namespace {

void printEntries(const char *stream, const CQuickTimeMediaStreamInfo &info)
{
    const auto &entries = info.GetSampleIndex();
    for (size_t i = 0; i < entries.size(); ++i) {
        const MediaSampleRef &e = entries[i];
        std::printf("%s\t%zu\t%lld\t%lld\t%u\t%llu\t%u\t%u\n", stream, i, static_cast<long long>(e.start),
                    static_cast<long long>(e.stop), unsigned(e.size), static_cast<unsigned long long>(e.offset),
                    unsigned(e.sync), unsigned(e.sampleCount));
    }
}

} // namespace

int runIndex(const std::string &path)
{
    CMyMovieStreams streams;
    if (!loadMovie(path, &streams)) return kExitCannotLoad;
    std::printf("stream\tentry\tstart\tstop\tsize\toffset\tsync\tsamples\n");
    printEntries("video", *streams.video);
    if (streams.sound) printEntries("sound", *streams.sound);
    return 0;
}

} // namespace orvex
