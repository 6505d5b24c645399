// Makers of the QuickTime atoms a movie holds, with the fields the reading
// layer looks at as parameters and sensible values everywhere else. Each
// returns an Atom that a test may still change (sizes, children, bodies).
#pragma once

#include "support/atom_builder.h"

#include <string>
#include <utility>
#include <vector>

namespace orvex::test::qt {

Atom mvhd(uint32_t timeScale, uint32_t duration);
Atom tkhd(uint32_t trackId, uint32_t duration, uint16_t width = 0, uint16_t height = 0);

struct EditEntry {
    uint32_t trackDuration;
    int32_t mediaTime;
    uint32_t mediaRate; // 16.16
};
Atom elst(const std::vector<EditEntry> &entries);
// 'edts' holding an 'elst'.
Atom edts(const std::vector<EditEntry> &entries);

Atom mdhd(int32_t timeScale, int32_t duration);
Atom hdlr(const std::string &componentType, const std::string &subtype, const std::string &name = "",
          const std::string &manufacturer = "appl");

// A data reference entry of the given kind ('url ', 'alis') with its flags and data.
Atom dataReference(const std::string &kind, uint32_t flags, Bytes data = {});
Atom dref(std::vector<Atom> entries);
// 'dinf' holding a 'dref' with one self reference ('url ', flag 1).
Atom dinfSelf();

// 'stsd' with its entry count and the entries (each an atom-like record whose
// "type" is its data format).
Atom stsd(std::vector<Atom> entries);
// An image description record: 86 fixed bytes, then the extension atoms.
Atom imageDescription(const std::string &format, int16_t width, int16_t height, std::vector<Atom> extensions = {},
                      uint16_t depth = 24);
// Sound description records of version 0 and 1.
Atom soundDescriptionV0(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate,
                        std::vector<Atom> extensions = {});
Atom soundDescriptionV1(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate,
                        uint32_t bytesPerFrame, std::vector<Atom> extensions = {});
// Version 2: 72 fixed bytes, the rate as a double.
Atom soundDescriptionV2(const std::string &format, uint32_t channels, uint32_t bits, double sampleRate);
// An 'avcC' record with one SPS and one PPS.
Atom avcC(const Bytes &sps, const Bytes &pps);

// Sample tables; entries as in the file.
Atom stts(const std::vector<std::pair<uint32_t, uint32_t>> &countAndDuration);
Atom stss(const std::vector<uint32_t> &syncSampleNumbers);
struct ChunkRun {
    uint32_t firstChunk;
    uint32_t samplesPerChunk;
    uint32_t descriptionIndex;
};
Atom stsc(const std::vector<ChunkRun> &runs);
Atom stco(const std::vector<uint32_t> &offsets);
// Sizes from the table (common size 0).
Atom stsz(const std::vector<uint32_t> &sizes);
// One common size for count samples.
Atom stszCommon(uint32_t commonSize, uint32_t count);
Atom ctts(const std::vector<std::pair<uint32_t, int32_t>> &countAndOffset);

// The user data with the camera tag as its first child.
Atom udtaCameraTag();
// The camera tag atom alone (size 20, 'ORVX', "OrvexAVC0001").
Atom cameraTag();

// Everything of one track. The media type picks the media header ('vmhd',
// 'smhd', 'gmhd').
struct TrackAtoms {
    uint32_t trackId = 1;
    std::string mediaType = "vide";
    int32_t timeScale = 600;
    int32_t duration = 0;
    uint32_t trackDuration = 0;   // movie time units
    std::vector<EditEntry> edits; // none: no 'edts'
    Atom sampleDescriptions = stsd({});
    std::vector<Atom> tables; // 'stts', 'stss', 'stsc', 'stsz', 'stco', ...
};
Atom trak(const TrackAtoms &track);

} // namespace orvex::test::qt
