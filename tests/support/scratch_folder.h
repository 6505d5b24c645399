// A temporary folder for the movies a test writes or has ffmpeg make, removed
// with everything in it when the folder object goes.
#pragma once

#include "support/atom_builder.h"

#include <string>
#include <vector>

namespace orvex::test {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const std::string &path() const { return m_path; }
    // Writes bytes as the file name in the folder and returns its path.
    std::string write(const std::string &name, const Bytes &bytes) const;
    // Runs ffmpeg with args (inputs, codecs, options; without the output) to
    // make the file name in the folder, and returns its path. Throws
    // std::runtime_error when ffmpeg fails.
    std::string ffmpeg(const std::string &name, const std::vector<std::string> &args) const;

private:
    std::string m_path;
};

} // namespace orvex::test
