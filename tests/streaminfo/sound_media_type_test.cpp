// The PCM and AAC media types of the sound stream infos.
#include "MovFileParserFilter/AACSoundMediaStreamInfo.h"
#include "MovFileParserFilter/MovParserMediaTypes.h"
#include "MovFileParserFilter/OrvexCameraPCMSoundMediaStreamInfo.h"
#include "MovFileParserFilter/PCMSoundMediaStreamInfo.h"
#include "streaminfo/streaminfo_fixtures.h"

#include <mmreg.h>
#include <uuids.h>

#include <gtest/gtest.h>

#include <cstring>

namespace orvex::test {
namespace {

std::vector<Atom> someTables()
{
    return {qt::stts({{100, 1}}), qt::stsc({{1, 100, 1}}), qt::stszCommon(1, 100), qt::stco({100})};
}

qt::TrackAtoms trackWith(Atom description)
{
    auto track = soundTrack("sowt", 1, 16, 8000, 100, someTables());
    track.sampleDescriptions = qt::stsd({std::move(description)});
    return track;
}

WAVEFORMATEX pcmFormat(const Atom &description)
{
    TestMovie movie(movieAtom({trackWith(description)}));
    CPCMSoundMediaStreamInfo info;
    info.BuildMediaType(movie.media());
    const CMediaType &type = info.GetMediaType();
    EXPECT_EQ(*type.Type(), MEDIATYPE_Audio);
    EXPECT_EQ(*type.Subtype(), MEDIASUBTYPE_PCM);
    EXPECT_EQ(*type.FormatType(), FORMAT_WaveFormatEx);
    EXPECT_TRUE(type.IsFixedSize());
    EXPECT_EQ(type.GetSampleSize(), 1u);
    EXPECT_FALSE(type.IsTemporalCompressed());
    WAVEFORMATEX wfx{};
    EXPECT_EQ(type.FormatLength(), 18u);
    if (type.FormatLength() == sizeof(wfx)) std::memcpy(&wfx, type.Format(), sizeof(wfx));
    return wfx;
}

TEST(PCMMediaType, StereoSixteenBitAt48kHz)
{
    WAVEFORMATEX wfx = pcmFormat(qt::soundDescriptionV0("sowt", 2, 16, 48000));
    EXPECT_EQ(wfx.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wfx.nChannels, 2);
    EXPECT_EQ(wfx.nSamplesPerSec, 48000u);
    EXPECT_EQ(wfx.nAvgBytesPerSec, 192000u);
    EXPECT_EQ(wfx.nBlockAlign, 4);
    EXPECT_EQ(wfx.wBitsPerSample, 16);
    EXPECT_EQ(wfx.cbSize, 0);
}

TEST(PCMMediaType, MonoEightBitRaw)
{
    WAVEFORMATEX wfx = pcmFormat(qt::soundDescriptionV0("raw ", 1, 8, 22050));
    EXPECT_EQ(wfx.nBlockAlign, 1);
    EXPECT_EQ(wfx.wBitsPerSample, 8);
    EXPECT_EQ(wfx.nAvgBytesPerSec, 22050u);
}

TEST(PCMMediaType, VersionOneTakesItsBytesPerFrame)
{
    WAVEFORMATEX wfx = pcmFormat(qt::soundDescriptionV1("sowt", 2, 16, 44100, 6));
    EXPECT_EQ(wfx.nBlockAlign, 6);
    EXPECT_EQ(wfx.wBitsPerSample, 24);
    EXPECT_EQ(wfx.nAvgBytesPerSec, 44100u * 6);
}

TEST(PCMMediaType, RefusesWhatWouldDivideByZeroOrSayNothing)
{
    TestMovie noChannels(movieAtom({trackWith(qt::soundDescriptionV0("sowt", 0, 16, 8000))}));
    CPCMSoundMediaStreamInfo a;
    EXPECT_QT_ERROR(a.BuildMediaType(noChannels.media()), kUnsupportedDescription);

    TestMovie noBytes(movieAtom({trackWith(qt::soundDescriptionV1("sowt", 2, 16, 8000, 0))}));
    CPCMSoundMediaStreamInfo b;
    EXPECT_QT_ERROR(b.BuildMediaType(noBytes.media()), kUnsupportedDescription);

    TestMovie wrapsToZero(movieAtom({trackWith(qt::soundDescriptionV1("sowt", 2, 16, 8000, 0x10000))}));
    CPCMSoundMediaStreamInfo c;
    EXPECT_QT_ERROR(c.BuildMediaType(wrapsToZero.media()), kUnsupportedDescription);
}

TEST(PCMMediaType, VersionTwoIsRefusedWithTheBareCode)
{
    TestMovie movie(movieAtom({trackWith(qt::soundDescriptionV2("sowt", 2, 16, 48000.0))}));
    CPCMSoundMediaStreamInfo info;
    EXPECT_OUTCOME(info.BuildMediaType(movie.media()), "bare code 26");
}

TEST(PCMMediaType, CameraSoundIsPCMWhateverTheFormat)
{
    TestMovie movie(movieAtom({trackWith(qt::soundDescriptionV0("twos", 1, 16, 8000))}));
    COrvexCameraPCMSoundMediaStreamInfo info;
    info.BuildMediaType(movie.media());
    EXPECT_EQ(*info.GetMediaType().Subtype(), MEDIASUBTYPE_PCM);
}

// An 'esds' atom of 12 + n bytes: version and flags, then n descriptor bytes.
Atom esds(size_t n)
{
    Bytes body(4, 0);
    for (size_t i = 0; i < n; ++i)
        body.push_back(static_cast<uint8_t>(0x40 + i));
    return Atom("esds", body);
}

TEST(AACMediaType, FormatBlockCarriesTheFiguresAndTheDescriptor)
{
    // 36 + 51 bytes: the 'esds' holds 39 descriptor bytes.
    TestMovie movie(movieAtom({trackWith(qt::soundDescriptionV0("mp4a", 2, 16, 44100, {esds(39)}))}));
    CAACSoundMediaStreamInfo info;
    info.BuildMediaType(movie.media());
    const CMediaType &type = info.GetMediaType();
    EXPECT_EQ(*type.Type(), MEDIATYPE_Audio);
    EXPECT_EQ(*type.Subtype(), MEDIASUBTYPE_MovParserAAC);
    EXPECT_EQ(*type.FormatType(), FORMAT_MovParserAACConfig);
    EXPECT_FALSE(type.IsFixedSize());
    EXPECT_EQ(type.lSampleSize, 1u);
    EXPECT_FALSE(type.IsTemporalCompressed());
    ASSERT_EQ(type.FormatLength(), 12u + 39u);
    MovParserAACConfigHeader header;
    std::memcpy(&header, type.Format(), sizeof(header));
    EXPECT_EQ(header.nChannels, 2);
    EXPECT_EQ(header.wBitsPerSample, 16);
    EXPECT_EQ(header.dwSampleRate, 44100u << 16);
    EXPECT_EQ(header.cbConfig, 39u);
    EXPECT_EQ(type.Format()[12], 0x40);
    EXPECT_EQ(type.Format()[12 + 38], 0x40 + 38);
}

TEST(AACMediaType, RefusesWhatIsNotAAC)
{
    TestMovie movie(movieAtom({trackWith(qt::soundDescriptionV0("mp4a", 2, 16, 44100))}));
    CAACSoundMediaStreamInfo info;
    EXPECT_OUTCOME(info.BuildMediaType(movie.media()), "text: Not AAC media");

    TestMovie v2(movieAtom({trackWith(qt::soundDescriptionV2("mp4a", 2, 16, 48000.0))}));
    CAACSoundMediaStreamInfo info2;
    EXPECT_OUTCOME(info2.BuildMediaType(v2.media()), "bare code 26");
}

TEST(MediaTypeGuids, OwnGuidsDifferFromEachOtherAndFromTheSdk)
{
    EXPECT_NE(MEDIASUBTYPE_MovParserAAC, FORMAT_MovParserAACConfig);
    EXPECT_NE(MEDIASUBTYPE_MovParserAAC, MEDIASUBTYPE_PCM);
    // {31637661-0000-0010-8000-00AA00389B71}
    EXPECT_EQ(MEDIASUBTYPE_AVC1.Data1, 0x31637661u);
    EXPECT_EQ(MEDIASUBTYPE_AVC1.Data3, 0x0010);
    EXPECT_EQ(MEDIASUBTYPE_AVC1.Data4[7], 0x71);
}

} // namespace
} // namespace orvex::test
