// OrvexIPPH264DecLib: an H.264 decoder that pulls NAL units through a reader
// callback and pushes decoded pictures through a writer callback.
//
// Calling sequence:
//   CreateAVCDecInstance()
//   SetParam(...)                      output format, deblocking skip, scaling
//   Initialize(reader, writer)
//   DecodeHeader()                     once the SPS and PPS units are queued
//   Decode() ...                       one access unit per call
//   Close(); FreeAVCDecInstance()
//
// All calls, and every callback they make, happen on the caller's thread.
#ifndef ORVEX_IPP_H264_DEC_LIB_H
#define ORVEX_IPP_H264_DEC_LIB_H

#include <cstdint>

#if defined(_WIN32)
#define ORVEX_IPP_API __declspec(dllexport)
#else
#define ORVEX_IPP_API __attribute__((visibility("default")))
#endif

// SetParam identifiers and values.
inline constexpr int32_t AVCD_PARAM_OUTPUT_FORMAT = 0;
inline constexpr int32_t AVCD_PARAM_DEBLOCKING_SKIP = 1;
inline constexpr int32_t AVCD_PARAM_OUTPUT_SCALING = 3;

inline constexpr int32_t AVCD_PARAM_OUTPUT_FORMAT_ID_I420 = 0;           // planes Y, Cb, Cr
inline constexpr int32_t AVCD_PARAM_OUTPUT_FORMAT_ID_YV12 = 1;           // planes Y, Cb, Cr (the caller reorders)
inline constexpr int32_t AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32 = 5;          // B, G, R, 0 per pixel
inline constexpr int32_t AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24 = 6;          // B, G, R per pixel
inline constexpr int32_t AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24 = 7; // B, G, R from full-range YUV

inline constexpr int32_t AVCD_DEBLOCKING_SKIP_NONE = 0;
inline constexpr int32_t AVCD_DEBLOCKING_SKIP_ALL = 1;
inline constexpr int32_t AVCD_DEBLOCKING_SKIP_NON_REFERENCE = 2;

inline constexpr int32_t AVCD_OUTPUT_SCALING_ORIGINAL = 0;
inline constexpr int32_t AVCD_OUTPUT_SCALING_HALF = 1;
inline constexpr int32_t AVCD_OUTPUT_SCALING_QUARTER = 2;

// Results of Initialize, DecodeHeader and SetParam.
inline constexpr int32_t AVCD_RESULT_FAILURE = 0;
inline constexpr int32_t AVCD_RESULT_SUCCESS = 1;

// Results of Decode.
inline constexpr int32_t AVCD_DECODE_ERROR = -1;        // a corrupt unit; its access unit is dropped
inline constexpr int32_t AVCD_DECODE_NO_PICTURE = 0;    // going on, nothing written in this step
inline constexpr int32_t AVCD_DECODE_PICTURE = 1;       // going on, one or more pictures written
inline constexpr int32_t AVCD_DECODE_END_OF_STREAM = 2; // drained: every remaining picture is written

// Status a reader reports when GetDataSize returns 0.
inline constexpr int32_t AVCD_READER_STATUS_END_OF_STREAM = 5;
inline constexpr int32_t AVCD_READER_STATUS_NO_MORE_INPUT = 6;

// Codes handed to AbstractWriter::SetStatus.
inline constexpr uint32_t AVCD_WRITER_STATUS_PICTURE_START = 1; // luma plane or packed RGB follows
inline constexpr uint32_t AVCD_WRITER_STATUS_PICTURE_DONE = 2;
inline constexpr uint32_t AVCD_WRITER_STATUS_CB_PLANE = 3;
inline constexpr uint32_t AVCD_WRITER_STATUS_CR_PLANE = 4;

