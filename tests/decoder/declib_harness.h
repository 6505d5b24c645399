// Drives the decoder library the way the decode filter and its decoder
// wrapper do: samples are queued as records of NAL units, a reader hands them
// out unit by unit, a decode step runs once enough records wait, and the
// writer's pictures are collected and matched against the ffmpeg program's.
// The benchmark loads its movie with LoadAnnexB.
#ifndef ORVEX_TESTS_DECODER_DECLIB_HARNESS_H
#define ORVEX_TESTS_DECODER_DECLIB_HARNESS_H

#include "OrvexIPPH264DecLib.h"
#include "support/ffmpeg_reference.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace declib_test {

using Nal = std::vector<uint8_t>;
using Sample = std::vector<Nal>;

// A stream of tests/data/decoder as a movie holds it: its first SPS and PPS
// apart, then one sample of NAL units per picture.
struct AnnexBStream {
    Nal sps;
    Nal pps;
    std::vector<Sample> samples;
};

AnnexBStream LoadStream(const std::string &name); // of tests/data/decoder
// Any Annex B file, grouped the same way.
AnnexBStream LoadAnnexB(const std::string &path);

// One unit of a record; the size the reader announces may be made to differ
// from the bytes it holds.
struct Unit {
    Nal bytes;
    std::optional<uint32_t> announcedSize;
};

struct Record {
    bool endOfStream = false;
    std::vector<Unit> units;
};

Record MakeRecord(const Sample &sample);

// The reader side of the decoder wrapper over a queue of records. Where the
// wrapper would block (nothing queued), this reader notes an over-read and
// answers "no more input", as the wrapper does once its queue is aborted.
class QueueReader : public OrvexIPP::AbstractReader {
public:
    void Push(Record record) { m_queue.push_back(std::move(record)); }
    void PushEndOfStream() { m_queue.push_back(Record{true, {}}); }
    size_t QueuedRecords() const { return m_queue.size(); }
    // The wrapper drops the record it holds after an error, a drained end of
    // stream and a flush.
    void DropHeld() { m_held.reset(); }
    void Clear()
    {
        m_queue.clear();
        m_held.reset();
    }
    bool OverRead() const { return m_overRead; }
    size_t GetDataSizeCalls() const { return m_getDataSizeCalls; }

    int32_t GetDataSize(uint32_t *size, int32_t *status) override;
    int32_t ReadData(uint8_t *buffer, uint32_t size, int32_t flags) override;

private:
    std::deque<Record> m_queue;
    std::optional<Record> m_held;
    size_t m_next = 0;
    bool m_overRead = false;
    size_t m_getDataSizeCalls = 0;
};

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> y{}, cb{}, cr{}; // planar output
    std::vector<uint8_t> packed{};        // RGB output
    uint32_t rowBytes = 0;

    std::vector<uint8_t> I420() const;
};

// The writer side: collects pictures and checks the order of the calls.
class PictureSink : public OrvexIPP::AbstractWriter {
public:
    explicit PictureSink(bool packed) : m_packed(packed) {}

    int32_t WriteData(const uint8_t *data, uint32_t size) override;
    int32_t SetStatus(const OrvexIPP::WriterStatus *info) override;

    const std::vector<Picture> &Pictures() const { return m_pictures; }
    const std::vector<std::string> &Errors() const { return m_errors; }

private:
    bool m_packed;
    uint32_t m_state = 0; // last status; 0 between pictures
    std::optional<Picture> m_current;
    std::vector<Picture> m_pictures;
    std::vector<std::string> m_errors;
};

struct DecoderDeleter {
    void operator()(OrvexIPP::AVCDecoder *decoder) const
    {
        if (decoder) {
            decoder->Close();
            FreeAVCDecInstance(decoder);
        }
    }
};
using DecoderPtr = std::unique_ptr<OrvexIPP::AVCDecoder, DecoderDeleter>;

struct Settings {
    int32_t format = AVCD_PARAM_OUTPUT_FORMAT_ID_I420;
    int32_t scaling = AVCD_OUTPUT_SCALING_ORIGINAL;
    // Records that must wait before a decode step runs (the filter uses the
    // larger of 2 and the number of processors).
    size_t threshold = 2;
};

// A decoder with its reader and writer, driven like the decode filter.
class Harness {
public:
    explicit Harness(const Settings &settings = Settings{});

    OrvexIPP::AVCDecoder &Decoder() { return *m_decoder; }
    bool Ready() const { return m_ready; }

    // Queues the SPS and the PPS as two records and reads them.
    int32_t SendHeader(const Nal &sps, const Nal &pps);
    // Queues a record; runs a decode step when enough records wait.
    void Receive(Record record);
    // Queues the end-of-stream marker and steps until the decoder reports it.
    void EndOfStream();
    // One decode step with the wrapper's handling of its result.
    int32_t Step();
    // The wrapper's flush: reset the decoder and drop what is queued.
    void Flush();

    // Header, every sample, end of stream.
    void Play(const AnnexBStream &stream);

    // The run in one line: the picture size (again where it changes), each
    // picture as the index of the ffmpeg picture of `stream` it matches
    // ("0-11" for a run, "x" for none, "a" for RGB32 with a fourth byte set,
    // "-" for an empty one), then the steps, errors and ends, and any fault
    // seen (a step whose result disagrees with the pictures it wrote). Planar
    // pictures of the stream's size must equal one of ffmpeg's; the others
    // match the same picture as ffmpeg converts it (scaled to their size)
    // within 45 dB (40 dB scaled).
    std::string Outcome(const std::string &stream) const;

private:
    Settings m_settings;
    QueueReader m_reader;
    PictureSink m_sink;
    DecoderPtr m_decoder;
    bool m_ready = false;
    std::vector<int32_t> m_results;
    std::vector<std::string> m_faults;
};

} // namespace declib_test

#endif
