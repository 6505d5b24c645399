// The decode filter's streaming path around the real queues and decoder
// wrapper, without the filter: Receive queues the sample (and its times)
// and runs a decode step once enough records wait; the parameter-set
// samples go first and end with DecodeHeader; EndOfStream steps until the
// wrapper reports the end; an output thread takes every record off the
// output data queue, pairing pictures with time records first in, first out.
#ifndef ORVEX_TESTS_DECODER_WRAPPER_PIPELINE_H
#define ORVEX_TESTS_DECODER_WRAPPER_PIPELINE_H

#include "movie_stream.h"
#include "sample_pool.h"

#include "H264DecodeFilter/MyDecoder11.h"

#include <streams.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace wrapper_test {

// A picture record as the output thread found it.
struct Picture {
    LONG format = -1;
    DWORD width = 0, height = 0;
    std::vector<uint8_t> pixels;
    // Bytes the library wrote: luma (or packed RGB), Cb, Cr.
    DWORD written[3] = {};
    std::optional<REFERENCE_TIME> start;

    // The planes in I420 order (Y, Cb, Cr) of a YUV picture of size w x h as
    // written at the front of each plane.
    std::vector<uint8_t> I420(DWORD w, DWORD h) const;
    // The first `bytes` of the packed pixels.
    std::vector<uint8_t> Packed(size_t bytes) const;
};

struct PipelineSettings {
    const GUID *subtype = &MEDIASUBTYPE_YV12;
    LONG deblockingSkip = 0;
    LONG scaling = 0;
    // Records queued before a decode step runs: the filter's max(2, processors).
    DWORD threshold = 0;
    // Without the output thread the test takes the records itself.
    bool outputThread = true;
    // Buffers of the sample pool (0: the threshold and a few more).
    LONG poolBuffers = 0;
};

// The filter's decode threshold on this machine.
DWORD DecodeThreshold();

class Pipeline {
public:
    explicit Pipeline(const MovieStream &stream, const PipelineSettings &settings = PipelineSettings{});
    ~Pipeline();

    CMyDecoder11 &Decoder() { return m_decoder; }
    CMyInputDataQueue &Input() { return m_input; }
    CMyOutputDataQueue &Output() { return m_output; }
    SamplePool &Pool() { return *m_pool; }

    // The whole stream: parameter sets, every sample, end of stream; then
    // waits for the output thread to see the end.
    void Play();
    // The stream with the bytes of some samples replaced.
    void Play(const std::vector<std::vector<uint8_t>> &sampleBytes);

    // The steps one by one.
    LONG SendParameterSets();
    void Receive(const SampleFields &fields);
    void EndOfStream();
    // Waits for the output thread to take the end-of-stream record.
    void WaitForEnd();

    const std::vector<Picture> &Pictures() const { return m_pictures; }
    const std::vector<LONG> &StepResults() const { return m_stepResults; }
    size_t Count(LONG result) const;
    size_t EndOfStreamRecords() const { return m_endRecords; }
    const MovieStream &Stream() const { return m_stream; }

private:
    void OutputThread();

    const MovieStream &m_stream;
    PipelineSettings m_settings;
    CMyInputDataQueue m_input;
    CMyOutputDataQueue m_output;
    CMyDecoder11 m_decoder{&m_input, &m_output};
    std::unique_ptr<SamplePool> m_pool;
    std::vector<LONG> m_stepResults;

    std::mutex m_lock;
    std::condition_variable m_seen;
    std::vector<Picture> m_pictures;
    size_t m_endRecords = 0;
    std::thread m_thread;
};

} // namespace wrapper_test

#endif
