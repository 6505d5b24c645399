#include "media_builder.h"

#include "support/h264_writer.h"

namespace orvex::test {

namespace {

uint32_t fourCC(const std::string &code)
{
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) | (uint32_t(uint8_t(code[2])) << 8) |
           uint32_t(uint8_t(code[3]));
}

void append(std::vector<uint8_t> &out, const std::vector<uint8_t> &bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace

std::vector<uint8_t> makeAtom(const std::string &type, const std::vector<uint8_t> &body)
{
    std::vector<uint8_t> atom;
    appendU32(atom, static_cast<uint32_t>(body.size() + 8));
    appendU32(atom, fourCC(type));
    append(atom, body);
    return atom;
}

std::vector<uint8_t> makeImageDescription(const std::string &dataFormat, const std::vector<uint8_t> &extensions,
                                          uint32_t sizeField)
{
    std::vector<uint8_t> entry;
    appendU32(entry, sizeField ? sizeField : static_cast<uint32_t>(86 + extensions.size()));
    appendU32(entry, fourCC(dataFormat));
    appendU32(entry, 0);                // reserved
    appendU16(entry, 0);                // reserved
    appendU16(entry, 1);                // data reference index
    appendU16(entry, 0);                // version
    appendU16(entry, 0);                // revision level
    appendU32(entry, 0);                // vendor
    appendU32(entry, 0);                // temporal quality
    appendU32(entry, 0);                // spatial quality
    appendU16(entry, 176);              // width
    appendU16(entry, 144);              // height
    appendU32(entry, 0x00480000);       // horizontal resolution
    appendU32(entry, 0x00480000);       // vertical resolution
    appendU32(entry, 0);                // data size
    appendU16(entry, 1);                // frame count
    entry.resize(entry.size() + 32, 0); // compressor name
    appendU16(entry, 24);               // depth
    appendU16(entry, 0xFFFF);           // colour table id -1
    append(entry, extensions);
    return entry;
}

std::vector<uint8_t> makeMediaAtom(const MediaFields &fields)
{
    std::vector<uint8_t> mdhd;
    appendU32(mdhd, 0);   // version and flags
    appendU32(mdhd, 0);   // creation time
    appendU32(mdhd, 0);   // modification time
    appendU32(mdhd, 600); // time scale
    appendU32(mdhd, 600); // duration
    appendU16(mdhd, 0);
    appendU16(mdhd, 0);

    std::vector<uint8_t> hdlr;
    appendU32(hdlr, 0);
    appendU32(hdlr, fourCC("mhlr"));
    appendU32(hdlr, fourCC(fields.handlerType));
    appendU32(hdlr, 0);
    appendU32(hdlr, 0);
    appendU32(hdlr, 0);
    hdlr.push_back(0); // empty name

    std::vector<uint8_t> stbl;
    if (fields.hasStsd) {
        std::vector<uint8_t> stsd;
        appendU32(stsd, 0);
        appendU32(stsd, static_cast<uint32_t>(fields.descriptions.size()));
        for (const auto &d : fields.descriptions)
            append(stsd, d);
        append(stbl, makeAtom("stsd", stsd));
    }
    if (fields.hasCtts) {
        std::vector<uint8_t> ctts;
        appendU32(ctts, 0);
        appendU32(ctts, 1);
        appendU32(ctts, 1);
        appendU32(ctts, 0);
        append(stbl, makeAtom("ctts", ctts));
    }
    std::vector<uint8_t> body;
    append(body, makeAtom("mdhd", mdhd));
    append(body, makeAtom("hdlr", hdlr));
    append(body, makeAtom("minf", makeAtom("stbl", stbl)));
    return makeAtom("mdia", body);
}

} // namespace orvex::test