namespace OrvexIPP {

// The source of NAL units. Each unit comes without a start code or length
// prefix. The decoder asks for the size of the next unit, then reads it whole.
class AbstractReader {
public:
    virtual ~AbstractReader() = default;
    // Returns 4 and the byte size of the next unit in *size, or returns 0 and
    // AVCD_READER_STATUS_END_OF_STREAM or AVCD_READER_STATUS_NO_MORE_INPUT in
    // *status. The decoder calls it only when it needs one more unit.
    virtual int32_t GetDataSize(uint32_t *size, int32_t *status) = 0;
    // Copies the unit announced by the last GetDataSize into buffer and moves
    // on to the next unit. size is the announced size; flags is 0. Returns the
    // number of bytes copied; anything but size marks the unit as corrupt.
    virtual int32_t ReadData(uint8_t *buffer, uint32_t size, int32_t flags) = 0;
};

// What SetStatus announces. Only the first member is required reading.
struct WriterStatus {
    uint32_t status;   // AVCD_WRITER_STATUS_*
    uint32_t width;    // pixels per row of the plane (or packed picture) that follows; picture width on DONE
    uint32_t height;   // rows of that plane; picture height on DONE
    uint32_t rowBytes; // bytes per row as written (rows follow back to back, no padding)
};

// The sink of decoded pictures. For each picture the decoder calls
//   SetStatus(PICTURE_START), WriteData... (luma rows, or packed RGB rows),
//   [SetStatus(CB_PLANE), WriteData... , SetStatus(CR_PLANE), WriteData...]
//   SetStatus(PICTURE_DONE)
// Rows are top-down, each plane's rows back to back. Chroma planes are half
// the picture's width and height, rounded up (a 161x121 picture has 81x61
// chroma planes: no chroma sample is lost). With output scaling the
// picture is the display size shifted right by the scaling value.
class AbstractWriter {
public:
    virtual ~AbstractWriter() = default;
    // Appends size bytes to the current plane. Returns 0.
    virtual int32_t WriteData(const uint8_t *data, uint32_t size) = 0;
    virtual int32_t SetStatus(const WriterStatus *info)
    {
        (void)info;
        return 0;
    }
};

// One decoder. Slots 3, 5 and 7 of its table of virtual operations are
// reserved and do nothing. Instances are destroyed by FreeAVCDecInstance only.
class AVCDecoder {
public:
    // Opens the decoder over reader and writer (neither owned). Returns
    // AVCD_RESULT_SUCCESS, or AVCD_RESULT_FAILURE (null callbacks, no decoder).
    virtual int32_t Initialize(AbstractReader *reader, AbstractWriter *writer) = 0;
    // Frees every decoding resource; Decode then fails until Initialize.
    virtual void Close() = 0;
    // Reads units until it has a sequence and a picture parameter set that
    // parse. Returns AVCD_RESULT_SUCCESS, or AVCD_RESULT_FAILURE when a set is
    // refused, a slice comes first, or the reader runs dry.
    virtual int32_t DecodeHeader() = 0;
    virtual int32_t Reserved3() { return 0; }
    // One step: reads units up to the first unit of the next access unit
    // (which is kept for the next step) and decodes the access unit before it,
    // writing every picture that comes out. Returns an AVCD_DECODE_* value.
    // Never asks the reader for a unit beyond the first one of the next
    // access unit, so two queued samples suffice for one step as long as
    // each sample holds a picture. With frame threads a picture comes out
    // some steps after its access unit; the end of the stream drains them.
    virtual int32_t Decode() = 0;
    virtual int32_t Reserved5() { return 0; }
    // Sets AVCD_PARAM_* to value. Returns AVCD_RESULT_SUCCESS, or
    // AVCD_RESULT_FAILURE (value unchanged) for an unknown id or value. The
    // output format and the scaling apply from the next picture written,
    // the deblocking skip from the next access unit decoded.
    virtual int32_t SetParam(int32_t id, int64_t value) = 0;
    virtual int32_t Reserved7() { return 0; }
    // Drops pictures in decoding, reference pictures and a partly read
    // access unit. The parameter sets stay known. Every mode acts as 0.
    virtual void Reset(int32_t mode) = 0;

protected:
    AVCDecoder() = default;
    ~AVCDecoder() = default;
    AVCDecoder(const AVCDecoder &) = delete;
    AVCDecoder &operator=(const AVCDecoder &) = delete;
};

} // namespace OrvexIPP

extern "C" {
// A new decoder, or null when it cannot be made.
ORVEX_IPP_API OrvexIPP::AVCDecoder *CreateAVCDecInstance();
// Destroys a decoder made by CreateAVCDecInstance; null is ignored.
ORVEX_IPP_API void FreeAVCDecInstance(OrvexIPP::AVCDecoder *instance);
}

#endif
