#include "ppm_writer.h"

namespace orvex {

void toRgbRows(const PictureLayout &layout, const uint8_t *data, std::vector<uint8_t> &rgb)
{
    const size_t pixel = layout.format == PixelFormat::kRGB32 ? 4 : 3;
    rgb.resize(size_t(layout.width) * layout.height * 3);
    uint8_t *out = rgb.data();
    for (uint32_t y = 0; y < layout.height; ++y) {
        const uint8_t *in = data + y * layout.stride[0];
        for (uint32_t x = 0; x < layout.width; ++x, in += pixel, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
}

PpmWriter::PpmWriter(const std::string &path) : m_file(path) {}

void PpmWriter::writePicture(const PictureLayout &layout, const uint8_t *data, size_t size)
{
    if (isPlanar(layout.format)) throw OutputError("cannot write " + m_file.path() + ": PPM takes rgb24 or rgb32");
    checkPictureSize(layout, size);
    toRgbRows(layout, data, m_rgb);
    const std::string header = "P6\n" + std::to_string(layout.width) + " " + std::to_string(layout.height) + "\n255\n";
    m_file.write(header.data(), header.size());
    m_file.write(m_rgb.data(), m_rgb.size());
}

void PpmWriter::finish()
{
    m_file.commit();
}

} // namespace orvex
