#include "y4m_writer.h"

#include <algorithm>
#include <cstring>

namespace orvex {

Y4mWriter::Y4mWriter(const std::string &path, uint32_t rateNum, uint32_t rateDen)
    : m_file(path), m_rateNum(rateNum ? rateNum : 25), m_rateDen(rateNum && rateDen ? rateDen : 1)
{
}

void Y4mWriter::writePicture(const PictureLayout &layout, const uint8_t *data, size_t size)
{
    if (!isPlanar(layout.format)) throw OutputError("cannot write " + m_file.path() + ": Y4M takes yv12 or iyuv");
    checkPictureSize(layout, size);
    if (m_width == 0) {
        m_width = layout.width;
        m_height = layout.height;
        const std::string header = "YUV4MPEG2 W" + std::to_string(m_width) + " H" + std::to_string(m_height) + " F" +
                                   std::to_string(m_rateNum) + ":" + std::to_string(m_rateDen) + " Ip A1:1 C420jpeg\n";
        m_file.write(header.data(), header.size());
    } else if (layout.width != m_width || layout.height != m_height) {
        throw OutputError("cannot write " + m_file.path() + ": the picture size changed within the stream");
    }
    // Chroma planes of odd sizes round up; the buffer holds the rounded-down
    // part, so the last column and row repeat.
    const uint32_t cw = (m_width + 1) / 2, ch = (m_height + 1) / 2;
    const uint32_t haveW = std::max<uint32_t>(1, m_width / 2), haveH = std::max<uint32_t>(1, m_height / 2);
    m_frame.assign("FRAME\n");
    m_frame.reserve(6 + size_t(m_width) * m_height + 2 * size_t(cw) * ch);
    for (uint32_t y = 0; y < m_height; ++y)
        m_frame.append(reinterpret_cast<const char *>(data + layout.offset[0] + y * layout.stride[0]), m_width);
    for (int plane = 1; plane <= 2; ++plane) {
        for (uint32_t y = 0; y < ch; ++y) {
            const uint8_t *row = data + layout.offset[plane] + std::min(y, haveH - 1) * layout.stride[plane];
            m_frame.append(reinterpret_cast<const char *>(row), std::min(cw, haveW));
            if (cw > haveW) m_frame.push_back(char(row[haveW - 1]));
        }
    }
    m_file.write(m_frame.data(), m_frame.size());
}

void Y4mWriter::finish()
{
    m_file.commit();
}

} // namespace orvex
