// Sample description copies: conversion to host order by media type, short
// and malformed entries, the image and sound description objects, and the
// four-character code text.
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTDescriptionLayouts.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MyQTStuffs.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "MyQuickTimeAPIs/MySoundDescription.h"
#include "qt_test_util.h"

#include <gtest/gtest.h>

#include <cstring>

namespace orvex::test {
namespace {

class DescribedMedia {
public:
    DescribedMedia(const std::string &type, Atom stsd)
    {
        qt::TrackAtoms track;
        track.mediaType = type;
        track.sampleDescriptions = std::move(stsd);
        m_movie = movieFrom(movieAtomWith({track}));
        m_media = GetTrackMedia(GetMovieIndTrack(m_movie.get(), 1));
    }
    const CMyQTMedia *media() const { return m_media; }
    // Copy of description index; the handle is returned even when the copy throws.
    CMyQTHandlePtr copy(LONG index, std::string *how = nullptr) const
    {
        CMyQTHandlePtr handle(NewHandle(0));
        std::string result = outcome([&] { GetMediaSampleDescription(m_media, index, handle.get()); });
        if (how)
            *how = result;
        else
            EXPECT_EQ(result, "ok");
        return handle;
    }

private:
    std::unique_ptr<CMyQTMovie> m_movie;
    const CMyQTMedia *m_media;
};

template <typename T> T field(const CMyQTHandlePtr &handle, size_t offset)
{
    T value;
    std::memcpy(&value, handle->GetData() + offset, sizeof(value));
    return value;
}

TEST(ImageDescriptionCopy, ConvertsTheFixedFields)
{
    DescribedMedia m("vide", qt::stsd({qt::imageDescription("avc1", 1920, 1080, {}, 24)}));
    EXPECT_EQ(GetMediaSampleDescriptionCount(m.media()), 1);
    CMyQTHandlePtr copy = m.copy(1);
    ASSERT_EQ(GetHandleSize(copy.get()), 86u);
    const auto *d = reinterpret_cast<const MyQTImageDescription *>(copy->GetData());
    EXPECT_EQ(d->head.descSize, 86u);
    EXPECT_EQ(d->head.dataFormat, MyQTFourCC("avc1"));
    EXPECT_EQ(d->head.dataRefIndex, 1);
    EXPECT_EQ(d->width, 1920);
    EXPECT_EQ(d->height, 1080);
    EXPECT_EQ(d->hRes, 0x00480000u);
    EXPECT_EQ(d->frameCount, 1);
    EXPECT_EQ(d->depth, 24);
    EXPECT_EQ(d->clutID, -1);
    EXPECT_EQ(d->temporalQuality, 0u);
    EXPECT_EQ(d->spatialQuality, 512u);
    EXPECT_EQ(d->name[0], 4); // the name stays as it is
    EXPECT_EQ(std::memcmp(d->name + 1, "test", 4), 0);
}

TEST(ImageDescriptionCopy, LeavesExtensionsBigEndian)
{
    Atom avcc = qt::avcC(Bytes{0x67, 0x42, 0xC0, 0x1E, 0xAA}, Bytes{0x68, 0xCE});
    DescribedMedia m("vide", qt::stsd({qt::imageDescription("avc1", 176, 144, {avcc})}));
    CMyQTHandlePtr copy = m.copy(1);
    ASSERT_EQ(GetHandleSize(copy.get()), 86u + avcc.length());
    EXPECT_EQ(Bytes(copy->GetData() + 86, copy->GetData() + GetHandleSize(copy.get())), avcc.bytes());
}

TEST(ImageDescriptionCopy, SignedFieldsStaySigned)
{
    DescribedMedia m("vide", qt::stsd({qt::imageDescription("avc1", -2, -3)}));
    CMyQTHandlePtr copy = m.copy(1);
    CMyImageDescription image(copy->GetData(), GetHandleSize(copy.get()));
    EXPECT_EQ(image.GetWidth(), -2);
    EXPECT_EQ(image.GetHeight(), -3);
}

TEST(SoundDescriptionCopy, ConvertsVersions0To2)
{
    DescribedMedia m(
        "soun", qt::stsd({qt::soundDescriptionV0("sowt", 2, 16, 48000), qt::soundDescriptionV1("sowt", 2, 24, 44100, 6),
                          qt::soundDescriptionV2("lpcm", 6, 24, 96000.0)}));
    EXPECT_EQ(GetMediaSampleDescriptionCount(m.media()), 3);
    CMyQTHandlePtr v0 = m.copy(1);
    EXPECT_EQ(GetHandleSize(v0.get()), 36u);
    const auto *d0 = reinterpret_cast<const MyQTSoundDescription *>(v0->GetData());
    EXPECT_EQ(d0->version, 0);
    EXPECT_EQ(d0->numChannels, 2);
    EXPECT_EQ(d0->sampleSize, 16);
    EXPECT_EQ(d0->sampleRate, 0xBB800000u);
    EXPECT_EQ(d0->samplesPerPacket, 0u); // beyond the entry: zero

    CMyQTHandlePtr v1 = m.copy(2);
    const auto *d1 = reinterpret_cast<const MyQTSoundDescription *>(v1->GetData());
    EXPECT_EQ(d1->version, 1);
    EXPECT_EQ(d1->bytesPerFrame, 6u);
    EXPECT_EQ(d1->bytesPerSample, 3u);
    EXPECT_EQ(d1->compressionID, 0xFFFE);

    CMyQTHandlePtr v2 = m.copy(3);
    EXPECT_EQ(GetHandleSize(v2.get()), 72u);
    const auto *d2 = reinterpret_cast<const MyQTSoundDescriptionV2 *>(v2->GetData());
    EXPECT_EQ(d2->version, 2);
    EXPECT_EQ(d2->sizeOfStructOnly, 72u);
    EXPECT_EQ(d2->audioSampleRate, 96000.0);
    EXPECT_EQ(d2->numAudioChannels, 6u);
    EXPECT_EQ(d2->constBitsPerChannel, 24u);
    EXPECT_EQ(d2->constLPCMFramesPerAudioPacket, 1u);
}

TEST(SoundDescriptionCopy, OtherVersionsAreRefusedAfterTheCopy)
{
    Atom v3 = qt::soundDescriptionV0("sowt", 2, 16, 48000);
    v3.body()[9] = 3;
    DescribedMedia m("soun", qt::stsd({v3}));
    std::string how;
    CMyQTHandlePtr copy = m.copy(1, &how);
    EXPECT_EQ(how, qtError(CMyQTException::kUnsupportedDescription));
    EXPECT_EQ(GetHandleSize(copy.get()), 36u);
    EXPECT_EQ(field<DWORD>(copy, 4), MyQTFourCC("sowt"));
}

TEST(TextDescriptionCopy, ConvertsOnlyTheHead)
{
    DescribedMedia m("text", qt::stsd({Atom("text", ByteWriter().zeros(6).be16(1).be32(0x01020304).data())}));
    CMyQTHandlePtr copy = m.copy(1);
    EXPECT_EQ(field<DWORD>(copy, 4), MyQTFourCC("text"));
    EXPECT_EQ(field<WORD>(copy, 14), 1);
    EXPECT_EQ(copy->GetData()[16], 0x01); // after the head: as in the file
}

TEST(DescriptionCopy, OtherMediaTypesAreRefusedAfterTheCopy)
{
    DescribedMedia m("tmcd", qt::stsd({Atom("tmcd", Bytes(20, 0))}));
    std::string how;
    CMyQTHandlePtr copy = m.copy(1, &how);
    EXPECT_EQ(how, qtError(CMyQTException::kUnsupportedDescription));
    EXPECT_EQ(GetHandleSize(copy.get()), 28u);
}

TEST(DescriptionCopy, ShortEntriesConvertWhatTheyHoldAndReadZeroBeyond)
{
    // 34 bytes of a sound description: the sample rate (32..35) is cut.
    Atom sound = qt::soundDescriptionV0("sowt", 2, 16, 48000);
    sound.body().resize(34 - 8);
    DescribedMedia s("soun", qt::stsd({sound}));
    CMyQTHandlePtr copy = s.copy(1);
    EXPECT_EQ(GetHandleSize(copy.get()), 34u);
    EXPECT_GE(copy->GetCapacity(), 86u);
    EXPECT_EQ(field<WORD>(copy, 24), 2);   // channels converted
    EXPECT_EQ(field<DWORD>(copy, 32), 0u); // the rate is not there: zero
    // 40 bytes of an image description.
    Atom image = qt::imageDescription("avc1", 320, 240);
    image.body().resize(40 - 8);
    DescribedMedia v("vide", qt::stsd({image}));
    CMyQTHandlePtr vcopy = v.copy(1);
    EXPECT_EQ(GetHandleSize(vcopy.get()), 40u);
    EXPECT_EQ(field<SHORT>(vcopy, 32), 320);
    EXPECT_EQ(field<DWORD>(vcopy, 36), 0x00480000u);
    for (size_t i = 40; i < vcopy->GetCapacity(); ++i)
        ASSERT_EQ(vcopy->GetData()[i], 0) << i;
    // Just a size and a format.
    DescribedMedia tiny("vide", qt::stsd({Atom("avc1")}));
    CMyQTHandlePtr tcopy = tiny.copy(1);
    EXPECT_EQ(GetHandleSize(tcopy.get()), 8u);
    EXPECT_EQ(field<DWORD>(tcopy, 4), MyQTFourCC("avc1"));
}

TEST(DescriptionCopy, AReusedHandleReadsZeroBeyondTheNewEntry)
{
    DescribedMedia m("vide", qt::stsd({qt::imageDescription("avc1", 1, 1, {Atom("xxxx", Bytes(100, 0xEE))}),
                                       Atom("avc1", Bytes(4, 0))}));
    CMyQTHandlePtr handle(NewHandle(0));
    GetMediaSampleDescription(m.media(), 1, handle.get());
    GetMediaSampleDescription(m.media(), 2, handle.get());
    EXPECT_EQ(GetHandleSize(handle.get()), 12u);
    for (size_t i = 12; i < handle->GetCapacity(); ++i)
        ASSERT_EQ(handle->GetData()[i], 0) << i;
}

TEST(DescriptionCopy, IndexesAndEntriesOutsideTheAtomAreRefused)
{
    DescribedMedia m("vide", qt::stsd({qt::imageDescription("avc1", 1, 1), qt::imageDescription("jpeg", 1, 1)}));
    std::string how;
    for (LONG index : {0, -1, 3}) {
        m.copy(index, &how);
        EXPECT_EQ(how, qtError(CMyQTException::kBadArgument)) << index;
    }
    m.copy(2, &how);
    EXPECT_EQ(how, "ok");

    // Entry sizes below 8, past the 'stsd', and a count beyond the entries.
    for (uint32_t size : {0u, 4u, 7u, 87u, 0xFFFFFFFFu}) {
        Atom entry = qt::imageDescription("avc1", 1, 1);
        entry.setSize(size);
        DescribedMedia bad("vide", qt::stsd({entry}));
        bad.copy(1, &how);
        EXPECT_EQ(how, qtError(CMyQTException::kOutsideAtom)) << size;
    }
    Atom stsd = qt::stsd({qt::imageDescription("avc1", 1, 1)});
    stsd.body()[7] = 2;
    DescribedMedia overcounted("vide", stsd);
    overcounted.copy(1, &how);
    EXPECT_EQ(how, "ok");
    overcounted.copy(2, &how);
    EXPECT_EQ(how, qtError(CMyQTException::kOutsideAtom));
}

TEST(DescriptionCount, IsCheckedAndNeedsTheAtom)
{
    Atom stsd = qt::stsd({});
    stsd.body()[4] = 0x80;
    DescribedMedia negative("vide", stsd);
    EXPECT_QT_ERROR(GetMediaSampleDescriptionCount(negative.media()), kBadSampleDescriptionCount);
    qt::TrackAtoms track;
    Atom moov = movieAtomWith({track});
    moov.find("trak/mdia/minf/stbl/stsd")->setType("xxxx");
    auto movie = movieFrom(moov);
    CMyQTMedia *media = GetTrackMedia(GetMovieIndTrack(movie.get(), 1));
    CMyQTHandlePtr handle(NewHandle(0));
    EXPECT_QT_ERROR(GetMediaSampleDescriptionCount(media), kNoSampleDescriptions);
    EXPECT_QT_ERROR(GetMediaSampleDescription(media, 1, handle.get()), kNoSampleDescriptions);
    EXPECT_QT_ERROR(GetMediaSampleDescriptionCount(nullptr), kMissingAtom);
}

// The image description object and its extensions.
CMyImageDescription imageOf(const Bytes &entry)
{
    return CMyImageDescription(entry.data(), DWORD(entry.size()));
}

// An image description in host order as a copy holds it.
Bytes hostOrderImage(std::vector<Atom> extensions, uint32_t sizeField = 0)
{
    DescribedMedia m("vide", qt::stsd({qt::imageDescription("avc1", 176, 144, std::move(extensions))}));
    CMyQTHandlePtr copy = m.copy(1);
    Bytes bytes(copy->GetData(), copy->GetData() + GetHandleSize(copy.get()));
    if (sizeField) std::memcpy(bytes.data(), &sizeField, 4);
    return bytes;
}

TEST(FindExtension, FindsTheFirstExtensionOfAType)
{
    Atom avcc("avcC", Bytes(31, 1)); // 39 bytes
    Bytes bytes = hostOrderImage({avcc});
    CMyImageDescription image(bytes.data(), DWORD(bytes.size()));
    EXPECT_EQ(image.GetSize(), 86u + 39u);
    EXPECT_EQ(image.GetDescriptionSize(), 125u);
    EXPECT_EQ(image.GetDataFormat(), MyQTFourCC("avc1"));
    EXPECT_EQ(image.GetWidth(), 176);
    EXPECT_EQ(image.GetHeight(), 144);
    EXPECT_EQ(image.GetDepth(), 24);
    ASSERT_NE(image.FindExtension(MyQTFourCC("avcC")), nullptr);
    EXPECT_EQ(image.FindExtension(MyQTFourCC("avcC")) - image.GetData(), 86);
    EXPECT_EQ(image.FindExtension(MyQTFourCC("colr")), nullptr);

    Bytes two = hostOrderImage({Atom("pasp", Bytes(8, 0)), Atom("colr", Bytes(10, 0)), Atom("colr", Bytes(2, 0))});
    CMyImageDescription withTwo(two.data(), DWORD(two.size()));
    EXPECT_EQ(withTwo.FindExtension(MyQTFourCC("colr")) - withTwo.GetData(), 86 + 16);
    EXPECT_EQ(imageOf(hostOrderImage({})).FindExtension(MyQTFourCC("avcC")), nullptr);
}

TEST(FindExtension, StopsAtExtensionsThatDoNotFit)
{
    // Size 0, sizes below a header, and sizes past the description's end.
    for (uint32_t size : {0u, 1u, 7u, 40u}) {
        Bytes bytes = hostOrderImage({Atom("pasp", Bytes(8, 0)).setSize(size), Atom("avcC", Bytes(8, 0))});
        EXPECT_EQ(imageOf(bytes).FindExtension(MyQTFourCC("avcC")), nullptr) << size;
    }
    // An atom smaller than a header is stepped over by its size.
    const CMyImageDescription small =
        imageOf(hostOrderImage({Atom::raw(Bytes{0, 0, 0, 4}), Atom("colr", Bytes(10, 0))}));
    EXPECT_EQ(small.FindExtension(MyQTFourCC("colr")) - small.GetData(), 86 + 4);
    // Fewer than 8 bytes after the fixed part.
    Bytes tail = hostOrderImage({Atom::raw(Bytes{0, 0, 0, 5, 'a'})});
    EXPECT_EQ(imageOf(tail).FindExtension(MyQTFourCC("a\0\0\0")), nullptr);
}

TEST(FindExtension, IsBoundedByTheCopyAndTheSizeField)
{
    Bytes bytes = hostOrderImage({Atom("avcC", Bytes(8, 0))});
    // The size field claims more than the copy holds: only the copy counts.
    Bytes claimed = bytes;
    uint32_t big = 5000;
    std::memcpy(claimed.data(), &big, 4);
    EXPECT_NE(imageOf(claimed).FindExtension(MyQTFourCC("avcC")), nullptr);
    // The size field says the description ends before the extension.
    Bytes cut = bytes;
    uint32_t small = 90;
    std::memcpy(cut.data(), &small, 4);
    EXPECT_EQ(imageOf(cut).FindExtension(MyQTFourCC("avcC")), nullptr);
    // A copy shorter than the fixed part, and an empty one.
    EXPECT_EQ(CMyImageDescription(bytes.data(), 50).FindExtension(MyQTFourCC("avcC")), nullptr);
    CMyImageDescription empty(nullptr, 0);
    EXPECT_EQ(empty.FindExtension(MyQTFourCC("avcC")), nullptr);
    EXPECT_EQ(empty.GetWidth(), 0);
    EXPECT_EQ(empty.GetDataFormat(), 0u);
}

TEST(ImageDescriptionObject, OwnsItsCopy)
{
    Bytes bytes = hostOrderImage({});
    auto image = std::make_unique<CMyImageDescription>(bytes.data(), DWORD(bytes.size()));
    bytes.assign(bytes.size(), 0xFF);
    EXPECT_EQ(image->GetWidth(), 176);
    std::unique_ptr<CMySampleDescription> base = std::move(image); // deleted through the base
    EXPECT_EQ(base->GetSize(), 86u);
}

// The sound description object.
TEST(SoundDescriptionObject, GivesFrameSizeRateAndChannels)
{
    DescribedMedia m(
        "soun", qt::stsd({qt::soundDescriptionV0("sowt", 2, 16, 48000), qt::soundDescriptionV1("sowt", 2, 16, 44100, 6),
                          qt::soundDescriptionV0("raw ", 1, 8, 22050), qt::soundDescriptionV0("twos", 3, 12, 8000)}));
    CMySoundDescription v0(m.media(), 1);
    EXPECT_EQ(v0.GetVersion(), 0);
    EXPECT_EQ(v0.GetBytesPerFrame(), 4);
    EXPECT_EQ(v0.GetSampleRate(), 48000);
    EXPECT_EQ(v0.GetNumberOfChannels(), 2);
    EXPECT_EQ(v0.GetSampleSize(), 16);
    EXPECT_EQ(v0.GetDataFormat(), MyQTFourCC("sowt"));
    EXPECT_GE(GetHandleSize(v0.GetHandle()), 36u);
    CMySoundDescription v1(m.media(), 2);
    EXPECT_EQ(v1.GetBytesPerFrame(), 6); // whatever channels and sample size say
    EXPECT_EQ(v1.GetSampleRate(), 44100);
    CMySoundDescription raw(m.media(), 3);
    EXPECT_EQ(raw.GetBytesPerFrame(), 1);
    EXPECT_EQ(raw.GetSampleRate(), 22050);
    CMySoundDescription odd(m.media(), 4);
    EXPECT_EQ(odd.GetBytesPerFrame(), 3); // 12 / 8 truncates to 1
}

TEST(SoundDescriptionObject, RefusesVersion2AndBadIndexes)
{
    DescribedMedia m("soun", qt::stsd({qt::soundDescriptionV2("lpcm", 2, 16, 48000.0)}));
    EXPECT_OUTCOME(CMySoundDescription(m.media(), 1), "bare code 26");
    EXPECT_QT_ERROR(CMySoundDescription(m.media(), 2), kBadArgument);
}

TEST(SoundDescriptionObject, AShortEntryReadsAsZeroBeyondItsEnd)
{
    Atom sound = qt::soundDescriptionV0("sowt", 2, 16, 48000);
    sound.body().resize(26 - 8); // up to the channels
    DescribedMedia m("soun", qt::stsd({sound}));
    CMySoundDescription d(m.media(), 1);
    EXPECT_EQ(d.GetNumberOfChannels(), 2);
    EXPECT_EQ(d.GetSampleSize(), 0);
    EXPECT_EQ(d.GetSampleRate(), 0);
    EXPECT_EQ(d.GetBytesPerFrame(), 0);
}

TEST(FourCC, PrintableCodesAreQuoted)
{
    char buffer[16];
    ASSERT_TRUE(FourCCToText(MyQTFourCC("avc1"), buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "'avc1'");
    char seven[7];
    EXPECT_TRUE(FourCCToText(MyQTFourCC("sowt"), seven, 7));
    EXPECT_STREQ(seven, "'sowt'");
    EXPECT_FALSE(FourCCToText(MyQTFourCC("sowt"), seven, 6));
    ASSERT_TRUE(FourCCToText(MyQTFourCC("raw "), buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "'raw '");
    ASSERT_TRUE(FourCCToText(0x7F202020, buffer, sizeof(buffer)));
    EXPECT_EQ(buffer[1], 0x7F);
}

TEST(FourCC, OtherCodesAreHex)
{
    char buffer[16];
    ASSERT_TRUE(FourCCToText(1, buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "0x00000001");
    ASSERT_TRUE(FourCCToText(0x80616263, buffer, sizeof(buffer))); // a byte of 0x80 does not qualify
    EXPECT_STREQ(buffer, "0x80616263");
    ASSERT_TRUE(FourCCToText(0x61626319, buffer, 11));
    EXPECT_STREQ(buffer, "0x61626319");
    EXPECT_FALSE(FourCCToText(1, buffer, 10));
    EXPECT_FALSE(FourCCToText(1, buffer, size_t(0x80000000)));
}

} // namespace
} // namespace orvex::test
