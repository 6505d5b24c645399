#include "AVCDecoderInstance.h"

#include "NalUnit.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <thread>

namespace OrvexIPP::Detail {

namespace {

// More frame threads than this do not pay off for libavcodec's H.264 decoder.
constexpr int kMaxThreads = 16;
// Bounds the loops that wait for libavcodec to move on: it refuses input only
// while frames wait, and reports each failed frame once.
constexpr int kMaxRounds = 64;

} // namespace

AVCDecoderInstance::~AVCDecoderInstance()
{
    Close();
}

int AVCDecoderInstance::ThreadCount()
{
    const unsigned processors = std::thread::hardware_concurrency();
    if (processors < 1) return 1;
    return processors > unsigned(kMaxThreads) ? kMaxThreads : static_cast<int>(processors);
}

int32_t AVCDecoderInstance::Initialize(AbstractReader *reader, AbstractWriter *writer)
{
    Close();
    if (!reader || !writer) return AVCD_RESULT_FAILURE;
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) return AVCD_RESULT_FAILURE;
    m_codec = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_codec || !m_frame || !m_packet) {
        Close();
        return AVCD_RESULT_FAILURE;
    }
    m_codec->thread_count = ThreadCount();
    m_codec->thread_type = FF_THREAD_FRAME;
    // Cropping is applied while writing rows, exactly, whatever the alignment.
    m_codec->apply_cropping = 0;
    // After a reset in the middle of a group of pictures, keep one picture
    // per access unit (concealed) rather than none until the next IDR.
    m_codec->flags |= AV_CODEC_FLAG_OUTPUT_CORRUPT;
    ApplyDeblockingSkip();
    if (avcodec_open2(m_codec, codec, nullptr) < 0) {
        Close();
        return AVCD_RESULT_FAILURE;
    }
    m_reader = reader;
    m_writer = writer;
    return AVCD_RESULT_SUCCESS;
}

void AVCDecoderInstance::Close()
{
    avcodec_free_context(&m_codec);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    m_pictures.Release();
    m_units.Clear();
    m_splitter.Restart();
    m_sets.Clear();
    m_store.Clear();
    m_endOfStreamRead = false;
    m_reader = nullptr;
    m_writer = nullptr;
}

void AVCDecoderInstance::ApplyDeblockingSkip()
{
    if (!m_codec) return;
    switch (m_deblockingSkip) {
    case AVCD_DEBLOCKING_SKIP_ALL:
        m_codec->skip_loop_filter = AVDISCARD_ALL;
        break;
    case AVCD_DEBLOCKING_SKIP_NON_REFERENCE:
        m_codec->skip_loop_filter = AVDISCARD_NONREF;
        break;
    default:
        m_codec->skip_loop_filter = AVDISCARD_DEFAULT;
        break;
    }
}

int32_t AVCDecoderInstance::SetParam(int32_t id, int64_t value)
{
    switch (id) {
    case AVCD_PARAM_OUTPUT_FORMAT:
        if (!PictureWriter::IsOutputFormat(value)) return AVCD_RESULT_FAILURE;
        m_pictures.SetOutputFormat(static_cast<int32_t>(value));
        return AVCD_RESULT_SUCCESS;
    case AVCD_PARAM_DEBLOCKING_SKIP:
        if (value < AVCD_DEBLOCKING_SKIP_NONE || value > AVCD_DEBLOCKING_SKIP_NON_REFERENCE) return AVCD_RESULT_FAILURE;
        m_deblockingSkip = static_cast<int32_t>(value);
        ApplyDeblockingSkip();
        return AVCD_RESULT_SUCCESS;
    case AVCD_PARAM_OUTPUT_SCALING:
        if (value < AVCD_OUTPUT_SCALING_ORIGINAL || value > AVCD_OUTPUT_SCALING_QUARTER) return AVCD_RESULT_FAILURE;
        m_pictures.SetScaling(static_cast<int32_t>(value));
        return AVCD_RESULT_SUCCESS;
    default:
        return AVCD_RESULT_FAILURE;
    }
}

AVCDecoderInstance::ReadResult AVCDecoderInstance::ReadUnit()
{
    ReadResult result;
    uint32_t size = 0;
    int32_t status = 0;
    if (m_reader->GetDataSize(&size, &status) != 4) {
        result.outcome = status == AVCD_READER_STATUS_END_OF_STREAM ? ReadOutcome::EndOfStream : ReadOutcome::NoInput;
        return result;
    }
    uint8_t *nal = m_units.AppendUnit(size);
    if (!nal) {
        // Too large to hold, or no memory: the unit stays unread.
        result.outcome = ReadOutcome::Failed;
        return result;
    }
    result.outcome = ReadOutcome::Unit;
    const int32_t copied = m_reader->ReadData(nal, size, 0);
    if (copied < 0 || static_cast<uint32_t>(copied) != size) {
        m_units.DropLastUnit();
        result.unit.role = UnitRole::Corrupt;
        return result;
    }
    result.unit = m_splitter.Classify(nal, size, m_sets);
    if (result.unit.role == UnitRole::Skip || result.unit.role == UnitRole::Corrupt)
        m_units.DropLastUnit();
    else if (result.unit.type == kNalSps)
        m_store.KeepSps(result.unit.parameterSetId, nal, size);
    else if (result.unit.type == kNalPps)
        m_store.KeepPps(result.unit.parameterSetId, nal, size);
    return result;
}

