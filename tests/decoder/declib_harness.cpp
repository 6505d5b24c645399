#include "declib_harness.h"

#include "support/annexb.h"

#include <algorithm>
#include <cstring>

namespace declib_test {
namespace {

std::string StreamPath(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/decoder/" + name;
}

} // namespace

AnnexBStream LoadStream(const std::string &name)
{
    return LoadAnnexB(StreamPath(name));
}

AnnexBStream LoadAnnexB(const std::string &path)
{
    const orvex::test::H264Stream parsed = orvex::test::parseAnnexB(orvex::test::readFileBytes(path));
    AnnexBStream stream{parsed.sps, parsed.pps, {}};
    for (const orvex::test::AccessUnit &unit : parsed.accessUnits) {
        Sample &sample = stream.samples.emplace_back();
        for (size_t at = 0; at + 4 <= unit.sample.size();) { // units behind 4-byte lengths
            const size_t n = size_t(unit.sample[at]) << 24 | size_t(unit.sample[at + 1]) << 16 |
                             size_t(unit.sample[at + 2]) << 8 | unit.sample[at + 3];
            sample.emplace_back(unit.sample.begin() + std::ptrdiff_t(at + 4),
                                unit.sample.begin() + std::ptrdiff_t(at + 4 + n));
            at += 4 + n;
        }
    }
    return stream;
}

Record MakeRecord(const Sample &sample)
{
    Record record;
    for (const Nal &nal : sample)
        record.units.push_back(Unit{nal, std::nullopt});
    return record;
}

int32_t QueueReader::GetDataSize(uint32_t *size, int32_t *status)
{
    ++m_getDataSizeCalls;
    while (!m_held) {
        if (m_queue.empty()) {
            // The real reader would wait here, on the thread that queues.
            m_overRead = true;
            *status = AVCD_READER_STATUS_NO_MORE_INPUT;
            return 0;
        }
        Record record = std::move(m_queue.front());
        m_queue.pop_front();
        if (record.endOfStream) {
            *status = AVCD_READER_STATUS_END_OF_STREAM;
            return 0;
        }
        // A record without units is used up at once.
        if (!record.units.empty()) {
            m_held = std::move(record);
            m_next = 0;
        }
    }
    const Unit &unit = m_held->units[m_next];
    *size = unit.announcedSize.value_or(static_cast<uint32_t>(unit.bytes.size()));
    return 4;
}

int32_t QueueReader::ReadData(uint8_t *buffer, uint32_t size, int32_t flags)
{
    (void)flags;
    if (!m_held) return 0;
    const Nal &bytes = m_held->units[m_next].bytes;
    // Never past the unit: a request beyond it gets what there is.
    const size_t copied = std::min<size_t>(size, bytes.size());
    if (copied > 0) std::memcpy(buffer, bytes.data(), copied);
    if (++m_next == m_held->units.size()) m_held.reset();
    return static_cast<int32_t>(copied);
}

std::vector<uint8_t> Picture::I420() const
{
    std::vector<uint8_t> all(y);
    all.insert(all.end(), cb.begin(), cb.end());
    all.insert(all.end(), cr.begin(), cr.end());
    return all;
}

int32_t PictureSink::WriteData(const uint8_t *data, uint32_t size)
{
    // The luma (or packed) bytes follow the picture's start, then each chroma plane its status.
    std::vector<uint8_t> *plane = !m_current ? nullptr
                                  : m_state == AVCD_WRITER_STATUS_PICTURE_START
                                      ? (m_packed ? &m_current->packed : &m_current->y)
                                  : m_state == AVCD_WRITER_STATUS_CB_PLANE ? &m_current->cb
                                  : m_state == AVCD_WRITER_STATUS_CR_PLANE ? &m_current->cr
                                                                           : nullptr;
    if (plane)
        plane->insert(plane->end(), data, data + size);
    else
        m_errors.push_back("WriteData in status " + std::to_string(m_state));
    return 0;
}

int32_t PictureSink::SetStatus(const OrvexIPP::WriterStatus *info)
{
    if (!info) {
        m_errors.push_back("SetStatus without info");
        return 0;
    }
    const uint32_t status = info->status;
    const uint32_t expected = m_state == 0                                  ? AVCD_WRITER_STATUS_PICTURE_START
                              : m_packed                                    ? AVCD_WRITER_STATUS_PICTURE_DONE
                              : m_state == AVCD_WRITER_STATUS_PICTURE_START ? AVCD_WRITER_STATUS_CB_PLANE
                              : m_state == AVCD_WRITER_STATUS_CB_PLANE      ? AVCD_WRITER_STATUS_CR_PLANE
                                                                            : AVCD_WRITER_STATUS_PICTURE_DONE;
    if (status != expected)
        m_errors.push_back("status " + std::to_string(status) + " after " + std::to_string(m_state));
    if (status == AVCD_WRITER_STATUS_PICTURE_START)
        m_current = Picture{.width = info->width, .height = info->height, .rowBytes = info->rowBytes};
    if (status == AVCD_WRITER_STATUS_PICTURE_DONE && m_current) {
        const Picture &p = *m_current;
        const size_t w = p.width, h = p.height;
        const bool sizesRight = m_packed ? p.packed.size() == size_t{p.rowBytes} * h && p.y.empty()
                                         : p.y.size() == w * h && p.cb.size() == ((w + 1) / 2) * ((h + 1) / 2) &&
                                               p.cr.size() == p.cb.size();
        if (!sizesRight) m_errors.push_back("picture bytes do not match its size");
        m_pictures.push_back(std::move(*m_current));
    }
    if (status == AVCD_WRITER_STATUS_PICTURE_DONE) m_current.reset();
    m_state = status == AVCD_WRITER_STATUS_PICTURE_DONE ? 0 : status;
    return 0;
}

Harness::Harness(const Settings &settings)
    : m_settings(settings), m_sink(settings.format == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32 ||
                                   settings.format == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24 ||
                                   settings.format == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24),
      m_decoder(CreateAVCDecInstance())
{
    // The wrapper's order: format, deblocking skip, scaling, then Initialize.
    m_ready = m_decoder && m_decoder->SetParam(AVCD_PARAM_OUTPUT_FORMAT, settings.format) == 1 &&
              m_decoder->SetParam(AVCD_PARAM_DEBLOCKING_SKIP, AVCD_DEBLOCKING_SKIP_NONE) == 1 &&
              m_decoder->SetParam(AVCD_PARAM_OUTPUT_SCALING, settings.scaling) == 1 &&
              m_decoder->Initialize(&m_reader, &m_sink) == 1;
}

int32_t Harness::SendHeader(const Nal &sps, const Nal &pps)
{
    m_reader.Push(MakeRecord(Sample{sps}));
    m_reader.Push(MakeRecord(Sample{pps}));
    return m_decoder->DecodeHeader();
}

int32_t Harness::Step()
{
    const size_t before = m_sink.Pictures().size();
    const int32_t result = m_decoder->Decode();
    m_results.push_back(result);
    if ((result == AVCD_DECODE_PICTURE) != (m_sink.Pictures().size() > before) && result != AVCD_DECODE_END_OF_STREAM &&
        result != AVCD_DECODE_ERROR)
        m_faults.push_back("step " + std::to_string(m_results.size()) + " gave " + std::to_string(result));
    if (result == AVCD_DECODE_ERROR || result == AVCD_DECODE_END_OF_STREAM) {
        m_decoder->Reset(0);
        m_reader.DropHeld();
    }
    return result;
}

void Harness::Receive(Record record)
{
    m_reader.Push(std::move(record));
    if (m_reader.QueuedRecords() >= m_settings.threshold) Step();
}

void Harness::EndOfStream()
{
    m_reader.PushEndOfStream();
    // Each step reads at least one unit or the marker, so this ends; the
    // bound only keeps a faulty decoder from hanging the test.
    for (int i = 0; i < 10000; ++i)
        if (Step() == AVCD_DECODE_END_OF_STREAM || m_reader.OverRead()) return;
}

void Harness::Flush()
{
    m_decoder->Reset(0);
    m_reader.Clear();
}

void Harness::Play(const AnnexBStream &stream)
{
    SendHeader(stream.sps, stream.pps);
    for (const Sample &sample : stream.samples)
        Receive(MakeRecord(sample));
    EndOfStream();
}

namespace {

std::string Joined(const std::vector<std::string> &tokens)
{
    // Consecutive indexes become "a-b", repeated marks "x*n".
    const auto index = [](const std::string &t) { return t.find_first_not_of("0123456789") == t.npos; };
    std::string out;
    for (size_t i = 0; i < tokens.size();) {
        size_t j = i + 1;
        const bool number = index(tokens[i]);
        while (j < tokens.size() &&
               (number ? index(tokens[j]) && std::stoul(tokens[j]) == std::stoul(tokens[i]) + (j - i)
                       : tokens[j] == tokens[i]))
            ++j;
        if (!out.empty()) out += ' ';
        out += tokens[i];
        if (j - i > 1) {
            out += number ? '-' : '*';
            out += number ? tokens[j - 1] : std::to_string(j - i);
        }
        i = j;
    }
    return out;
}

} // namespace

std::string Harness::Outcome(const std::string &stream) const
{
    using namespace orvex::test;
    const auto frameBytes = [](size_t w, size_t ht, size_t bpp) {
        return bpp ? w * ht * bpp : w * ht + 2 * ((w + 1) / 2) * ((ht + 1) / 2);
    };
    // The stream's size from its name, "..._WxH.h264".
    const std::string streamSize = stream.substr(stream.rfind('_') + 1, stream.find('.') - stream.rfind('_') - 1);
    const auto &decoded =
        referenceFrames(StreamPath(stream), stream.find("fullrange") != stream.npos ? "yuvj420p" : "yuv420p",
                        frameBytes(std::stoul(streamSize), std::stoul(streamSize.substr(streamSize.find('x') + 1)), 0));
    const bool fullRange = m_settings.format == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;
    std::vector<std::string> tokens;
    std::string size;
    const auto &pictures = m_sink.Pictures();
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture &p = pictures[i];
        const size_t w = p.width, ht = p.height;
        if (std::to_string(w) + "x" + std::to_string(ht) != size)
            tokens.push_back(size = std::to_string(w) + "x" + std::to_string(ht));
        const bool packed = !p.packed.empty() || (p.y.empty() && p.rowBytes > 0);
        const bool scaled = size != streamSize;
        if (w == 0 || ht == 0) {
            tokens.push_back("-");
        } else if (!packed && !scaled) {
            // Its own index first: a stream may repeat a picture.
            const auto at = i < decoded.size() && decoded[i] == p.I420()
                                ? decoded.begin() + std::ptrdiff_t(i)
                                : std::find(decoded.begin(), decoded.end(), p.I420());
            tokens.push_back(at == decoded.end() ? "x" : std::to_string(at - decoded.begin()));
        } else {
            // Others against ffmpeg's conversion of the same picture.
            const size_t bpp = packed ? p.rowBytes / w : 1;
            std::string f = scaled ? "scale=" + std::to_string(w) + ":" + std::to_string(ht) + ":flags=bilinear" : "";
            if (fullRange) f += f.empty() ? "scale=in_range=pc" : ":in_range=pc";
            const auto &refs = referenceFrames(StreamPath(stream), packed ? (bpp == 4 ? "bgra" : "bgr24") : "yuv420p",
                                               frameBytes(w, ht, packed ? bpp : 0), f);
            const double db = i >= refs.size() ? -1
                              : packed         ? packedPsnr(p.packed, bpp, refs[i], bpp, 3)
                                               : packedPsnr(p.I420(), 1, refs[i], 1, 1);
            bool alpha = false;
            for (size_t at = 3; bpp == 4 && at < p.packed.size(); at += 4)
                alpha = alpha || p.packed[at] != 0;
            tokens.push_back(alpha ? "a" : db >= (scaled ? 40.0 : 45.0) ? std::to_string(i) : "x");
        }
    }
    std::string out = tokens.empty() ? "none" : Joined(tokens);
    const auto count = [this](int32_t result) {
        return std::to_string(std::count(m_results.begin(), m_results.end(), result));
    };
    out += " | steps " + std::to_string(m_results.size()) + " err " + count(AVCD_DECODE_ERROR) + " end " +
           count(AVCD_DECODE_END_OF_STREAM);
    if (m_reader.OverRead()) out += " | over-read";
    for (const std::string &fault : m_faults)
        out += " | " + fault;
    for (const std::string &error : m_sink.Errors())
        out += " | " + error;
    return out;
}

} // namespace declib_test
