#include "support/scratch_folder.h"

#include "support/movie_writer.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace orvex::test {

ScratchFolder::ScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    m_path = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ScratchFolder::write(const std::string &name, const Bytes &bytes) const
{
    writeFileBytes(m_path + "/" + name, bytes);
    return m_path + "/" + name;
}

std::string ScratchFolder::ffmpeg(const std::string &name, const std::vector<std::string> &args) const
{
    const std::string out = m_path + "/" + name;
    // Single-threaded and bit-exact, so a movie is the same on every run.
    std::vector<std::string> all = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    all.insert(all.end(), args.begin(), args.end());
    all.insert(all.end(), {"-map_metadata", "-1", "-fflags", "+bitexact", "-threads", "1", out});
    std::vector<char *> argv;
    for (std::string &arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("ffmpeg could not make " + name);
    return out;
}

} // namespace orvex::test