int AVCDecoderInstance::TakeFrames(bool throughErrors)
{
    int pictures = 0;
    for (int failures = 0;;) {
        const int ret = avcodec_receive_frame(m_codec, m_frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return pictures;
        if (ret < 0) {
            // A frame that failed; while draining, the frames behind it are
            // still taken, each call moving on by one.
            if (!throughErrors || ++failures == kMaxRounds) return -1;
            continue;
        }
        // A frame that cannot be converted is left out; the rest go on.
        if (m_pictures.Write(m_frame, m_writer)) ++pictures;
        av_frame_unref(m_frame);
    }
}

int AVCDecoderInstance::Send(AVPacket *packet)
{
    int pictures = 0;
    for (int round = 0;; ++round) {
        const int ret = avcodec_send_packet(m_codec, packet);
        if (ret != AVERROR(EAGAIN)) {
            av_packet_unref(packet);
            if (ret < 0) return -1;
            break;
        }
        // Frames wait to be taken before more data goes in.
        const int taken = TakeFrames(false);
        if (taken < 0 || round == kMaxRounds) {
            av_packet_unref(packet);
            return -1;
        }
        pictures += taken;
    }
    const int taken = TakeFrames(false);
    return taken < 0 ? -1 : pictures + taken;
}

int AVCDecoderInstance::SubmitAccessUnit(bool keepLastUnit)
{
    const bool taken = keepLastUnit ? m_units.TakeAllButLastUnit(m_packet) : m_units.TakeAll(m_packet);
    if (!keepLastUnit) m_splitter.Restart();
    if (!taken) return keepLastUnit ? -1 : 0;
    ApplyDeblockingSkip();
    return Send(m_packet);
}

int AVCDecoderInstance::Drain()
{
    int pictures = 0;
    for (int round = 0; round < kMaxRounds; ++round) {
        // Accepted, already draining, or an error of an earlier frame
        // reported on the way: the drain goes on in each case.
        if (avcodec_send_packet(m_codec, nullptr) != AVERROR(EAGAIN)) break;
        const int taken = TakeFrames(true);
        if (taken > 0) pictures += taken;
    }
    const int taken = TakeFrames(true);
    return taken > 0 ? pictures + taken : pictures;
}

void AVCDecoderInstance::DropDecodingState()
{
    if (m_codec) avcodec_flush_buffers(m_codec);
    m_units.Clear();
    m_splitter.Restart();
    // The decoder's parameter sets survive a flush, but a flush may come
    // before it ever saw the ones read so far: give them again.
    m_store.AppendTo(m_units);
}

int32_t AVCDecoderInstance::FinishStream()
{
    m_endOfStreamRead = false;
    if (m_splitter.HasPicture()) SubmitAccessUnit(false);
    Drain();
    DropDecodingState();
    // Always reported, even after a failure: the end-of-stream status has been
    // taken from the reader and will not come again.
    return AVCD_DECODE_END_OF_STREAM;
}

int32_t AVCDecoderInstance::Fail(bool submitGathered)
{
    if (submitGathered && m_splitter.HasPicture()) SubmitAccessUnit(false);
    Drain();
    DropDecodingState();
    return AVCD_DECODE_ERROR;
}

int32_t AVCDecoderInstance::Decode()
{
    if (!m_codec) return AVCD_DECODE_ERROR;
    if (m_endOfStreamRead) return FinishStream();
    for (;;) {
        const ReadResult read = ReadUnit();
        switch (read.outcome) {
        case ReadOutcome::EndOfStream:
            return FinishStream();
        case ReadOutcome::NoInput:
            return AVCD_DECODE_NO_PICTURE;
        case ReadOutcome::Failed:
            return Fail(true);
        case ReadOutcome::Unit:
            break;
        }
        if (read.unit.role == UnitRole::Corrupt) return Fail(true);
        if (read.unit.role != UnitRole::StartsNext) continue;
        const int pictures = SubmitAccessUnit(true);
        if (pictures < 0) return Fail(false);
        return pictures > 0 ? AVCD_DECODE_PICTURE : AVCD_DECODE_NO_PICTURE;
    }
}

int32_t AVCDecoderInstance::DecodeHeader()
{
    if (!m_codec) return AVCD_RESULT_FAILURE;
    for (;;) {
        const ReadResult read = ReadUnit();
        if (read.outcome == ReadOutcome::EndOfStream) {
            // Taken from the reader now; the next Decode finishes the stream.
            m_endOfStreamRead = true;
            return AVCD_RESULT_FAILURE;
        }
        if (read.outcome != ReadOutcome::Unit || read.unit.role == UnitRole::Corrupt) return AVCD_RESULT_FAILURE;
        if (read.unit.role == UnitRole::Skip) continue;
        // Parameter sets in the middle of a stream end the picture before them.
        if (read.unit.role == UnitRole::StartsNext && SubmitAccessUnit(true) < 0) Fail(false);
        if (read.unit.type == kNalPps) {
            const PictureParameterSet *pps = m_sets.Pps(read.unit.parameterSetId);
            return pps && m_sets.Sps(pps->seq_parameter_set_id) ? AVCD_RESULT_SUCCESS : AVCD_RESULT_FAILURE;
        }
        if (IsSliceStart(read.unit.type)) return AVCD_RESULT_FAILURE; // a picture before its parameter sets
    }
}

void AVCDecoderInstance::Reset(int32_t mode)
{
    (void)mode;
    m_endOfStreamRead = false;
    DropDecodingState();
}

} // namespace OrvexIPP::Detail
