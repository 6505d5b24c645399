// Hostile movie atoms: the movie atoms of the real movies cut at every length
// and with every size field (and every table count) set to 0, 7 and
// 0xFFFFFFFF in turn. Each must load and answer, or be refused with the
// layer's own refusals; a crash, a hang or a sanitizer report fails the run.
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "movie_exerciser.h"
#include "support/qt_movie.h"
#include "support/scratch.h"
#include "support/annexb.h"

#include <gtest/gtest.h>

#include <cstring>

namespace orvex::test {
namespace {

const char *const kMovieFiles[] = {"baseline_sowt.mov", "main_aac_faststart.mov", "odd_size_sowt_3000.mov",
                                   "sowt_one_second_chunks.mov", "video_only_faststart.mov"};

Bytes movieAtomOf(const std::string &file)
{
    auto movie = LoadMovieAtom(widen(dataPath("movies/" + file)).c_str());
    return Bytes(movie->GetAtom(), movie->GetAtom() + movie->GetAtomSize());
}

bool isContainer(uint32_t type)
{
    for (const char *c : {"moov", "trak", "mdia", "minf", "stbl", "dinf", "edts", "udta", "wave"})
        if (type == fourccValue(c)) return true;
    return false;
}

// Positions of the 32-bit fields worth breaking: the size of every atom,
// sample description entry, data reference and extension, and the entry
// count of every table.
void collectFields(const Bytes &bytes, size_t begin, size_t end, std::vector<size_t> &sizes,
                   std::vector<size_t> &counts)
{
    for (size_t at = begin; at + 8 <= end;) {
        uint32_t size = MyQTReadBE32(bytes.data() + at);
        uint32_t type = MyQTReadBE32(bytes.data() + at + 4);
        if (size < 8 || at + size > end) return;
        sizes.push_back(at);
        if (isContainer(type)) collectFields(bytes, at + 8, at + size, sizes, counts);
        for (const char *table : {"stts", "stss", "stsc", "stco", "stsd", "dref", "elst", "ctts"})
            if (type == fourccValue(table) && size >= 16) counts.push_back(at + 12);
        if (type == fourccValue("stsz") && size >= 20) counts.push_back(at + 16);
        if ((type == fourccValue("stsd") || type == fourccValue("dref")) && size >= 16) {
            // Entries, and the extensions inside each description.
            for (size_t entry = at + 16; entry + 8 <= at + size;) {
                uint32_t entrySize = MyQTReadBE32(bytes.data() + entry);
                if (entrySize < 8 || entry + entrySize > at + size) break;
                sizes.push_back(entry);
                for (size_t fixed : {size_t(86), size_t(36), size_t(52)})
                    if (type == fourccValue("stsd") && entrySize > fixed)
                        collectFields(bytes, entry + fixed, entry + entrySize, sizes, counts);
                entry += entrySize;
            }
        }
        at += size;
    }
}

void expectSurvives(const Bytes &moov, const std::string &what)
{
    std::string result;
    ASSERT_NO_THROW(result = loadAndExercise(moov.data(), moov.size())) << what;
    EXPECT_TRUE(result == "loaded" || result.rfind("refused: ", 0) == 0) << what << ": " << result;
}

class HostileMovieAtoms : public ::testing::TestWithParam<const char *> {};

TEST_P(HostileMovieAtoms, TheUntouchedAtomLoadsAndAnswers)
{
    Bytes moov = movieAtomOf(GetParam());
    ExerciseReport report;
    EXPECT_EQ(loadAndExercise(moov.data(), moov.size(), &report), "loaded");
    EXPECT_GT(report.answered, 20u);
}

TEST_P(HostileMovieAtoms, CutAtEveryLength)
{
    Bytes moov = movieAtomOf(GetParam());
    for (size_t length = 0; length < moov.size(); ++length) {
        Bytes cut(moov.begin(), moov.begin() + static_cast<long>(length));
        if (length >= 8) {
            // The size field still claims the whole atom: refused.
            EXPECT_EQ(loadAndExercise(cut.data(), cut.size()), "refused: CMyQTException 28") << length;
            // The size field says the cut length: everything inside runs past it.
            MyQTWriteBE32(cut.data(), static_cast<uint32_t>(length));
        }
        expectSurvives(cut, "cut at " + std::to_string(length));
    }
}

TEST_P(HostileMovieAtoms, EverySizeFieldBroken)
{
    Bytes moov = movieAtomOf(GetParam());
    std::vector<size_t> sizes, counts;
    collectFields(moov, 0, moov.size(), sizes, counts);
    EXPECT_GT(sizes.size(), 20u);
    EXPECT_GE(counts.size(), 8u);
    for (size_t at : sizes)
        for (uint32_t value : {0u, 7u, 0xFFFFFFFFu}) {
            Bytes broken = moov;
            MyQTWriteBE32(broken.data() + at, value);
            expectSurvives(broken, "size at " + std::to_string(at) + " = " + std::to_string(value));
        }
}

TEST_P(HostileMovieAtoms, EveryTableCountBroken)
{
    Bytes moov = movieAtomOf(GetParam());
    std::vector<size_t> sizes, counts;
    collectFields(moov, 0, moov.size(), sizes, counts);
    for (size_t at : counts)
        for (uint32_t value : {0u, 7u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u}) {
            Bytes broken = moov;
            MyQTWriteBE32(broken.data() + at, value);
            expectSurvives(broken, "count at " + std::to_string(at) + " = " + std::to_string(value));
        }
}

// Through the file: the movie atom cut or broken inside a real file.
TEST_P(HostileMovieAtoms, BrokenFilesLoadOrAreRefused)
{
    Bytes file = readFileBytes(dataPath(std::string("movies/") + GetParam()));
    ScratchFolder dir;
    for (size_t length = 0; length < file.size(); length += file.size() / 97 + 1) {
        std::string path = dir.write("cut.mov", Bytes(file.begin(), file.begin() + static_cast<long>(length)));
        std::string how = outcome([&] {
            auto movie = LoadMovieAtom(widen(path).c_str());
            exerciseMovie(*movie);
        });
        EXPECT_TRUE(how == "ok" || how == qtError(CMyQTException::kMoovNotFound)) << length << ": " << how;
        ULONGLONG offset, size;
        how = outcome([&] { FindMdatAtom(widen(path).c_str(), &offset, &size); });
        EXPECT_TRUE(how == "ok" || how == qtError(CMyQTException::kMdatNotFound)) << length << ": " << how;
    }
}

INSTANTIATE_TEST_SUITE_P(Movies, HostileMovieAtoms, ::testing::ValuesIn(kMovieFiles), [](const auto &info) {
    std::string name = info.param;
    return name.substr(0, name.find('.'));
});

// Inputs that once were dangerous for readers of this kind.
TEST(HostileMovieAtomsRegressions, SmallHandBuiltCases)
{
    std::vector<Bytes> cases = {
        Bytes{},
        Bytes{0, 0, 0, 8, 'm', 'o', 'o', 'v'},
        Atom("moov", std::vector<Atom>{Atom("trak").setSize(0)}).bytes(),
        Atom("moov", std::vector<Atom>{Atom("trak", std::vector<Atom>{Atom("mdia").setSize(0xFFFFFFFF)})}).bytes(),
        Atom("moov", std::vector<Atom>{Atom(
                         "trak", std::vector<Atom>{Atom("mdia", std::vector<Atom>{Atom("hdlr", Bytes(3, 0)),
                                                                                  Atom("mdhd", Bytes(1, 0))})})})
            .bytes(),
    };
    for (size_t i = 0; i < cases.size(); ++i)
        expectSurvives(cases[i], "case " + std::to_string(i));
}

} // namespace
} // namespace orvex::test
