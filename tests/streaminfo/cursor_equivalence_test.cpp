// The cursor lookup against the reading layer's per-call lookup, over
// randomized sample tables: the same answer or the same exception, call for
// call, and the same index from the same walk, including tables whose
// lookups fail part way and end the index.
#include "MovFileParserFilter/MySampleIndexWalk.h"
#include "MovFileParserFilter/MySampleRefCursor.h"
#include "streaminfo/streaminfo_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>

namespace orvex::test {
namespace {

class RandomTables {
public:
    explicit RandomTables(uint32_t seed) : m_rng(seed) {}

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool chance(int percent) { return pick(1, 100) <= percent; }

    qt::TrackAtoms track()
    {
        qt::TrackAtoms t;
        const bool sound = chance(40);
        t.mediaType = sound ? "soun" : "vide";
        t.timeScale = chance(5) ? 0 : pick(1, 1000);

        std::vector<std::pair<uint32_t, uint32_t>> stts;
        int64_t span = 0;
        for (int e = pick(0, 4); e > 0; --e) {
            uint32_t count = chance(3) ? 0x80000001u : uint32_t(pick(0, 12));
            uint32_t duration = chance(5) ? 0 : chance(3) ? 0x7FFFFFF0u : uint32_t(pick(1, 5));
            stts.push_back({count, duration});
            if (count < 0x80000000u) span += int64_t(count) * duration;
        }
        t.duration = chance(5) ? pick(0, 1 << 30) : int32_t(std::clamp<int64_t>(span + pick(-5, 20), 0, 1 << 30));

        std::vector<qt::ChunkRun> stsc;
        uint32_t first = chance(5) ? 0 : 1;
        for (int e = pick(0, 4); e > 0; --e) {
            stsc.push_back({first, uint32_t(chance(5) ? 0 : pick(1, 5)), uint32_t(pick(1, 2))});
            first = uint32_t(std::max(0, int(first) + (chance(10) ? pick(-2, 0) : pick(1, 3))));
        }

        std::vector<uint32_t> stco;
        for (int i = pick(0, 25); i > 0; --i)
            stco.push_back(chance(3) ? 0xFFFFFF00u : uint32_t(pick(0, 5000)));

        Atom stsz("stsz");
        if (chance(50)) {
            std::vector<uint32_t> sizes;
            for (int i = pick(0, 60); i > 0; --i)
                sizes.push_back(chance(2) ? 0xFFFFFFF0u : uint32_t(pick(0, 300)));
            stsz = qt::stsz(sizes);
        } else {
            stsz = qt::stszCommon(uint32_t(pick(1, 3)), uint32_t(pick(0, 80)));
        }

        std::vector<Atom> tables;
        if (!chance(5)) tables.push_back(qt::stts(stts));
        if (!chance(5)) tables.push_back(qt::stsc(stsc));
        if (!chance(5)) tables.push_back(stsz);
        if (!chance(5)) tables.push_back(qt::stco(stco));
        if (chance(60)) {
            std::vector<uint32_t> sync;
            for (int i = pick(0, 10); i > 0; --i)
                sync.push_back(uint32_t(pick(1, 60)));
            tables.push_back(qt::stss(sync));
        }
        if (chance(5) && !tables.empty()) tables.back().setSize(12); // a table cut after its header
        t.tables = tables;

        if (sound) {
            std::vector<Atom> descriptions;
            for (int d = pick(1, 2); d > 0; --d) {
                const uint16_t channels = uint16_t(pick(0, 2));
                if (chance(10))
                    descriptions.push_back(qt::soundDescriptionV2("sowt", channels, 16, 8000.0));
                else if (chance(30))
                    descriptions.push_back(qt::soundDescriptionV1("sowt", channels, 16, 8000, uint32_t(pick(0, 8))));
                else
                    descriptions.push_back(qt::soundDescriptionV0("sowt", channels, uint16_t(8 * pick(0, 2)), 8000));
            }
            t.sampleDescriptions = qt::stsd(descriptions);
        } else {
            t.sampleDescriptions = qt::stsd({qt::imageDescription("avc1", 16, 16)});
        }
        return t;
    }

private:
    std::mt19937 m_rng;
};

std::string describe(const MySampleRef &r)
{
    std::ostringstream out;
    out << "offset " << r.dataOffset << " size " << r.size << " time " << r.sampleTime << " per " << r.durationPerSample
        << " desc " << r.sampleDescriptionIndex << " n " << r.numberOfSamples << " flags " << r.sampleFlags;
    return out.str();
}

std::string lookup(CMySampleRefSource &source, LONG time, LONG max)
{
    MySampleRef ref;
    std::string result = outcome([&] { source.Lookup(time, max, &ref); });
    return result == "ok" ? describe(ref) : result;
}

std::string walk(const CMyQTMedia *media, ULONGLONG lastMediaByte, LONG max, CMySampleRefSource &source)
{
    std::ostringstream out;
    std::string result = outcome([&] {
        WalkMediaSamples(media, lastMediaByte, max, source, [&](const MediaSampleRef &e) {
            out << e.start << '-' << e.stop << ' ' << e.size << '@' << e.offset << ' ' << e.sync << ' ' << e.sampleCount
                << '\n';
        });
    });
    return out.str() + result;
}

TEST(CursorLookup, AnswersAsThePerCallLookupOverRandomTables)
{
    RandomTables random(20240611);
    int answered = 0, failed = 0;
    for (int round = 0; round < 1500; ++round) {
        TestMovie movie(movieAtom({random.track()}));
        const CMyQTMedia *media = movie.media();
        CMySampleRefPerCall perCall(media);
        CMySampleRefCursor cursor(media);
        LONG time = 0;
        for (int call = 0; call < 60; ++call) {
            // Mostly forward, now and then back, and now and then far ahead.
            if (random.chance(10))
                time = std::max(0, time - random.pick(0, 40));
            else if (random.chance(3))
                time = random.pick(-2, 1 << 30);
            else
                time += random.pick(0, 4);
            const LONG max = random.chance(10) ? random.pick(-1, 2) : random.pick(0, 1);
            const std::string expected = lookup(perCall, time, max);
            ASSERT_EQ(lookup(cursor, time, max), expected) << "round " << round << " call " << call << " time " << time;
            ++(expected.rfind("offset", 0) == 0 ? answered : failed);
        }
    }
    // The tables must exercise both outcomes.
    EXPECT_GT(answered, 5000);
    EXPECT_GT(failed, 5000);
    std::printf("%d answers, %d exceptions\n", answered, failed);
}

TEST(CursorLookup, WalksToTheSameIndexAsThePerCallLookup)
{
    RandomTables random(7);
    int entries = 0, chunkErrors = 0;
    for (int round = 0; round < 4000; ++round) {
        TestMovie movie(movieAtom({random.track()}));
        const CMyQTMedia *media = movie.media();
        const ULONGLONG lastMediaByte = random.chance(50) ? 0xFFFFFFFFULL : ULONGLONG(random.pick(100, 6000));
        for (LONG max : {1, 0}) {
            CMySampleRefPerCall perCall(media);
            CMySampleRefCursor cursor(media);
            const std::string expected = walk(media, lastMediaByte, max, perCall);
            ASSERT_EQ(walk(media, lastMediaByte, max, cursor), expected) << "round " << round << " max " << max;
            entries += int(std::count(expected.begin(), expected.end(), '\n'));
            if (expected.find("CMyQTException 22") != std::string::npos) ++chunkErrors;
        }
    }
    EXPECT_GT(entries, 10000);
    EXPECT_GT(chunkErrors, 100);
    std::printf("%d entries, %d walks ended by the media data check\n", entries, chunkErrors);
}

TEST(CursorLookup, RestartsItsWalksWhenTimeGoesBack)
{
    TestMovie movie(
        movieAtom({videoTrack(600, 600,
                              {qt::stts({{3, 100}, {3, 100}}), qt::stsc({{1, 2, 1}, {2, 1, 1}}),
                               qt::stsz({1, 2, 3, 4, 5, 6}), qt::stco({10, 20, 30, 40, 50}), qt::stss({5, 1, 3})})}));
    CMySampleRefPerCall perCall(movie.media());
    CMySampleRefCursor cursor(movie.media());
    for (LONG time : {550, 10, 320, 120, 590, 0, 599})
        EXPECT_EQ(lookup(cursor, time, 1), lookup(perCall, time, 1)) << time;
}

} // namespace
} // namespace orvex::test
