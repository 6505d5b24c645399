#include "adts_writer.h"

#include "MovFileParserFilter/MovParserMediaTypes.h"

#include <cstring>

namespace orvex {

namespace {

AacConfig configOf(const std::string &path, const uint8_t *block, size_t size)
{
    MovParserAACConfigHeader header;
    if (!block || size < sizeof(header)) throw OutputError("cannot write " + path + ": the AAC format block is short");
    std::memcpy(&header, block, sizeof(header));
    if (header.cbConfig > size - sizeof(header))
        throw OutputError("cannot write " + path + ": the AAC format block is shorter than its configuration");
    try {
        return parseEsdsConfig(block + sizeof(header), header.cbConfig);
    } catch (const AacConfigError &e) {
        throw OutputError("cannot write " + path + ": " + e.what());
    }
}

} // namespace

AdtsWriter::AdtsWriter(const std::string &path, const uint8_t *formatBlock, size_t formatSize)
    : m_file(path), m_config(configOf(path, formatBlock, formatSize))
{
}

void AdtsWriter::writeSample(const uint8_t *data, size_t size)
{
    uint8_t header[7];
    try {
        adtsHeader(m_config, size, header);
    } catch (const AacConfigError &e) {
        throw OutputError("cannot write " + m_file.path() + ": " + e.what());
    }
    m_file.write(header, sizeof(header));
    m_file.write(data, size);
}

void AdtsWriter::finish()
{
    m_file.commit();
}

} // namespace orvex
