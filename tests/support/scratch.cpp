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
    if (args.empty() || posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), environ) != 0) return -1;
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

ProgramRun Run(const std::vector<std::string> &args)
{
    ProgramRun run{-1, {}};
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    pid_t pid = spawnWith(args, &actions);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) run.out.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    if (pid > 0) run.status = WaitExit(pid);
    return run;
}

} // namespace orvex::test
