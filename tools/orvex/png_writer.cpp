#include "png_writer.h"

#include "output_file.h"
#include "ppm_writer.h"
#include "video_sink.h"

#include <png.h>

#include <string>
#include <vector>

namespace orvex {

namespace {

struct PngTarget {
    OutputFile *file;
    std::string error; // a write failure, kept across libpng's longjmp
};

void writeData(png_structp png, png_bytep data, png_size_t length)
{
    auto *target = static_cast<PngTarget *>(png_get_io_ptr(png));
    try {
        target->file->write(data, length);
    } catch (const OutputError &e) {
        target->error = e.what();
        png_error(png, "write failed");
    }
}

void flushData(png_structp) {}

void reportError(png_structp png, png_const_charp message)
{
    auto *target = static_cast<PngTarget *>(png_get_io_ptr(png));
    if (target && target->error.empty()) target->error = message;
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

} // namespace

void writePng(const std::string &path, const PictureLayout &layout, const uint8_t *data, size_t size)
{
    if (isPlanar(layout.format)) throw OutputError("cannot write " + path + ": PNG takes an RGB picture");
    checkPictureSize(layout, size);
    std::vector<uint8_t> rgb;
    toRgbRows(layout, data, rgb);
    std::vector<png_bytep> rows(layout.height);
    for (uint32_t y = 0; y < layout.height; ++y)
        rows[y] = rgb.data() + size_t(y) * layout.width * 3;

    OutputFile file(path);
    PngTarget target{&file, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &target, reportError, ignoreWarning);
    if (!png) throw OutputError("cannot write " + path + ": out of memory");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw OutputError("cannot write " + path + ": out of memory");
    }
    // Nothing with a destructor lives between setjmp and the libpng calls.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        const std::string cause = target.error;
        if (cause.rfind("cannot write", 0) == 0) throw OutputError(cause);
        throw OutputError("cannot write " + path + ": " + cause);
    }
    png_set_write_fn(png, &target, writeData, flushData);
    png_set_IHDR(png, info, layout.width, layout.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    file.commit();
}

} // namespace orvex
