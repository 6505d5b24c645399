// The media types of the stream infos (H.264 video, PCM sound, AAC sound with
// its 'esds' found directly or inside 'wave' atoms): each row the media type as
// one line, or what building it did.
#include "MovFileParserFilter/AACSoundMediaStreamInfo.h"
#include "MovFileParserFilter/H264MediaStreamInfo.h"
#include "MovFileParserFilter/MovParserMediaTypes.h"
#include "MovFileParserFilter/MyAACDescription.h"
#include "MovFileParserFilter/OrvexCameraH264MediaStreamInfo.h"
#include "MovFileParserFilter/OrvexCameraPCMSoundMediaStreamInfo.h"
#include "MovFileParserFilter/PCMSoundMediaStreamInfo.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/debug_capture.h"

#include <amvideo.h>
#include <mmreg.h>
#include <uuids.h>

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace orvex::test {
namespace {

std::string guidName(const GUID &guid)
{
    const GUID *known[] = {&GUID_NULL,         &MEDIATYPE_Video,     &MEDIATYPE_Audio,
                           &MEDIASUBTYPE_AVC1, &MEDIASUBTYPE_PCM,    &MEDIASUBTYPE_MovParserAAC,
                           &FORMAT_VideoInfo,  &FORMAT_WaveFormatEx, &FORMAT_MovParserAACConfig};
    const char *names[] = {"null", "Video", "Audio", "AVC1", "PCM", "AAC", "VideoInfo", "WaveFormatEx", "AACConfig"};
    for (size_t i = 0; i < std::size(known); ++i)
        if (guid == *known[i]) return names[i];
    return "?";
}

std::string typeSummary(const CMediaType &type)
{
    std::ostringstream out;
    out << guidName(*type.Type()) << " " << guidName(*type.Subtype()) << " " << guidName(*type.FormatType()) << " fixed"
        << type.IsFixedSize() << " sample" << type.lSampleSize << " temporal" << type.IsTemporalCompressed() << " len"
        << type.FormatLength();
    if (*type.FormatType() == FORMAT_VideoInfo && type.FormatLength() == sizeof(VIDEOINFOHEADER)) {
        VIDEOINFOHEADER v;
        std::memcpy(&v, type.Format(), sizeof(v));
        const BITMAPINFOHEADER &b = v.bmiHeader;
        out << ": avg" << v.AvgTimePerFrame << " rate" << v.dwBitRate << " err" << v.dwBitErrorRate << " rect"
            << v.rcSource.right + v.rcTarget.bottom << " "
            << std::string(reinterpret_cast<const char *>(&b.biCompression), 4) << " " << b.biWidth << "x" << b.biHeight
            << " size" << b.biSize << " planes" << b.biPlanes << " bits" << b.biBitCount << " image" << b.biSizeImage;
    } else if (*type.FormatType() == FORMAT_WaveFormatEx && type.FormatLength() == sizeof(WAVEFORMATEX)) {
        WAVEFORMATEX w;
        std::memcpy(&w, type.Format(), sizeof(w));
        out << ": tag" << w.wFormatTag << " ch" << w.nChannels << " " << w.nSamplesPerSec << "Hz avg"
            << w.nAvgBytesPerSec << " align" << w.nBlockAlign << " bits" << w.wBitsPerSample << " cb" << w.cbSize;
    } else if (*type.FormatType() == FORMAT_MovParserAACConfig && type.FormatLength() >= 12) {
        MovParserAACConfigHeader h;
        std::memcpy(&h, type.Format(), sizeof(h));
        out << ": ch" << h.nChannels << " bits" << h.wBitsPerSample << " rate" << (h.dwSampleRate >> 16) << " cb"
            << h.cbConfig << " config" << int(type.Format()[12]) << ".." << int(type.Format()[type.FormatLength() - 1]);
    }
    return out.str();
}

using Build = std::function<std::string()>;

// The media type an info class builds for the track, or the refusal.
template <typename Info> Build type(const qt::TrackAtoms &track)
{
    return [track] {
        auto movie = movieFrom(movieAtomWith({track}));
        return answerOf([&] {
            if constexpr (std::is_constructible_v<Info, const CMyQTMedia *, ULONGLONG>) {
                return typeSummary(Info(mediaOf(movie), 0xFFFFFFFF).GetMediaType());
            } else {
                Info info;
                info.BuildMediaType(mediaOf(movie));
                return typeSummary(info.GetMediaType());
            }
        });
    };
}

template <typename Info> Build sound(Atom description)
{
    auto track = soundTrack("sowt", 1, 16, 8000, 100, "stts 100 1; stsc 1 100 1; stsz =1 #100; stco 100");
    track.sampleDescriptions = qt::stsd({std::move(description)});
    return type<Info>(track);
}
const auto pcm = sound<CPCMSoundMediaStreamInfo>;
const auto h264 = type<CH264MediaStreamInfo>, cameraH264 = type<COrvexCameraH264MediaStreamInfo>;
const auto aac = sound<CAACSoundMediaStreamInfo>;
// An 'esds' atom of 12 + n bytes: version and flags, then n descriptor bytes 0x40, 0x41 ...
Atom esds(size_t n)
{
    Bytes body(4, 0);
    for (size_t i = 0; i < n; ++i)
        body.push_back(uint8_t(0x40 + i));
    return Atom("esds", body);
}
Atom wave(std::vector<Atom> children, int depth = 1)
{
    Atom atom("wave", std::move(children));
    while (--depth > 0)
        atom = Atom("wave", std::vector<Atom>{atom});
    return atom;
}
Atom mp4a(std::vector<Atom> extensions)
{
    return qt::soundDescription("mp4a", 2, 16, 44100, 0, 0, std::move(extensions));
}

struct Row {
    const char *name;
    Build type;
    std::string expected;
};

class MediaType : public ::testing::TestWithParam<Row> {};

TEST_P(MediaType, IsBuiltOrRefused)
{
    DebugCapture capture;
    std::string traced;
    const std::string type = GetParam().type();
    for (const std::string &line : capture.messages())
        if (line.rfind("Size of", 0) == 0) traced += " {" + line + "}";
    EXPECT_EQ(type + traced, GetParam().expected);
}

const std::string kNotAAC = "text: Not AAC media";
const std::string kAvc1 = "Video AVC1 VideoInfo fixed0 sample1 temporal", kBitmap = " size40 planes1 bits24 image0";

INSTANTIATE_TEST_SUITE_P(
    Rows, MediaType,
    ::testing::Values(
        // 300 samples of 1000 bytes, 1001 units each at 30000: 10.01 seconds.
        Row{"H264FullHd", h264(videoTrack(30000, 300300, evenVideoTables(300, 1001, 1000, 100), 1920, 1080)),
            kAvc1 + "1 len88: avg333666 rate239760 err0 rect0 avc1 1920x1080" + kBitmap},
        Row{"VideoBaseClass", type<CVideoMediaStreamInfo>(videoTrack(600, 500, evenVideoTables(5, 100, 10, 100))),
            kAvc1 + "0 len88: avg1666666 rate480 err0 rect0 avc1 176x144" + kBitmap},
        // Zero duration and no samples: zero rates instead of a division.
        Row{"H264NoSamples", h264(videoTrack(600, 0, "stts; stsc 1 1 1; stsz; stco")),
            kAvc1 + "1 len88: avg0 rate0 err0 rect0 avc1 176x144" + kBitmap},
        Row{"CameraH264", cameraH264(videoTrack(15000, 30000, evenVideoTables(30, 1000, 10, 100) + "; stss 1 16")),
            kAvc1 + "1 len88: avg666666 rate1200 err0 rect0 avc1 176x144" + kBitmap},
        Row{"PCMStereo16", pcm(qt::soundDescription("sowt", 2, 16, 48000)),
            "Audio PCM WaveFormatEx fixed1 sample1 temporal0 len18: tag1 ch2 48000Hz avg192000 align4 bits16 cb0"},
        Row{"PCMVersion1", pcm(qt::soundDescription("sowt", 2, 16, 44100, 1, 6)),
            "Audio PCM WaveFormatEx fixed1 sample1 temporal0 len18: tag1 ch2 44100Hz avg264600 align6 bits24 cb0"},
        Row{"PCMNoChannels", pcm(qt::soundDescription("sowt", 0, 16, 8000)), "E23"},
        Row{"PCMBytesWrapToZero", pcm(qt::soundDescription("sowt", 2, 16, 8000, 1, 0x10000)), "E23"},
        Row{"PCMVersion2", pcm(qt::soundDescription("sowt", 2, 16, 48000, 2)), "B26"},
        Row{"CameraPCMAnyFormat", sound<COrvexCameraPCMSoundMediaStreamInfo>(qt::soundDescription("twos", 1, 16, 8000)),
            "Audio PCM WaveFormatEx fixed1 sample1 temporal0 len18: tag1 ch1 8000Hz avg16000 align2 bits16 cb0"},
        // 36 + 51 bytes: the 'esds' holds 39 descriptor bytes.
        Row{"AAC", aac(mp4a({esds(39)})),
            "Audio AAC AACConfig fixed0 sample1 temporal0 len51: ch2 bits16 rate44100 cb39 config64..102"},
        Row{"AACInsideWaveAfterFrma",
            aac(qt::soundDescription("mp4a", 2, 16, 44100, 1, 0,
                                     {wave({Atom("frma", Bytes{'m', 'p', '4', 'a'}), esds(20)})})),
            "Audio AAC AACConfig fixed0 sample1 temporal0 len32: ch2 bits16 rate44100 cb20 config64..83"},
        Row{"AACAfterAWaveWithoutOne", aac(mp4a({wave({Atom("frma", Bytes(4))}), esds(5)})),
            "Audio AAC AACConfig fixed0 sample1 temporal0 len17: ch2 bits16 rate44100 cb5 config64..68"},
        Row{"AACThreeWavesDeep", aac(mp4a({wave({esds(5)}, 3)})),
            "Audio AAC AACConfig fixed0 sample1 temporal0 len17: ch2 bits16 rate44100 cb5 config64..68"},
        Row{"AACFortyWavesDeep", aac(mp4a({wave({esds(5)}, 40)})), kNotAAC},
        Row{"AACOtherFormat", aac(qt::soundDescription("twos", 2, 16, 44100, 0, 0, {esds(5)})), kNotAAC},
        Row{"AACWithoutEsds", aac(mp4a({Atom("chan", Bytes(12))})), kNotAAC},
        // 34 bytes: two short of the fixed sound fields.
        Row{"AACShortDescription", aac(Atom("mp4a", Bytes(26, 0))),
            kNotAAC + " {Size of SampleDescriptions 34 < sizeof(SoundDescription). \n}"},
        // The walk over extension atoms ends inside the description.
        Row{"AACAtomLargerThanWhatRemains", aac(mp4a({Atom("junk", Bytes(8)).setSize(4000), esds(5)})), kNotAAC},
        Row{"AACAtomBelowAHeader", aac(mp4a({Atom("junk", Bytes(8)).setSize(4), esds(5)})), kNotAAC},
        Row{"AACEsdsWithoutVersion", aac(mp4a({Atom("esds", Bytes(2))})), kNotAAC},
        Row{"AACWaveLargerThanWhatRemains", aac(mp4a({wave({esds(5)}).setSize(200)})), kNotAAC}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace orvex::test
