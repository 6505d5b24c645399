#include "support/scratch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char **environ;

namespace orvex::test {

ScratchFolder::ScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-test-XXXXXX").string();
    if (::mkdtemp(pattern.data())) m_folder = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ec);
}

std::string ScratchFolder::write(const std::string &name, const std::vector<uint8_t> &bytes) const
{
    WriteFileText(path(name), std::string(bytes.begin(), bytes.end()));
    return path(name);
}

std::string ScratchFolder::ffmpeg(const std::string &name, const std::vector<std::string> &args) const
{
    // Single-threaded and bit-exact, so a movie is the same on every run.
    std::vector<std::string> all = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    all.insert(all.end(), args.begin(), args.end());
    all.insert(all.end(), {"-map_metadata", "-1", "-fflags", "+bitexact", "-threads", "1", path(name)});
    const ProgramRun run = Run(all);
    if (run.status != 0) throw std::runtime_error("ffmpeg could not make " + name + ": " + run.err);
    return path(name);
}

TempRegistry::TempRegistry() : m_file(path("registry"))
{
    ::setenv("ORVEX_REGISTRY", m_file.c_str(), 1);
}

TempRegistry::~TempRegistry()
{
    ::unsetenv("ORVEX_REGISTRY");
}

std::string TempRegistry::read() const
{
    return ReadFileText(m_file);
}

void TempRegistry::write(const std::string &text) const
{
    WriteFileText(m_file, text);
}

std::string ReadFileText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFileText(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string BuildProgram(const std::string &name)
{
    return std::string(ORVEX_BINARY_DIR) + "/bin/" + name;
}

namespace {
pid_t spawnWith(const std::vector<std::string> &args, posix_spawn_file_actions_t *actions)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (args.empty() || posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}
} // namespace

pid_t Spawn(const std::vector<std::string> &args)
{
    return spawnWith(args, nullptr);
}

int WaitExit(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

namespace {
// A file that holds what a program writes to one stream; files rather than
// pipes, so a program that fills one stream never blocks on it.
class CaptureFile {
public:
    CaptureFile()
    {
        char pattern[] = "/tmp/orvex-run-XXXXXX";
        m_fd = ::mkstemp(pattern);
        if (m_fd >= 0) ::unlink(pattern);
    }
    ~CaptureFile()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    CaptureFile(const CaptureFile &) = delete;
    CaptureFile &operator=(const CaptureFile &) = delete;
    int fd() const { return m_fd; }
    std::string contents() const
    {
        std::string text;
        char buffer[4096];
        ssize_t n;
        ::lseek(m_fd, 0, SEEK_SET);
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0) text.append(buffer, static_cast<size_t>(n));
        return text;
    }

private:
    int m_fd;
};
} // namespace

ProgramRun Run(const std::vector<std::string> &args)
{
    ProgramRun run;
    CaptureFile out, err;
    if (out.fd() < 0 || err.fd() < 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out.fd(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.fd(), 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const pid_t pid = spawnWith(args, &actions);
    posix_spawn_file_actions_destroy(&actions);
    if (pid <= 0) return run;
    run.status = WaitExit(pid);
    run.out = out.contents();
    run.err = err.contents();
    return run;
}

} // namespace orvex::test
