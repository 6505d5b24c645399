// Splits an H.264 Annex-B byte stream (start-code delimited NAL units) into
// access units in the form a QuickTime movie stores them: each NAL unit with
// a 4-byte big-endian length prefix, parameter sets taken out for the 'avcC'.
#pragma once

#include "support/atom_builder.h"

#include <string>
#include <vector>

namespace orvex::test {

struct AccessUnit {
    Bytes sample; // length-prefixed NAL units, without SPS and PPS
    bool idr = false;
};

struct H264Stream {
    Bytes sps; // the first SPS and PPS NAL units, without start codes
    Bytes pps;
    std::vector<AccessUnit> accessUnits;
};

// Groups the NAL units into access units: a new one starts at an access unit
// delimiter, SPS, PPS or SEI after a slice, or at a slice whose
// first_mb_in_slice is 0.
H264Stream parseAnnexB(const Bytes &stream);
// Reads a whole file (e.g. tests/data/movies/*.h264); throws std::runtime_error if it cannot.
Bytes readFileBytes(const std::string &path);

} // namespace orvex::test
