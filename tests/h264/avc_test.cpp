// The 'avcC' record, the H.264 sample entry over a media built in memory,
// and the video signal description from the VUI or the 'colr'/'gama'
// extensions.
#include "MyH264/MyAVCConfiguration.h"
#include "MyH264/MyAVCSampleEntry.h"
#include "MyH264/MyH264Refusals.h"
#include "MyH264/MyVideoSignalInfo.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTHandle.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "support/atom_builder.h"
#include "support/refusal.h"
#include "support/debug_capture.h"
#include "support/h264_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

using namespace orvex::test;
using Bytes = std::vector<uint8_t>;

namespace {

// An image description entry with raw extension bytes; sizeField overrides
// its size when non-zero.
Bytes makeImageDescription(const std::string &dataFormat, const Bytes &extensions, uint32_t sizeField = 0)
{
    Atom entry = qt::imageDescription(dataFormat, 176, 144, {Atom::raw(extensions)});
    if (sizeField) entry.setSize(sizeField);
    return entry.bytes();
}

struct MediaFields {
    std::vector<Bytes> descriptions{};
    bool hasStsd = true;
    bool hasCtts = false;
};

// A video track's 'mdia' atom with those descriptions and optionally a 'ctts'.
Bytes makeMediaAtom(const MediaFields &fields)
{
    Atom stbl("stbl", std::vector<Atom>{});
    std::vector<Atom> entries;
    for (const auto &d : fields.descriptions)
        entries.push_back(Atom::raw(d));
    if (fields.hasStsd) stbl.add(qt::stsd(entries));
    if (fields.hasCtts) stbl.add(qt::table("ctts", {1, 0}, 1));
    return Atom("mdia", {qt::mdhd(600, 600), qt::hdlr("mhlr", "vide"), Atom("minf", {stbl})}).bytes();
}

// A record of the given header fields with one SPS and one PPS.
Bytes one(AvcCFields f)
{
    f.sps = {buildSps({})};
    f.pps = {buildPps({})};
    return buildAvcC(f);
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The header fields and the ids of the two sets of an accepted record, or
// the refusal text; "traced" when a record-level refusal wrote a trace line.
std::string recordSummary(const BYTE *data, DWORD size)
{
    DebugCapture capture;
    std::unique_ptr<CMyAVCConfiguration> r;
    const std::string refused = refusalOf([&] { r = std::make_unique<CMyAVCConfiguration>(data, size); });
    if (!r) return refused + (capture.lines().empty() ? "" : " traced");
    std::ostringstream s;
    s << int(r->m_AVCProfileIndication) << '/' << int(r->m_profile_compatibility) << '/' << int(r->m_AVCLevelIndication)
      << " len" << int(r->m_lengthSizeMinusOne) << " sets" << int(r->m_numOfSequenceParameterSets) << '/'
      << int(r->m_numOfPictureParameterSets) << " sps" << r->GetSPS().m_seq_parameter_set_id << " pps"
      << r->GetPPS().m_pic_parameter_set_id;
    return s.str();
}

std::string recordSummary(const Bytes &atom)
{
    return recordSummary(atom.data(), DWORD(atom.size()));
}

TEST(AvcConfiguration, HeaderChecksListsAndBounds)
{
    const Bytes good = one({});
    const size_t spsEnd = 14 + 2 + buildSps({}).size();
    Bytes pastTheBuffer = good; // the SPS length claims more than is there
    pastTheBuffer[14] = 0xFF;
    pastTheBuffer[15] = 0xF0;
    const struct {
        const char *name;
        Bytes atom;
        const char *expected;
    } rows[] = {
        {"main record",
         buildAvcC({.AVCProfileIndication = 77,
                    .profile_compatibility = 0x40,
                    .AVCLevelIndication = 31,
                    .byte12 = 0xFD,
                    .sps = {buildSps({.profile_idc = 77, .seq_parameter_set_id = 3})},
                    .pps = {buildPps({.pic_parameter_set_id = 9, .seq_parameter_set_id = 3})}}),
         "77/64/31 len1 sets1/1 sps3 pps9"},
        {"reserved bits all set", good, "66/192/30 len3 sets1/1 sps0 pps0"},
        {"not avcC", one({.atomFormat = 0x61766331}), MyH264Refusal::kAtomFormat},
        {"size 14", one({.atomSize = 14}), MyH264Refusal::kAtomSize},
        {"version 0", one({.configurationVersion = 0}), MyH264Refusal::kVersion},
        {"byte 12 0xFB", one({.byte12 = 0xFB}), MyH264Refusal::kLengthSizeReserved},
        {"byte 13 0x01", one({.byte13_reserved = 0}), MyH264Refusal::kSpsCountReserved},
        {"no sps", buildAvcC({.pps = {buildPps({})}}), MyH264Refusal::kSpsCount},
        {"no pps", buildAvcC({.sps = {buildSps({})}}), MyH264Refusal::kPpsCount},
        {"sps ids differ", buildAvcC({.sps = {buildSps({})}, .pps = {buildPps({.seq_parameter_set_id = 1})}}),
         MyH264Refusal::kSpsIdMismatch},
        {"main profile cabac",
         qt::avcC(buildSps({.profile_idc = 77}), buildPps({.entropy_coding_mode_flag = true})).bytes(),
         "m_entropy_coding_mode_flag CABAC traced"},
        // A second SPS refused after the first was built: the first is freed.
        {"second sps refused",
         buildAvcC({.sps = {buildSps({}), buildSps({.log2_max_frame_num_minus4 = 13})}, .pps = {buildPps({})}}),
         MyH264Refusal::kLog2MaxFrameNum},
        {"sps length past the buffer", pastTheBuffer, MyH264Refusal::kRecordTruncated},
        {"cut before the pps count", Bytes(good.begin(), good.begin() + std::ptrdiff_t(spsEnd)),
         MyH264Refusal::kRecordTruncated},
    };
    for (const auto &row : rows)
        EXPECT_EQ(recordSummary(row.atom), row.expected) << row.name;
    // A buffer of exactly each shorter length, so the sanitizer sees any read behind it.
    for (size_t length = 0; length < good.size(); ++length) {
        std::unique_ptr<BYTE[]> copy(new BYTE[length ? length : 1]);
        std::copy(good.begin(), good.begin() + std::ptrdiff_t(length), copy.get());
        EXPECT_FALSE(refusalOf([&] { CMyAVCConfiguration(copy.get(), DWORD(length)); }).empty()) << length;
    }
    EXPECT_EQ(recordSummary(nullptr, 100), MyH264Refusal::kRecordTruncated);
}

MediaFields withDescription(const Bytes &description)
{
    MediaFields f;
    f.descriptions.push_back(description);
    return f;
}

// Both entry points over one media, with the trace lines: "served sps0" or "none".
std::string entryOutcome(const MediaFields &fields)
{
    const Bytes mdia = makeMediaAtom(fields);
    CMyQTMedia media(mdia.data(), nullptr);
    DebugCapture capture;
    const auto record = CreateAVCConfiguration(&media);
    const Bytes held = one({}); // the out parameter is emptied first
    auto out = std::make_unique<CMyAVCConfiguration>(held.data(), DWORD(held.size()));
    const bool checked = CheckAVCSampleEntry(&media, &out);
    std::string text = record ? "served sps" + std::to_string(record->GetSPS().m_seq_parameter_set_id) : "none";
    if (checked != (record != nullptr) || (out != nullptr) != checked) text += " (check differs)";
    for (const auto &line : capture.messages())
        text += " | " + line;
    return text;
}

TEST(AvcSampleEntry, WhichDescriptionsAreServed)
{
    const Bytes avcC = qt::avcC(buildSps({.seq_parameter_set_id = 2}), buildPps({.seq_parameter_set_id = 2})).bytes();
    const Bytes pasp = Atom("pasp", Bytes{0, 0, 0, 1, 0, 0, 0, 1}).bytes();
    const auto description = [](const Bytes &extensions) {
        return withDescription(makeImageDescription("avc1", extensions));
    };
    Bytes shortEntry = makeImageDescription("avc1", {}); // shorter than an image description
    shortEntry.resize(40);
    shortEntry[3] = 40;
    Bytes longPasp = pasp; // runs past the description
    longPasp[3] = 0x40;
    const struct {
        const char *name;
        MediaFields media;
        const char *expected;
    } rows[] = {
        {"avc1 with a record", description(avcC), "served sps2"},
        {"record behind other extensions", description(concat({pasp, Atom("colr", Bytes(10)).bytes(), avcC})),
         "served sps2"},
        {"ctts", MediaFields{.descriptions = {makeImageDescription("avc1", avcC)}, .hasCtts = true},
         "none | Has 'ctts' atom \n | Has 'ctts' atom \n"},
        {"not avc1", withDescription(makeImageDescription("mp4v", avcC)), "none"},
        {"shorter than an image description", withDescription(shortEntry), "none"},
        {"two descriptions",
         MediaFields{.descriptions = {makeImageDescription("avc1", avcC), makeImageDescription("avc1", avcC)}}, "none"},
        {"no stsd", MediaFields{.hasStsd = false}, "none"},
        {"size zero before the record", description(concat({{0, 0, 0, 0, 'f', 'r', 'e', 'e'}, avcC})), "none"},
        {"extension past the description", description(concat({longPasp, avcC})), "none"},
        {"cabac record",
         description(qt::avcC(buildSps({.profile_idc = 77}), buildPps({.entropy_coding_mode_flag = true})).bytes()),
         "none | m_entropy_coding_mode_flag is CABAC. \n | m_entropy_coding_mode_flag is CABAC. \n"},
        // The record's last byte lies beyond the description's size, though
        // still inside the movie atom.
        {"record cut by the description end",
         withDescription(makeImageDescription("avc1", avcC, uint32_t(86 + avcC.size() - 1))), "none"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(entryOutcome(row.media), row.expected) << row.name;
}

Bytes colr(uint32_t size, uint16_t primaries, uint16_t transfer, uint16_t matrix)
{
    return ByteWriter().be32(size).fourcc("colr").fourcc("nclc").be16(primaries).be16(transfer).be16(matrix).data();
}

Bytes gama(uint32_t gamma, uint32_t size = 12)
{
    return ByteWriter().be32(size).fourcc("gama").be32(gamma).data();
}

// An image description as the reading layer copies it out of a movie.
std::unique_ptr<CMyImageDescription> description(const Bytes &extensions)
{
    const Bytes mdia = makeMediaAtom(withDescription(makeImageDescription("avc1", extensions)));
    CMyQTMedia media(mdia.data(), nullptr);
    CMyQTHandlePtr handle(NewHandle(0));
    GetMediaSampleDescription(&media, 1, handle.get());
    return std::make_unique<CMyImageDescription>(handle->GetData(), GetHandleSize(handle.get()));
}

std::string signal(const CMyVideoSignalInfo &i)
{
    std::ostringstream s;
    s << i.m_video_format << ' ' << i.m_video_full_range_flag << ' ' << i.m_colour_primaries << ' '
      << i.m_transfer_characteristics << ' ' << i.m_matrix_coefficients;
    return s.str();
}

TEST(VideoSignal, VuiFirstThenColrAndGamaThenDefaults)
{
    const VuiFields full{.video_signal_type_present_flag = true,
                         .video_format = 1,
                         .video_full_range_flag = true,
                         .colour_description_present_flag = true,
                         .colour_primaries = 9,
                         .transfer_characteristics = 16,
                         .matrix_coefficients = 10};
    VuiFields noColour = full;
    noColour.colour_description_present_flag = false;
    const Bytes colrGama22 = concat({colr(18, 5, 6, 5), gama(0x00023333)});
    const struct {
        const char *name;
        std::optional<SpsFields> sps;
        std::optional<Bytes> extensions; // none: no description
        const char *expected;
    } rows[] = {
        {"neither", std::nullopt, std::nullopt, "5 0 2 2 2"},
        {"full vui wins", SpsFields{.vui = full}, colrGama22, "1 1 9 16 10"},
        {"vui without colours", SpsFields{.vui = noColour}, colrGama22, "1 1 5 4 5"},
        {"no vui", SpsFields{}, colrGama22, "5 0 5 4 5"},
        {"gamma 2.8", std::nullopt, concat({colr(18, 5, 6, 5), gama(0x0002CCCD)}), "5 0 5 6 5"},
        {"gamma just above 2.2", std::nullopt, concat({colr(18, 6, 6, 6), gama(0x00023334)}), "5 0 6 6 6"},
        {"colr matrix 0x0102", std::nullopt, colr(18, 9, 14, 0x0102), "5 0 9 14 258"},
        // Atoms too short for their values change nothing.
        {"short colr and gama", std::nullopt, concat({colr(17, 9, 9, 9), gama(0x00023333, 11)}), "5 0 2 2 2"},
        {"colr cut by the description end", std::nullopt, Atom("colr", Bytes{'n', 'c', 'l', 'c', 0, 9, 0, 9}).bytes(),
         "5 0 2 2 2"},
    };
    for (const auto &row : rows) {
        std::unique_ptr<CMyH264SPS> sps;
        if (row.sps) {
            const Bytes nal = buildSps(*row.sps);
            sps = std::make_unique<CMyH264SPS>(WORD(nal.size()), nal.data());
        }
        const auto d = row.extensions ? description(*row.extensions) : nullptr;
        EXPECT_EQ(signal(GetVideoSignalInfo(sps.get(), d.get())), row.expected) << row.name;
    }
}

} // namespace
