// Hostile movie atoms: the movie atoms of the real movies cut at every length
// and with every size field (and every table count) set to 0, 7 and
// 0xFFFFFFFF in turn. Each must load and answer, or be refused with the
// layer's own refusals; a crash, a hang or a sanitizer report fails the run.
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "movie_exerciser.h"
#include "support/qt_movie.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

// Positions of the 32-bit fields worth breaking: the size of every atom,
// sample description entry, data reference and extension (in sizes), and the
// entry count of every table (in counts).
void collectFields(const Bytes &bytes, size_t begin, size_t end, std::vector<size_t> &sizes,
                   std::vector<size_t> &counts)
{
    for (size_t at = begin; at + 8 <= end;) {
        const uint32_t size = MyQTReadBE32(bytes.data() + at);
        const std::string type(bytes.begin() + long(at) + 4, bytes.begin() + long(at) + 8);
        const auto is = [&](const std::string &codes) { return codes.find(type) != std::string::npos; };
        if (size < 8 || at + size > end) return;
        sizes.push_back(at);
        if (is("moov trak mdia minf stbl dinf edts udta wave")) collectFields(bytes, at + 8, at + size, sizes, counts);
        if (is("stts stss stsc stco stsd dref elst ctts") && size >= 16) counts.push_back(at + 12);
        if (type == "stsz" && size >= 20) counts.push_back(at + 16);
        for (size_t entry = at + 16; is("stsd dref") && entry + 8 <= at + size;) {
            // Entries, and the extensions inside each description.
            const uint32_t entrySize = MyQTReadBE32(bytes.data() + entry);
            if (entrySize < 8 || entry + entrySize > at + size) break;
            sizes.push_back(entry);
            for (size_t fixed : {86, 36, 52})
                if (type == "stsd" && entrySize > fixed)
                    collectFields(bytes, entry + fixed, entry + entrySize, sizes, counts);
            entry += entrySize;
        }
        at += size;
    }
}

void expectSurvives(const Bytes &moov, const std::string &what)
{
    EXPECT_NO_THROW(loadAndExercise(moov.data(), moov.size())) << what;
}

class HostileMovieAtoms : public ::testing::TestWithParam<const char *> {};

TEST_P(HostileMovieAtoms, LoadAndAnswerOrAreRefused)
{
    const std::string path = dataPath(std::string("movies/") + GetParam());
    const Bytes moov = [&] {
        auto movie = LoadMovieAtom(widen(path).c_str());
        return Bytes(movie->GetAtom(), movie->GetAtom() + movie->GetAtomSize());
    }();
    EXPECT_EQ(loadAndExercise(moov.data(), moov.size()), "loaded");
    for (size_t length = 0; length < moov.size(); ++length) {
        Bytes cut(moov.begin(), moov.begin() + long(length));
        if (length >= 8) {
            // The size field still claims the whole atom: refused.
            EXPECT_EQ(loadAndExercise(cut.data(), cut.size()), "refused: CMyQTException 28") << length;
            // The size field says the cut length: everything inside runs past it.
            MyQTWriteBE32(cut.data(), uint32_t(length));
        }
        expectSurvives(cut, "cut at " + std::to_string(length));
    }
    std::vector<size_t> sizes, counts;
    collectFields(moov, 0, moov.size(), sizes, counts);
    for (auto [fields, values] : {std::pair{&sizes, std::vector<uint32_t>{0, 7, 0xFFFFFFFF}},
                                  std::pair{&counts, std::vector<uint32_t>{0, 7, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000}}})
        for (size_t at : *fields)
            for (uint32_t value : values) {
                Bytes broken = moov;
                MyQTWriteBE32(broken.data() + at, value);
                expectSurvives(broken, "field at " + std::to_string(at) + " = " + std::to_string(value));
            }
}

INSTANTIATE_TEST_SUITE_P(Movies, HostileMovieAtoms, ::testing::ValuesIn(realMovies()), movieTestName);

// Inputs that once were dangerous for readers of this kind.
TEST(HostileMovieAtomsRegressions, SmallHandBuiltCases)
{
    const auto moov = [](std::vector<Atom> children) { return Atom("moov", std::move(children)).bytes(); };
    const Atom shortHeaders("mdia", std::vector<Atom>{Atom("hdlr", Bytes(3, 0)), Atom("mdhd", Bytes(1, 0))});
    for (const Bytes &bytes : {Bytes{}, moov({}), moov({Atom("trak").setSize(0)}),
                               moov({Atom("trak", std::vector<Atom>{Atom("mdia").setSize(0xFFFFFFFF)})}),
                               moov({Atom("trak", std::vector<Atom>{shortHeaders})})})
        expectSurvives(bytes, "case of " + std::to_string(bytes.size()) + " bytes");
}

} // namespace
} // namespace orvex::test
