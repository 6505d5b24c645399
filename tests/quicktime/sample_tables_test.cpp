// Sample lookups: time to sample, sample to chunk, sizes, offsets and sync
// flags, and the refusals of tables that cannot be used. Each row is a media
// and the answers to a list of questions, as one line of text.
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTSampleTables.h"
#include "support/qt_movie.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace orvex::test {
namespace {

// Answers to questions, blank-separated: "T" or "T/M" a lookup at time T with
// maxNumberOfSamples M (1 unless given) as "offset+size@sampleTime/duration",
// then " dD", " nN", " fF" for a description index, sample count or flags
// other than 1, 1, 0; "dT" the data format of the description copy of that
// lookup; "sI" the size of sample I; "c" the sample count.
std::string answers(const CMyQTMedia *media, const std::string &questions)
{
    std::istringstream in(questions);
    std::string q, out;
    while (in >> q) {
        out += (out.empty() ? "" : " | ") + answerOf([&] {
                   std::ostringstream answer;
                   if (q == "c") {
                       answer << GetMediaSampleCount(media);
                   } else if (q[0] == 's') {
                       answer << GetMediaSampleSize(media, std::stoi(q.substr(1)));
                   } else if (q[0] == 'd') {
                       CMyQTHandlePtr copy(NewHandle(0));
                       GetMediaSampleReference(media, nullptr, nullptr, std::stoi(q.substr(1)), nullptr, nullptr,
                                               copy.get(), nullptr, 1, nullptr, nullptr);
                       DWORD format = 0; // in host order
                       std::memcpy(&format, copy->GetData() + 4, 4);
                       answer << fourccText(format);
                   } else {
                       const size_t slash = q.find('/');
                       DWORD offset = 0, size = 0;
                       LONG sampleTime = -1, duration = -1, description = -1, count = -1;
                       WORD flags = 0xFFFF;
                       GetMediaSampleReference(
                           media, &offset, &size, std::stoi(q), &sampleTime, &duration, nullptr, &description,
                           slash == std::string::npos ? 1 : std::stoi(q.substr(slash + 1)), &count, &flags);
                       answer << offset << "+" << size << "@" << sampleTime << "/" << duration;
                       if (description != 1) answer << " d" << description;
                       if (count != 1) answer << " n" << count;
                       if (flags) answer << " f" << flags;
                   }
                   return answer.str();
               });
    }
    return out;
}

struct Row {
    const char *name;
    std::string tables;
    int32_t duration;
    const char *questions;
    std::string expected;
    std::string type = "vide";
    Atom descriptions = qt::stsd({qt::imageDescription("avc1", 16, 16)});
};

class SampleTables : public ::testing::TestWithParam<Row> {};

TEST_P(SampleTables, Answer)
{
    qt::TrackAtoms track;
    track.mediaType = GetParam().type;
    track.duration = GetParam().duration;
    track.sampleDescriptions = GetParam().descriptions;
    track.tables = qt::tables(GetParam().tables);
    auto movie = movieFrom(movieAtomWith({track}));
    EXPECT_EQ(answers(mediaOf(movie), GetParam().questions), GetParam().expected);
}

// Sample i has size 100 + i; chunk c starts at 1000 * c.
std::string plain(int n, int duration = 1)
{
    const std::string count = std::to_string(n);
    return "stts " + count + " " + std::to_string(duration) + "; stsc 1 1 1; stsz " + count + "@100+1; stco " + count +
           "@1000+1000";
}
// Samples 0-3 in chunk 1, 4-7 in chunk 2, 8-9 in chunk 3, 10-11 in chunk 4.
const std::string kChunked = "stts 13 1; stsc 1 4 1 3 2 1; stsz 13@100+1; stco 4@1000+1000";
// Sound frames in chunks of 5.
const std::string kFrames = "stts 10 1; stsc 1 5 1; stsz =1 #10; stco 1000 2000";
Atom soundStsd(uint16_t channels = 2, int version = 0)
{
    return qt::stsd({qt::soundDescription(version == 2 ? "lpcm" : "sowt", channels, 16, 48000, version, 6)});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SampleTables,
    ::testing::Values(
        Row{"TimeToSample", plain(3, 1001), 3003, "2002 2003 0 1000",
            "3000+102@2002/1001 | 3000+102@2002/1001 | 1000+100@0/1001 | 1000+100@0/1001"},
        // Sample 2 + 30 / 50 = 2 in the second entry.
        Row{"AcrossSttsEntries", "stts 2 100 3 50; stsc 1 1 1; stsz 5@100+1; stco 5@1000+1000", 350, "230 349",
            "3000+102@200/50 | 5000+104@300/50"},
        // The header's duration is longer than 'stts' covers.
        Row{"PastTheLastSttsEntry", "stts 2 100; stsc 1 1 1; stsz 3@100+1; stco 3@1000+1000", 1000, "500",
            "3000+102@200/0"},
        Row{"EmptyStts", "stts; stsc 1 1 1; stsz 100; stco 1000", 1000, "999", "1000+100@0/0"},
        Row{"SampleToChunk", kChunked, 13, "0 3 4 7 8 9 10 11 12",
            "1000+100@0/1 | 1303+103@3/1 | 2000+104@4/1 | 2315+107@7/1 | 3000+108@8/1 | 3108+109@9/1 | 4000+110@10/1 | "
            "4110+111@11/1 | E20"},
        Row{"RestOfTheChunk", kChunked, 13, "5/0 5/1 6 8/0",
            "2104+318@5/1 n3 | 2104+105@5/1 | 2209+106@6/1 | 3000+217@8/1 n2"},
        Row{"Arguments", kChunked, 13, "13 -1 0/2 0/-1", "E21 | E24 | E24 | E24"},
        Row{"NegativeDuration", "stts 1 1", int32_t(0x80000001), "0", "E17"},
        Row{"DescriptionIndex", "stts 4 1; stsc 1 2 1 2 2 2; stsz 4@100+1; stco 2@1000+1000", 4, "1 2 d3",
            "1100+101@1/1 | 2000+102@2/1 d2 | jpeg", "vide",
            qt::stsd({qt::imageDescription("avc1", 16, 16), qt::imageDescription("jpeg", 32, 32)})},
        Row{"EntryWithoutChunks", "stts 2 1; stsc 1 5 1 1 2 1; stsz 100 101; stco 1000", 2, "1", "1100+101@1/1"},
        Row{"ZeroSamplesPerChunk", "stts 2 1; stsc 1 0 1 2 2 1; stsz 100 101; stco 1000 2000", 2, "0", "2000+100@0/1"},
        Row{"LastEntryWithoutSamples", "stts 2 1; stsc 1 0 1; stsz 100 101; stco 1000 2000", 2, "0", "E20"},
        Row{"Stss", plain(40) + "; stss 1 31", 40, "0 29 30 31",
            "1000+100@0/1 | 30000+129@29/1 f1 | 31000+130@30/1 | 32000+131@31/1 f1"},
        Row{"EmptyStss", plain(4) + "; stss", 4, "0", "1000+100@0/1 f1"},
        // A common size of 1 counts sound frames in a sound media only.
        Row{"SoundFrames", kFrames, 10, "s0 s9 7/0", "4 | 4 | 2008+12@7/1 n3", "soun", soundStsd()},
        Row{"VideoCommonSizeOne", kFrames, 10, "s3 7/0", "1 | 2002+3@7/1 n3"},
        Row{"SoundVersion1", kFrames, 10, "s0", "6", "soun", soundStsd(2, 1)},
        Row{"SoundVersion2", kFrames, 10, "s0 0", "B26 | B26", "soun", soundStsd(2, 2)},
        Row{"SoundDescriptionMissing", "stts 10 1; stsc 1 5 2; stsz =1 #10; stco 1000 2000", 10, "s0", "E24", "soun",
            soundStsd()},
        Row{"SoundBeyondTheLastChunk", "stts 10 1; stsc 1 5 1; stsz =1 #10; stco 1000", 10, "s9", "E20", "soun",
            soundStsd()},
        // 65535 channels read as -1: no size.
        Row{"SoundNegativeFrameSize", kFrames, 10, "s0", "E29", "soun", soundStsd(0xFFFF)},
        Row{"SizeIndexes", plain(3), 3, "s2 s3 s-1", "102 | E28 | E28"},
        Row{"NegativeSampleCount", "stsz =4 #2147483648", 0, "c", "E19"},
        // The count is the file's; only reading the missing size is refused.
        Row{"OvercountedStsz", "stsz #3 100 101", 0, "c s1 s2", "3 | 101 | E28"}, Row{"NoStsz", "", 0, "c", "E15"},
        // Only an unusable entry the walk reaches matters.
        Row{"LaterZeroSampleDuration", "stts 2 5 1 0; stsc 1 1 1; stsz 3@100+1; stco 3@1000+1000", 20, "9 10",
            "2000+101@5/5 | E29"},
        Row{"NegativeSampleDuration", "stts 2 -2147483648; stsc 1 1 1; stsz 100 101; stco 1000 2000", 10, "0", "E29"},
        Row{"ChunkRunsBackwards", "stts 4 1; stsc 3 1 1 1 1 1; stsz 4@100+1; stco 4@1000+1000", 4, "0", "E29"},
        Row{"BeyondTheStszCount", "stts 4 1; stsc 1 1 1; stsz 100 101; stco 4@1000+1000", 4, "1 2",
            "2000+101@1/1 | E28"},
        // A chunk beyond the 'stco' count, reached inside an earlier run.
        Row{"BeyondTheStcoCount", "stts 6 1; stsc 1 1 1 5 1 1; stsz 6@100+1; stco 1000 2000", 6, "1 2",
            "2000+101@1/1 | E28"},
        Row{"ChunkZero", "stts 2 1; stsc 0 1 1; stsz 100 101; stco 1000 2000", 2, "0", "E28"},
        // Entry counts one larger than their atoms hold: only a lookup that
        // reads the missing entry is refused.
        Row{"OvercountedStts", "stts #2 3 1; stsc 1 1 1; stsz 3@100+1; stco 3@1000+1000", 3, "0 1",
            "1000+100@0/1 | 2000+101@1/1"},
        Row{"OvercountedStsc", "stts 3 1; stsc #2 1 1 1; stsz 3@100+1; stco 3@1000+1000", 3, "0 1", "E28 | E28"},
        Row{"OvercountedStco", "stts 3 1; stsc 1 1 1; stsz 3@100+1; stco #4 3@1000+1000", 3, "0 1",
            "1000+100@0/1 | 2000+101@1/1"},
        Row{"OvercountedStss", plain(3) + "; stss #2 1", 3, "0 1", "1000+100@0/1 | E28"},
        // 4 billion samples a chunk: a common size's run is computed, not summed.
        Row{"HugeChunk", "stts 2147483647 1; stsc 1 4294967295 1; stsz =4 #2147483647; stco 8", 0x7FFFFFFF, "0/0 5",
            "E28 | 28+4@5/1"},
        // Offsets and sizes past 32 bits; the sums are 64-bit before they are checked.
        Row{"OffsetBeyond4GiB", "stts 3 1; stsc 1 3 1; stsz 3@16+0; stco 4294967272", 3, "1 2",
            "4294967288+16@1/1 | E28"},
        Row{"CommonSizesBeyond4GiB", "stts 3 1; stsc 1 3 1; stsz =2147483648 #3; stco 0", 3, "0 0/0",
            "0+2147483648@0/1 | E28"},
        Row{"ListedSizesBeyond4GiB", "stts 3 1; stsc 1 3 1; stsz 3@2147483648+0; stco 0", 3, "0/0", "E28"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace orvex::test
