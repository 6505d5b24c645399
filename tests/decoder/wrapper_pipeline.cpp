#include "wrapper_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace wrapper_test {

std::vector<uint8_t> Picture::I420(DWORD w, DWORD h) const
{
    const size_t ySize = size_t{width} * height;
    const size_t cSize = size_t{width / 2} * (height / 2);
    // Plane starts within the record: Y, then U and V in the format's order.
    const size_t uAt = format == 0 ? ySize : ySize + cSize;
    const size_t vAt = format == 0 ? ySize + cSize : ySize;
    const size_t yBytes = size_t{w} * h;
    const size_t cBytes = size_t{w / 2} * (h / 2);
    std::vector<uint8_t> out;
    if (pixels.size() < ySize + 2 * cSize || yBytes > ySize || cBytes > cSize) return out;
    out.insert(out.end(), pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(yBytes));
    out.insert(out.end(), pixels.begin() + static_cast<std::ptrdiff_t>(uAt),
               pixels.begin() + static_cast<std::ptrdiff_t>(uAt + cBytes));
    out.insert(out.end(), pixels.begin() + static_cast<std::ptrdiff_t>(vAt),
               pixels.begin() + static_cast<std::ptrdiff_t>(vAt + cBytes));
    return out;
}

std::vector<uint8_t> Picture::Packed(size_t bytes) const
{
    bytes = std::min(bytes, pixels.size());
    return std::vector<uint8_t>(pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(bytes));
}

DWORD DecodeThreshold()
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return std::max<DWORD>(2, info.dwNumberOfProcessors);
}

Pipeline::Pipeline(const MovieStream &stream, const PipelineSettings &settings) : m_stream(stream), m_settings(settings)
{
    if (m_settings.threshold == 0) m_settings.threshold = DecodeThreshold();
    const LONG buffers = m_settings.poolBuffers ? m_settings.poolBuffers : LONG(m_settings.threshold) + 8;
    m_pool = std::make_unique<SamplePool>(buffers, static_cast<LONG>(stream.LargestSample() + 64));

    m_decoder.ResetStreamInfo();
    EXPECT_EQ(m_decoder.SetParameterSets(stream.sps.data(), static_cast<WORD>(stream.sps.size()), stream.pps.data(),
                                         static_cast<WORD>(stream.pps.size()), stream.description.get()),
              S_OK);
    CMediaType mt(&MEDIATYPE_Video);
    mt.SetSubtype(m_settings.subtype);
    EXPECT_EQ(m_decoder.SetOutputFormat(&mt), S_OK);
    // As StartStreaming: events reset, parameters, instance, output thread.
    m_input.ResetEvents();
    m_output.ResetEvents();
    EXPECT_EQ(m_decoder.SetDeblockingSkipMode(m_settings.deblockingSkip), S_OK);
    EXPECT_EQ(m_decoder.SetOutputScalingMode(m_settings.scaling), S_OK);
    EXPECT_TRUE(m_decoder.CreateDecoder());
    if (m_settings.outputThread) m_thread = std::thread(&Pipeline::OutputThread, this);
}

Pipeline::~Pipeline()
{
    // As StopStreaming: wake and end the output thread, free the decoder,
    // empty both queues.
    m_output.Abort();
    if (m_thread.joinable()) m_thread.join();
    m_decoder.FreeDecoder();
    m_input.Clear();
    m_input.ResetEvents();
    m_output.ClearAll();
    m_output.ResetEvents();
}

void Pipeline::OutputThread()
{
    for (;;) {
        std::unique_ptr<CMyOutputData> record = m_output.WaitPop();
        if (!record) return; // aborted
        std::lock_guard<std::mutex> lock(m_lock);
        if (record->GetKind() == CMyOutputData::kEndOfStream) {
            ++m_endRecords;
            m_seen.notify_all();
            continue;
        }
        if (record->GetKind() != CMyOutputData::kPicture) continue;
        Picture picture;
        picture.format = record->GetFormat();
        picture.width = record->GetWidth();
        picture.height = record->GetHeight();
        const CSimpleBuffer &pixels = record->GetPixels();
        picture.pixels.assign(pixels.GetData(), pixels.GetData() + pixels.GetSize());
        if (auto *yuv = dynamic_cast<CMyYUVBuffer *>(record.get())) {
            picture.written[0] = yuv->GetYWritten();
            picture.written[1] = yuv->GetUWritten();
            picture.written[2] = yuv->GetVWritten();
        } else if (auto *rgb = dynamic_cast<CMyRGBBuffer *>(record.get())) {
            picture.written[0] = rgb->GetBytesWritten();
        }
        REFERENCE_TIME start = 0, stop = 0;
        if (record->GetTimeInfo().GetTime(&start, &stop)) picture.start = start;
        m_pictures.push_back(std::move(picture));
    }
}

LONG Pipeline::SendParameterSets()
{
    SamplePtr sps = m_pool->Make(LengthPrefixed({m_stream.sps}), kSpsStreamId);
    SamplePtr pps = m_pool->Make(LengthPrefixed({m_stream.pps}), kPpsStreamId);
    EXPECT_EQ(m_input.PushSample(sps.get()), S_OK);
    EXPECT_EQ(m_input.PushSample(pps.get()), S_OK);
    return m_decoder.DecodeHeader();
}

void Pipeline::Receive(const SampleFields &fields)
{
    SamplePtr sample = m_pool->Make(fields);
    ASSERT_TRUE(sample);
    // Media samples carry their times to the pictures they give.
    EXPECT_EQ(
        m_input.PushSample(sample.get(), fields.streamId == 0 ? CSampleTimeInfo::FromSample(sample.get()) : nullptr),
        S_OK);
    if (m_input.GetCount() >= m_settings.threshold) m_stepResults.push_back(m_decoder.DecodeFrame());
}

void Pipeline::EndOfStream()
{
    EXPECT_EQ(m_input.PushEndOfStream(), S_OK);
    // Every step moves on by at least one unit or record, so the marker is
    // reached within a bounded number of steps.
    for (size_t guard = 0; guard < 100000; ++guard) {
        const LONG result = m_decoder.DecodeFrame();
        m_stepResults.push_back(result);
        if (result == 2) return;
    }
    ADD_FAILURE() << "the end of the stream was never reached";
}

void Pipeline::WaitForEnd()
{
    // The end-of-stream record comes after every picture decoded before it.
    // The limit only keeps a broken build from hanging the test run.
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_seen.wait_for(lock, std::chrono::minutes(2), [this] { return m_endRecords > 0; }))
        ADD_FAILURE() << "the output thread never saw the end of the stream";
}

void Pipeline::Play()
{
    std::vector<std::vector<uint8_t>> bytes;
    for (const MovieSample &sample : m_stream.samples)
        bytes.push_back(sample.bytes);
    Play(bytes);
}

void Pipeline::Play(const std::vector<std::vector<uint8_t>> &sampleBytes)
{
    EXPECT_EQ(SendParameterSets(), 1);
    for (size_t i = 0; i < sampleBytes.size(); ++i) {
        SampleFields fields;
        fields.bytes = sampleBytes[i];
        if (i < m_stream.samples.size()) {
            fields.start = m_stream.samples[i].start;
            fields.stop = m_stream.samples[i].stop;
        }
        Receive(fields);
    }
    EndOfStream();
    WaitForEnd();
}

size_t Pipeline::Count(LONG result) const
{
    return static_cast<size_t>(std::count(m_stepResults.begin(), m_stepResults.end(), result));
}

} // namespace wrapper_test
