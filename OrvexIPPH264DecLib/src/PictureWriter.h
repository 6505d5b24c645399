// Writes decoded frames through the writer callback in the output format
// and at the output scaling: planar Y, Cb, Cr rows, or packed B, G, R(, 0)
// rows, top-down, cropped to the display rectangle.
#ifndef ORVEX_DECLIB_PICTURE_WRITER_H
#define ORVEX_DECLIB_PICTURE_WRITER_H

#include "OrvexIPPH264DecLib.h"

#include <cstddef>
#include <cstdint>

struct AVFrame;
struct SwsContext;

namespace OrvexIPP::Detail {

class PictureWriter {
public:
    PictureWriter() = default;
    ~PictureWriter();
    PictureWriter(const PictureWriter &) = delete;
    PictureWriter &operator=(const PictureWriter &) = delete;

    static bool IsOutputFormat(int64_t format);
    void SetOutputFormat(int32_t format) { m_format = format; }
    void SetScaling(int32_t scaling) { m_scaling = scaling; }
    int32_t OutputFormat() const { return m_format; }
    int32_t Scaling() const { return m_scaling; }

    // Writes one picture. False when it cannot be converted (an unknown
    // pixel layout, no memory); nothing of it has been written then.
    bool Write(const AVFrame *frame, AbstractWriter *writer);
    // Frees the conversion state and the scratch planes.
    void Release();

private:
    struct Planes {
        const uint8_t *data[4] = {};
        int linesize[4] = {};
        int width = 0;
        int height = 0;
        int format = -1;
    };
    struct ConversionKey {
        int srcWidth = 0, srcHeight = 0, srcFormat = -1;
        int dstWidth = 0, dstHeight = 0, dstFormat = -1;
        int matrix = 0, fullRange = 0;
        bool operator==(const ConversionKey &) const = default;
    };

    static bool Crop(const AVFrame *frame, Planes &view);
    bool Convert(const Planes &src, const ConversionKey &key);
    bool EnsureScratch(size_t bytes);
    void WriteYuv(const Planes &picture, AbstractWriter *writer);
    void ClearFourthBytes(int width, int height);
    void WritePacked(const uint8_t *data, int linesize, int width, int height, int bytesPerPixel,
                     AbstractWriter *writer);

    int32_t m_format = AVCD_PARAM_OUTPUT_FORMAT_ID_I420;
    int32_t m_scaling = AVCD_OUTPUT_SCALING_ORIGINAL;
    SwsContext *m_sws = nullptr;
    ConversionKey m_key;
    uint8_t *m_scratch = nullptr;
    size_t m_scratchSize = 0;
    uint8_t *m_dst[4] = {};
    int m_dstLinesize[4] = {};
};

} // namespace OrvexIPP::Detail

#endif
