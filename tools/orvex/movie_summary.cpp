#include "movie_summary.h"

#include "movie_loader.h"

#include "MovFileParserFilter/MovParserMediaTypes.h"
#include "MyH264/MyAVCConfiguration.h"
#include "MyH264/MyVideoSignalInfo.h"

#include <amvideo.h>
#include <mmreg.h>

#include <cstring>

namespace orvex {

namespace {

std::string fourccText(DWORD fourcc)
{
    std::string text;
    for (int shift = 0; shift < 32; shift += 8)
        text += char((fourcc >> shift) & 0xFF);
    return text;
}

VideoSummary summarizeVideo(const std::string &pin, const CVideoMediaStreamInfo &info)
{
    VideoSummary v;
    v.pin = pin;
    const CMediaType &type = info.GetMediaType();
    if (type.FormatLength() >= sizeof(VIDEOINFOHEADER)) {
        VIDEOINFOHEADER vih;
        std::memcpy(&vih, type.Format(), sizeof(vih));
        v.subtype = fourccText(vih.bmiHeader.biCompression);
        v.width = vih.bmiHeader.biWidth;
        v.height = vih.bmiHeader.biHeight;
        v.avgTimePerFrame = vih.AvgTimePerFrame;
        v.bitRate = vih.dwBitRate;
    }
    v.timeScale = info.GetMediaTimeScale();
    v.duration = info.GetMediaDuration();
    v.sampleCount = info.GetSampleCount();
    v.entries = info.GetEntryCount();
    v.durationRt = info.GetDuration();

    const CMyAVCConfiguration *avc = GetAVCConfiguration(&info);
    const CMyH264SPS *sps = avc ? &avc->GetSPS() : nullptr;
    if (sps) {
        v.profile = sps->m_profile_idc;
        v.level = sps->m_level_idc;
        RECT crop{};
        sps->GetPictureRect(nullptr, nullptr, nullptr, &crop);
        v.displayWidth = crop.right - crop.left;
        v.displayHeight = crop.bottom - crop.top;
    }
    const CMyVideoSignalInfo signal = GetVideoSignalInfo(sps, info.GetImageDescription());
    v.videoFormat = signal.m_video_format;
    v.fullRange = signal.m_video_full_range_flag;
    v.colourPrimaries = signal.m_colour_primaries;
    v.transferCharacteristics = signal.m_transfer_characteristics;
    v.matrixCoefficients = signal.m_matrix_coefficients;
    return v;
}

SoundSummary summarizeSound(const std::string &pin, const CSoundMediaStreamInfo &info)
{
    SoundSummary s;
    s.pin = pin;
    s.entries = info.GetEntryCount();
    s.durationRt = info.GetDuration();
    const CMediaType &type = info.GetMediaType();
    if (*type.Subtype() == MEDIASUBTYPE_MovParserAAC) {
        s.subtype = "AAC";
        MovParserAACConfigHeader header{};
        if (type.FormatLength() >= sizeof(header)) std::memcpy(&header, type.Format(), sizeof(header));
        s.channels = header.nChannels;
        s.sampleRate = header.dwSampleRate >> 16;
        s.bitsPerSample = header.wBitsPerSample;
        // AAC has no fixed block; the average rate is the index's.
        if (s.durationRt > 0)
            s.avgBytesPerSec =
                uint32_t(info.GetTotalBytes() * uint64_t(kReferenceTimeUnitsPerSecond) / uint64_t(s.durationRt));
    } else {
        s.subtype = "PCM";
        WAVEFORMATEX wfx{};
        if (type.FormatLength() >= sizeof(wfx)) std::memcpy(&wfx, type.Format(), sizeof(wfx));
        s.channels = wfx.nChannels;
        s.sampleRate = wfx.nSamplesPerSec;
        s.bitsPerSample = wfx.wBitsPerSample;
        s.blockAlign = wfx.nBlockAlign;
        s.avgBytesPerSec = wfx.nAvgBytesPerSec;
    }
    return s;
}

} // namespace

MovieSummary summarize(const std::string &file, const CMyMovieStreams &streams)
{
    return summarize(file, streams.camera, narrow(streams.GetVideoPinName()), *streams.video,
                     narrow(streams.GetSoundPinName()), streams.sound.get());
}

MovieSummary summarize(const std::string &file, bool camera, const std::string &videoPin,
                       const CVideoMediaStreamInfo &video, const std::string &soundPin,
                       const CSoundMediaStreamInfo *sound)
{
    MovieSummary summary;
    summary.file = file;
    summary.layout = camera ? "camera" : "plain";
    summary.video = summarizeVideo(videoPin, video);
    if (sound) summary.sound = summarizeSound(soundPin, *sound);
    return summary;
}

} // namespace orvex
