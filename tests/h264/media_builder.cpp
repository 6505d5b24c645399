#include "media_builder.h"

#include "support/atom_builder.h"

namespace orvex::test {

std::vector<uint8_t> makeAtom(const std::string &type, const std::vector<uint8_t> &body)
{
    return Atom(type, body).bytes();
}

std::vector<uint8_t> makeImageDescription(const std::string &dataFormat, const std::vector<uint8_t> &extensions,
                                          uint32_t sizeField)
{
    ByteWriter w;
    w.be32(sizeField ? sizeField : uint32_t(86 + extensions.size())).fourcc(dataFormat);
    w.zeros(6).be16(1);                        // reserved, data reference index
    w.zeros(16);                               // version, revision, vendor, temporal and spatial quality
    w.be16(176).be16(144);                     // width, height
    w.be32(0x00480000).be32(0x00480000);       // resolutions
    w.be32(0).be16(1).zeros(32);               // data size, frame count, compressor name
    w.be16(24).be16(0xFFFF).bytes(extensions); // depth, colour table id -1
    return w.data();
}

std::vector<uint8_t> makeMediaAtom(const MediaFields &fields)
{
    Atom stbl("stbl", std::vector<Atom>{});
    if (fields.hasStsd) {
        ByteWriter stsd;
        stsd.be32(0).be32(uint32_t(fields.descriptions.size()));
        for (const auto &d : fields.descriptions)
            stsd.bytes(d);
        stbl.add(Atom("stsd", stsd.data()));
    }
    if (fields.hasCtts) stbl.add(Atom("ctts", ByteWriter().be32(0).be32(1).be32(1).be32(0).data()));
    const Atom mdhd("mdhd", ByteWriter().zeros(12).be32(600).be32(600).be32(0).data()); // time scale, duration
    const Atom hdlr("hdlr", ByteWriter().be32(0).fourcc("mhlr").fourcc(fields.handlerType).zeros(13).data());
    return Atom("mdia", {mdhd, hdlr, Atom("minf", {stbl})}).bytes();
}

} // namespace orvex::test
