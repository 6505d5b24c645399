// A scratch folder for one test, and one way to run a program of the build.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvex::test {

// A whole file's bytes; "" when it cannot be read.
std::string ReadFileText(const std::string &path);

// A fresh temporary folder, removed with everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
    const std::string &folder() const { return m_folder; }
    std::string path(const std::string &name) const { return m_folder + "/" + name; }
    // Writes bytes as the file name in the folder and returns its path.
    std::string write(const std::string &name, const std::vector<uint8_t> &bytes) const;
    // Runs ffmpeg with args (inputs, codecs, options; without the output) to
    // make the file name in the folder, and returns its path. Throws
    // std::runtime_error when ffmpeg fails.
    std::string ffmpeg(const std::string &name, const std::vector<std::string> &args) const;

private:
    std::string m_folder;
};

// A registry file of its own: ORVEX_REGISTRY points into a scratch folder for
// as long as the object lives.
class TempRegistry : public ScratchFolder {
public:
    TempRegistry();
    ~TempRegistry();
    const std::string &file() const { return m_file; }
    std::string read() const { return ReadFileText(m_file); }
    void write(const std::string &text) const { ScratchFolder::write(kName, {text.begin(), text.end()}); }

private:
    static constexpr char kName[] = "registry";
    std::string m_file;
};

// A program in the build's bin folder, by name.
std::string BuildProgram(const std::string &name);

// Starts args[0] with the rest as its arguments, in this environment.
pid_t Spawn(const std::vector<std::string> &args);
// Its exit status; 128 + the signal when a signal ended it, as a shell says.
int WaitExit(pid_t pid);

struct ProgramRun {
    int status = -1;      // as WaitExit
    std::string out, err; // standard output and error
};
// Runs args[0] with the rest as its arguments and standard input empty.
ProgramRun Run(const std::vector<std::string> &args);

} // namespace orvex::test
