// Builds the 'mdia' atom of a video track in memory, enough for the sample
// description questions: a 'vide' handler, one or more image descriptions
// with their extension atoms, and optionally a 'ctts' atom.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvex::test {

// An atom: size, four-character type, body.
std::vector<uint8_t> makeAtom(const std::string &type, const std::vector<uint8_t> &body);

// An image description entry of the 86-byte fixed part (big-endian, as in a
// file) followed by the extension atoms. sizeField overrides the entry's
// size field when non-zero.
std::vector<uint8_t> makeImageDescription(const std::string &dataFormat, const std::vector<uint8_t> &extensions,
                                          uint32_t sizeField = 0);

struct MediaFields {
    std::string handlerType = "vide";
    std::vector<std::vector<uint8_t>> descriptions{};
    bool hasStsd = true;
    bool hasCtts = false;
};

// The whole 'mdia' atom.
std::vector<uint8_t> makeMediaAtom(const MediaFields &fields);

} // namespace orvex::test
