#include "support/scratch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

extern char **environ;

namespace orvex::test {

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

std::string contents(FILE *file)
{
    std::string text;
    char buffer[4096];
    std::rewind(file);
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    return text;
}

} // namespace

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
    std::ofstream(path(name), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
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

TempRegistry::TempRegistry() : m_file(path(kName))
{
    ::setenv("ORVEX_REGISTRY", m_file.c_str(), 1);
}

TempRegistry::~TempRegistry()
{
    ::unsetenv("ORVEX_REGISTRY");
}

std::string ReadFileText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string BuildProgram(const std::string &name)
{
    return std::string(ORVEX_BINARY_DIR) + "/bin/" + name;
}

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
    ProgramRun run;
    // Files rather than pipes, so a program that fills one stream never blocks on it.
    const std::unique_ptr<FILE, int (*)(FILE *)> out(std::tmpfile(), &std::fclose), err(std::tmpfile(), &std::fclose);
    if (!out || !err) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fileno(out.get()), 1);
    posix_spawn_file_actions_adddup2(&actions, fileno(err.get()), 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const pid_t pid = spawnWith(args, &actions);
    posix_spawn_file_actions_destroy(&actions);
    if (pid <= 0) return run;
    run.status = WaitExit(pid);
    run.out = contents(out.get());
    run.err = contents(err.get());
    return run;
}

} // namespace orvex::test
