#include "PictureWriter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/macros.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace OrvexIPP::Detail {

namespace {

constexpr int kRowAlignment = 64;
constexpr size_t kTailPadding = 256;

// The full-range ("J") layouts are the same planes as their plain kin; the
// range travels separately so that the conversions see it explicitly.
AVPixelFormat PlainLayout(AVPixelFormat format, bool &fullRange)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

// The YUV-to-RGB matrix the stream's matrix_coefficients name; BT.601 when
// it names none that the converter knows.
int MatrixOf(AVColorSpace colorspace)
{
    switch (colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        return SWS_CS_ITU601;
    }
}

void Announce(AbstractWriter *writer, uint32_t status, int width, int height, int rowBytes)
{
    const WriterStatus info{status, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                            static_cast<uint32_t>(rowBytes)};
    writer->SetStatus(&info);
}

// Rows of rowBytes, back to back: one call when the source has no padding.
void WriteRows(AbstractWriter *writer, const uint8_t *data, int linesize, int rowBytes, int rows)
{
    if (rowBytes <= 0 || rows <= 0) return;
    if (linesize == rowBytes) {
        writer->WriteData(data, static_cast<uint32_t>(rowBytes) * static_cast<uint32_t>(rows));
        return;
    }
    for (int y = 0; y < rows; ++y, data += linesize)
        writer->WriteData(data, static_cast<uint32_t>(rowBytes));
}

} // namespace

PictureWriter::~PictureWriter()
{
    Release();
}

bool PictureWriter::IsOutputFormat(int64_t format)
{
    return format == AVCD_PARAM_OUTPUT_FORMAT_ID_I420 || format == AVCD_PARAM_OUTPUT_FORMAT_ID_YV12 ||
           format == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32 || format == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24 ||
           format == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;
}

void PictureWriter::Release()
{
    sws_freeContext(m_sws);
    m_sws = nullptr;
    m_key = ConversionKey{};
    av_freep(&m_scratch);
    m_scratchSize = 0;
}

bool PictureWriter::Crop(const AVFrame *frame, Planes &view)
{
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
    if (!desc || (desc->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL)))
        return false;
    if (frame->width <= 0 || frame->height <= 0 ||
        frame->crop_left + frame->crop_right >= static_cast<size_t>(frame->width) ||
        frame->crop_top + frame->crop_bottom >= static_cast<size_t>(frame->height))
        return false;
    const int left = static_cast<int>(frame->crop_left);
    const int top = static_cast<int>(frame->crop_top);
    view.width = frame->width - left - static_cast<int>(frame->crop_right);
    view.height = frame->height - top - static_cast<int>(frame->crop_bottom);

    const int planes = av_pix_fmt_count_planes(static_cast<AVPixelFormat>(frame->format));
    if (planes <= 0 || planes > 4) return false;
    for (int p = 0; p < planes; ++p) {
        if (!frame->data[p]) return false;
        int step = 0;
        for (int c = 0; c < desc->nb_components; ++c)
            if (desc->comp[c].plane == p && step == 0) step = desc->comp[c].step;
        const bool chroma = (p == 1 || p == 2) && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
        const int x = chroma ? left >> desc->log2_chroma_w : left;
        const int y = chroma ? top >> desc->log2_chroma_h : top;
        view.data[p] =
            frame->data[p] + static_cast<ptrdiff_t>(y) * frame->linesize[p] + static_cast<ptrdiff_t>(x) * step;
        view.linesize[p] = frame->linesize[p];
    }
    view.format = frame->format;
    return true;
}

bool PictureWriter::EnsureScratch(size_t bytes)
{
    if (m_scratchSize >= bytes) return true;
    av_freep(&m_scratch);
    m_scratchSize = 0;
    m_scratch = static_cast<uint8_t *>(av_malloc(bytes));
    if (!m_scratch) return false;
    m_scratchSize = bytes;
    return true;
}

bool PictureWriter::Convert(const Planes &src, const ConversionKey &key)
{
    if (!m_sws || !(key == m_key)) {
        sws_freeContext(m_sws);
        m_key = ConversionKey{};
        m_sws = sws_getContext(key.srcWidth, key.srcHeight, static_cast<AVPixelFormat>(key.srcFormat), key.dstWidth,
                               key.dstHeight, static_cast<AVPixelFormat>(key.dstFormat), SWS_BILINEAR, nullptr, nullptr,
                               nullptr);
        if (!m_sws) return false;
        const AVPixFmtDescriptor *dst = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(key.dstFormat));
        if (dst && (dst->flags & AV_PIX_FMT_FLAG_RGB))
            sws_setColorspaceDetails(m_sws, sws_getCoefficients(key.matrix), key.fullRange,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        m_key = key;
    }
    // The converter's vector code writes whole blocks of pixels, past the end
    // of a row whose width is not a multiple of them: rows get room to spare,
    // and so does the last one.
    const auto dstFormat = static_cast<AVPixelFormat>(key.dstFormat);
    const int paddedWidth = FFALIGN(key.dstWidth, kRowAlignment);
    const int bytes = av_image_get_buffer_size(dstFormat, paddedWidth, key.dstHeight, kRowAlignment);
    if (bytes <= 0 || !EnsureScratch(static_cast<size_t>(bytes) + kTailPadding)) return false;
    if (av_image_fill_arrays(m_dst, m_dstLinesize, m_scratch, dstFormat, paddedWidth, key.dstHeight, kRowAlignment) < 0)
        return false;
    return sws_scale(m_sws, src.data, src.linesize, 0, src.height, m_dst, m_dstLinesize) == key.dstHeight;
}

