// CMediaType and the task-memory media type helpers: ownership of format
// blocks, comparison, partial matching and malformed types.
#include "mtype.h"

#include <amvideo.h>
#include <orvexcom.h>
#include <uuids.h>

#include <gtest/gtest.h>

namespace {

struct CountingUnknown : IUnknown {
    LONG refs = 1;
    STDMETHODIMP QueryInterface(REFIID, void **ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

CMediaType videoType(LONG width)
{
    CMediaType mt(&MEDIATYPE_Video);
    mt.SetSubtype(&MEDIASUBTYPE_YV12);
    mt.SetFormatType(&FORMAT_VideoInfo);
    VIDEOINFOHEADER *vih = reinterpret_cast<VIDEOINFOHEADER *>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    ZeroMemory(vih, sizeof(*vih));
    vih->bmiHeader.biWidth = width;
    return mt;
}

class CMediaTypeTest : public testing::Test {
protected:
    void SetUp() override { m_blocks = OrvexTaskMemBlockCount(); }
    void TearDown() override { EXPECT_EQ(m_blocks, OrvexTaskMemBlockCount()) << "a format block leaked"; }
    LONG m_blocks = 0;
};

TEST_F(CMediaTypeTest, EmptyTypeHasFixedOneByteSamples)
{
    CMediaType mt;
    EXPECT_FALSE(mt.IsValid());
    EXPECT_TRUE(mt.IsFixedSize());
    EXPECT_EQ(1u, mt.GetSampleSize());
    EXPECT_FALSE(mt.IsTemporalCompressed());
    EXPECT_EQ(nullptr, mt.Format());
    EXPECT_EQ(0u, mt.FormatLength());
    EXPECT_TRUE(mt.IsPartiallySpecified());
    mt.SetSampleSize(0);
    EXPECT_FALSE(mt.IsFixedSize());
    EXPECT_EQ(0u, mt.GetSampleSize()) << "variable-size samples report 0";
}

TEST_F(CMediaTypeTest, CopiesOwnTheirFormatBlock)
{
    CMediaType a = videoType(1920);
    CMediaType b(a);
    EXPECT_NE(a.Format(), b.Format());
    EXPECT_TRUE(a == b);
    reinterpret_cast<VIDEOINFOHEADER *>(b.Format())->bmiHeader.biWidth = 1280;
    EXPECT_TRUE(a != b) << "the format block takes part in the comparison";
    b = a;
    EXPECT_TRUE(a == b);
    const CMediaType &same = b;
    b = same; // self-assignment keeps the block
    EXPECT_EQ(sizeof(VIDEOINFOHEADER), b.FormatLength());
    CMediaType c;
    c = static_cast<const AM_MEDIA_TYPE &>(a);
    EXPECT_TRUE(c == a);
    EXPECT_FALSE(c.IsPartiallySpecified());
}

TEST_F(CMediaTypeTest, FormatBuffersGrowShrinkAndKeepContents)
{
    CMediaType mt;
    BYTE data[4] = {1, 2, 3, 4};
    ASSERT_TRUE(mt.SetFormat(data, 4));
    BYTE *p = mt.ReallocFormatBuffer(8);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(3, p[2]);
    EXPECT_EQ(8u, mt.FormatLength());
    EXPECT_EQ(p, mt.AllocFormatBuffer(8)) << "the same length keeps the block";
    EXPECT_EQ(nullptr, mt.AllocFormatBuffer(0));
    EXPECT_EQ(0u, mt.FormatLength());
    EXPECT_TRUE(mt.SetFormat(nullptr, 0));
    EXPECT_FALSE(mt.SetFormat(nullptr, 4));
    mt.SetFormat(data, 4);
    mt.ResetFormatBuffer();
    EXPECT_EQ(nullptr, mt.Format());
}

TEST_F(CMediaTypeTest, MatchesPartialTypesFieldByField)
{
    CMediaType full = videoType(640);
    CMediaType partial;
    partial.InitMediaType();
    EXPECT_TRUE(full.MatchesPartial(&partial)) << "an empty type matches everything";
    partial.SetType(&MEDIATYPE_Video);
    EXPECT_TRUE(full.MatchesPartial(&partial));
    partial.SetSubtype(&MEDIASUBTYPE_RGB32);
    EXPECT_FALSE(full.MatchesPartial(&partial));
    partial.SetSubtype(&MEDIASUBTYPE_YV12);
    partial.SetFormatType(&FORMAT_VideoInfo);
    EXPECT_FALSE(full.MatchesPartial(&partial)) << "a format type asks for the same block";
    partial = full;
    EXPECT_TRUE(full.MatchesPartial(&partial));
    reinterpret_cast<VIDEOINFOHEADER *>(partial.Format())->bmiHeader.biWidth = 641;
    EXPECT_FALSE(full.MatchesPartial(&partial));
}

TEST_F(CMediaTypeTest, TaskMemoryTypesHoldTheirUnknown)
{
    CountingUnknown unk;
    CMediaType mt = videoType(320);
    mt.pUnk = &unk;
    unk.AddRef();
    AM_MEDIA_TYPE *copy = CreateMediaType(&mt);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(3, unk.refs);
    EXPECT_NE(mt.pbFormat, copy->pbFormat);
    DeleteMediaType(copy);
    EXPECT_EQ(2, unk.refs);
    FreeMediaType(mt);
    EXPECT_EQ(1, unk.refs);
    EXPECT_EQ(nullptr, mt.pUnk);
    DeleteMediaType(nullptr);
}

TEST_F(CMediaTypeTest, FormatLengthWithoutBlockIsRefused)
{
    AM_MEDIA_TYPE bad{};
    bad.majortype = MEDIATYPE_Video;
    bad.cbFormat = 88;
    bad.pbFormat = nullptr;
    AM_MEDIA_TYPE out;
    EXPECT_EQ(E_INVALIDARG, CopyMediaType(&out, &bad));
    EXPECT_EQ(nullptr, out.pbFormat);
    EXPECT_EQ(0u, out.cbFormat);
    EXPECT_EQ(nullptr, CreateMediaType(&bad));
    CMediaType mt;
    EXPECT_EQ(E_INVALIDARG, mt.Set(bad));
    EXPECT_EQ(E_POINTER, CopyMediaType(&out, nullptr));
}

TEST_F(CMediaTypeTest, EmptyFormatIsNeverShared)
{
    AM_MEDIA_TYPE src{};
    BYTE stray = 0;
    src.pbFormat = &stray; // a length of 0 means there is no block
    AM_MEDIA_TYPE out;
    ASSERT_EQ(S_OK, CopyMediaType(&out, &src));
    EXPECT_EQ(nullptr, out.pbFormat);
}

TEST_F(CMediaTypeTest, AudioTypeFromWaveFormat)
{
    WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 2, 48000, 192000, 4, 16, 22};
    CMediaType mt;
    ASSERT_EQ(S_OK, CreateAudioMediaType(&wfx, &mt, TRUE));
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Audio, mt.majortype));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_PCM, mt.subtype));
    EXPECT_TRUE(IsEqualGUID(FORMAT_WaveFormatEx, mt.formattype));
    EXPECT_EQ(4u, mt.GetSampleSize());
    ASSERT_EQ(sizeof(WAVEFORMATEX), mt.FormatLength());
    EXPECT_EQ(0, reinterpret_cast<WAVEFORMATEX *>(mt.Format())->cbSize) << "PCM carries no extra bytes";
    EXPECT_EQ(48000u, reinterpret_cast<WAVEFORMATEX *>(mt.Format())->nSamplesPerSec);
}

} // namespace
