// The decoder behind the library's exports: access units gathered from the
// reader, decoded by libavcodec's H.264 decoder with frame threads, pictures
// handed to the writer.
#ifndef ORVEX_DECLIB_AVC_DECODER_INSTANCE_H
#define ORVEX_DECLIB_AVC_DECODER_INSTANCE_H

#include "OrvexIPPH264DecLib.h"

#include "AccessUnitBuffer.h"
#include "AccessUnitSplitter.h"
#include "ParameterSetStore.h"
#include "ParameterSets.h"
#include "PictureWriter.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace OrvexIPP::Detail {

class AVCDecoderInstance final : public AVCDecoder {
public:
    AVCDecoderInstance() = default;
    ~AVCDecoderInstance();

    int32_t Initialize(AbstractReader *reader, AbstractWriter *writer) override;
    void Close() override;
    int32_t DecodeHeader() override;
    int32_t Decode() override;
    int32_t SetParam(int32_t id, int64_t value) override;
    void Reset(int32_t mode) override;

    // Frame threads a decoder uses: one per processor.
    static int ThreadCount();

private:
    enum class ReadOutcome { Unit, EndOfStream, NoInput, Failed };
    struct ReadResult {
        ReadOutcome outcome = ReadOutcome::NoInput;
        UnitInfo unit;
    };

    ReadResult ReadUnit();
    // Sends the gathered access unit (all units, or all but the last one
    // read) and writes the pictures that come out. Returns the number of
    // pictures, or -1 when the decoder refuses the data.
    int SubmitAccessUnit(bool keepLastUnit);
    int Send(AVPacket *packet);
    // Writes the frames the decoder has ready; -1 when one failed (unless
    // throughErrors, which goes on past failed frames).
    int TakeFrames(bool throughErrors);
    // Writes out what the decoder holds and makes it ready for new data.
    int Drain();
    int32_t FinishStream();
    int32_t Fail(bool submitGathered);
    void DropDecodingState();
    void ApplyDeblockingSkip();

    AbstractReader *m_reader = nullptr;
    AbstractWriter *m_writer = nullptr;
    AVCodecContext *m_codec = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;

    int32_t m_deblockingSkip = AVCD_DEBLOCKING_SKIP_NONE;
    bool m_endOfStreamRead = false;

    ParameterSetTable m_sets;
    ParameterSetStore m_store;
    AccessUnitSplitter m_splitter;
    AccessUnitBuffer m_units;
    PictureWriter m_pictures;
};

} // namespace OrvexIPP::Detail

#endif