void PictureWriter::WriteYuv(const Planes &picture, AbstractWriter *writer)
{
    const int w = picture.width;
    const int h = picture.height;
    Announce(writer, AVCD_WRITER_STATUS_PICTURE_START, w, h, w);
    WriteRows(writer, picture.data[0], picture.linesize[0], w, h);
    // An odd size keeps its last chroma column and row.
    const int cw = (w + 1) / 2;
    const int ch = (h + 1) / 2;
    Announce(writer, AVCD_WRITER_STATUS_CB_PLANE, cw, ch, cw);
    WriteRows(writer, picture.data[1], picture.linesize[1], cw, ch);
    Announce(writer, AVCD_WRITER_STATUS_CR_PLANE, cw, ch, cw);
    WriteRows(writer, picture.data[2], picture.linesize[2], cw, ch);
    Announce(writer, AVCD_WRITER_STATUS_PICTURE_DONE, w, h, 0);
}

void PictureWriter::ClearFourthBytes(int width, int height)
{
    // The converter fills the fourth byte as opaque alpha; this format's is
    // zero. Whole pixels at a time, which the compiler vectorises.
    constexpr uint32_t kColour = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? 0x00FF'FFFFu : 0xFFFF'FF00u;
    for (int y = 0; y < height; ++y) {
        uint8_t *row = m_dst[0] + static_cast<ptrdiff_t>(y) * m_dstLinesize[0];
        for (int x = 0; x < width; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, row + 4 * x, 4);
            pixel &= kColour;
            std::memcpy(row + 4 * x, &pixel, 4);
        }
    }
}

void PictureWriter::WritePacked(const uint8_t *data, int linesize, int width, int height, int bytesPerPixel,
                                AbstractWriter *writer)
{
    Announce(writer, AVCD_WRITER_STATUS_PICTURE_START, width, height, width * bytesPerPixel);
    WriteRows(writer, data, linesize, width * bytesPerPixel, height);
    Announce(writer, AVCD_WRITER_STATUS_PICTURE_DONE, width, height, 0);
}

bool PictureWriter::Write(const AVFrame *frame, AbstractWriter *writer)
{
    Planes picture;
    if (!Crop(frame, picture)) return false;
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat layout = PlainLayout(static_cast<AVPixelFormat>(picture.format), fullRange);
    picture.format = layout;
    const int width = picture.width >> m_scaling;
    const int height = picture.height >> m_scaling;
    const bool packed = m_format == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32 ||
                        m_format == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24 ||
                        m_format == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;

    if (!packed) {
        if (layout == AV_PIX_FMT_YUV420P && m_scaling == AVCD_OUTPUT_SCALING_ORIGINAL) {
            WriteYuv(picture, writer); // straight from the decoder's frame
            return true;
        }
        Planes scaled;
        scaled.width = width;
        scaled.height = height;
        scaled.format = AV_PIX_FMT_YUV420P;
        if (width > 0 && height > 0) {
            // YUV stays YUV: same range in and out, so the samples keep their values.
            const ConversionKey key{picture.width, picture.height, layout, width, height, AV_PIX_FMT_YUV420P, 0, 0};
            if (!Convert(picture, key)) return false;
            for (int p = 0; p < 3; ++p) {
                scaled.data[p] = m_dst[p];
                scaled.linesize[p] = m_dstLinesize[p];
            }
        }
        WriteYuv(scaled, writer);
        return true;
    }

    const bool rgb32 = m_format == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32;
    const int bytesPerPixel = rgb32 ? 4 : 3;
    if (width <= 0 || height <= 0) {
        // Scaled down to nothing: the picture is announced, without rows.
        WritePacked(nullptr, 0, width, height, bytesPerPixel, writer);
        return true;
    }
    if (m_format == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24) fullRange = true;
    const ConversionKey key{picture.width,
                            picture.height,
                            layout,
                            width,
                            height,
                            rgb32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24,
                            MatrixOf(frame->colorspace),
                            fullRange ? 1 : 0};
    if (!Convert(picture, key)) return false;
    if (rgb32) ClearFourthBytes(width, height);
    WritePacked(m_dst[0], m_dstLinesize[0], width, height, bytesPerPixel, writer);
    return true;
}

} // namespace OrvexIPP::Detail
