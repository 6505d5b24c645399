// Sample description copies: conversion to host order by media type, short
// and malformed entries, and the extension walk of the image description.
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTDescriptionLayouts.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MyQTStuffs.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "support/qt_movie.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace orvex::test {
namespace {

// A movie of one track of that type and those descriptions, with the changes (Atom::edit) made.
std::unique_ptr<CMyQTMovie> describedMovie(const std::string &type, Atom stsd, const std::string &changes = "")
{
    qt::TrackAtoms track;
    track.mediaType = type;
    track.sampleDescriptions = std::move(stsd);
    return movieFrom(movieAtomWith({track}).edit(changes));
}

// The copy's fields in host order, after what the copy did; past the entry
// the copy reads zero up to its capacity ("tail0").
std::string copySummary(const CMyQTMedia *media, LONG index, CMyQTHandle *handle)
{
    std::ostringstream out;
    out << outcome([&] { GetMediaSampleDescription(media, index, handle); }) << " " << GetHandleSize(handle);
    if (GetHandleSize(handle) < 16) return out.str();
    const BYTE *data = handle->GetData();
    const auto *image = reinterpret_cast<const MyQTImageDescription *>(data);
    const auto *sound = reinterpret_cast<const MyQTSoundDescription *>(data);
    const auto *head = &image->head;
    out << " " << fourccText(head->dataFormat) << " ref" << head->dataRefIndex;
    DWORD type = 0;
    GetMediaHandlerDescription(media, &type, nullptr, nullptr);
    if (type == MyQTFourCC("vide"))
        out << " " << image->width << "x" << image->height << " res" << image->hRes << " depth" << image->depth;
    else if (type == MyQTFourCC("soun"))
        out << " v" << sound->version << " ch" << sound->numChannels << " bits" << sound->sampleSize << " rate"
            << std::hex << sound->sampleRate << std::dec << " bpf" << sound->bytesPerFrame;
    bool zero = true;
    for (size_t i = GetHandleSize(handle); i < handle->GetCapacity(); ++i)
        zero = zero && data[i] == 0;
    return out.str() + (zero ? " tail0" : " tail?");
}

struct CopyRow {
    const char *name;
    std::string type;
    Atom stsd;
    LONG index;
    std::string expected;
    std::string changes = "";
};

class DescriptionCopy : public ::testing::TestWithParam<CopyRow> {};

TEST_P(DescriptionCopy, ConvertsByMediaType)
{
    auto movie = describedMovie(GetParam().type, GetParam().stsd, GetParam().changes);
    CMyQTHandlePtr handle(NewHandle(0));
    EXPECT_EQ(copySummary(mediaOf(movie), GetParam().index, handle.get()), GetParam().expected);
}

const Atom kOneImage = qt::stsd({qt::imageDescription("avc1", 1, 1)});
const Atom kSounds =
    qt::stsd({qt::soundDescription("sowt", 2, 16, 48000), qt::soundDescription("sowt", 2, 24, 44100, 1, 6),
              qt::soundDescription("lpcm", 6, 24, 96000, 2)});
const std::string kStsd = "trak/mdia/minf/stbl/stsd", kEntry = kStsd + "/*";

INSTANTIATE_TEST_SUITE_P(
    Rows, DescriptionCopy,
    ::testing::Values(
        CopyRow{"SignedImageSize", "vide", qt::stsd({qt::imageDescription("avc1", -2, -3)}), 1,
                "ok 86 avc1 ref1 -2x-3 res4718592 depth24 tail0"},
        CopyRow{"SoundVersion0", "soun", kSounds, 1, "ok 36 sowt ref1 v0 ch2 bits16 ratebb800000 bpf0 tail0"},
        CopyRow{"SoundVersion1", "soun", kSounds, 2, "ok 52 sowt ref1 v1 ch2 bits24 rateac440000 bpf6 tail0"},
        // Refused after the copy.
        CopyRow{"SoundVersion3", "soun", kSounds, 1, "E23 36 sowt ref1 v3 ch512 bits4096 rate80bb bpf0 tail0",
                kEntry + " byte 9 3"},
        CopyRow{"OtherMediaType", "tmcd", qt::stsd({Atom("tmcd", Bytes(20, 0))}), 1, "E23 28 dcmt ref0 tail0"},
        // Short entries convert what they hold.
        CopyRow{"SoundCutBeforeTheRate", "soun", kSounds, 1, "ok 34 sowt ref1 v0 ch2 bits16 rate0 bpf0 tail0",
                kEntry + " cut 26"},
        CopyRow{"IndexZero", "vide", kOneImage, 0, "E24 0"},
        CopyRow{"EntrySize7", "vide", kOneImage, 1, "E28 0", kEntry + " size 7"},
        CopyRow{"EntryOfMaximumSize", "vide", kOneImage, 1, "E28 0", kEntry + " size 4294967295"},
        CopyRow{"CountBeyondTheEntries", "vide", kOneImage, 2, "E28 0", kStsd + " byte 7 2"}),
    [](const auto &info) { return std::string(info.param.name); });

// Where FindExtension finds 'avcC' (offset from the description's start, -1
// for none) in a host-order image description copy with those extensions, the
// size field set to sizeField (0: as copied) and only length bytes given (0: all).
struct ExtensionRow {
    std::vector<Atom> extensions;
    uint32_t sizeField;
    DWORD length;
    long expected;
};

TEST(FindExtension, FindsTheFirstThatFitsInTheCopyAndTheSizeField)
{
    const Atom avcc("avcC", Bytes(8, 0));
    const std::vector<ExtensionRow> rows = {
        {{Atom("pasp", Bytes(8, 0)), avcc, Atom("avcC", Bytes(2, 0))}, 0, 0, 86 + 16},
        {{Atom("colr", Bytes(8, 0))}, 0, 0, -1},
        // Size 0, below a header, past the end: the walk stops.
        {{Atom("pasp", Bytes(8, 0)).setSize(0), avcc}, 0, 0, -1},
        {{Atom("pasp", Bytes(8, 0)).setSize(1), avcc}, 0, 0, -1},
        {{Atom("pasp", Bytes(8, 0)).setSize(40), avcc}, 0, 0, -1},
        // An atom smaller than a header (but not 0) is stepped over by its size.
        {{Atom::raw(Bytes{0, 0, 0, 4}), avcc}, 0, 0, 86 + 4},
        {{Atom::raw(Bytes{0, 0, 0, 5, 'a'})}, 0, 0, -1},
        // The size field claims more than the copy: the copy counts; less: the size field.
        {{avcc}, 5000, 0, 86},
        {{avcc}, 90, 0, -1},
        {{avcc}, 0, 50, -1},
    };
    for (size_t r = 0; r < rows.size(); ++r) {
        auto movie = describedMovie("vide", qt::stsd({qt::imageDescription("avc1", 176, 144, rows[r].extensions)}));
        CMyQTHandlePtr copy(NewHandle(0));
        GetMediaSampleDescription(mediaOf(movie), 1, copy.get());
        if (rows[r].sizeField) std::memcpy(copy->GetData(), &rows[r].sizeField, 4);
        CMyImageDescription image(copy->GetData(), rows[r].length ? rows[r].length : GetHandleSize(copy.get()));
        copy->GetData()[0] ^= 0xFF; // the object holds a copy of its own
        const BYTE *found = image.FindExtension(MyQTFourCC("avcC"));
        EXPECT_EQ(found ? found - image.GetData() : -1, rows[r].expected) << "row " << r;
    }
}

// Printable codes quoted, others in hex; refused without room for the text and its end.
TEST(FourCC, TextFitsOrIsRefused)
{
    std::string texts;
    for (auto [code, room] : {std::pair{MyQTFourCC("sowt"), 7}, {MyQTFourCC("sowt"), 6}, {0x80616263u, 11}, {1u, 10}}) {
        char buffer[16] = {};
        texts += (FourCCToText(code, buffer, size_t(room)) ? std::string(buffer) : "refused") + " ";
    }
    EXPECT_EQ(texts, "'sowt' refused 0x80616263 refused ");
}

} // namespace
} // namespace orvex::test
