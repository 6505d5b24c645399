#include "tools/program_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

extern char **environ;

namespace orvex::test {

namespace {

std::string readAll(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof(buffer))) > 0)
        text.append(buffer, size_t(n));
    return text;
}

// A file that holds what the program writes to one stream.
class CaptureFile {
public:
    CaptureFile()
    {
        char pattern[] = "/tmp/orvex-run-XXXXXX";
        m_fd = mkstemp(pattern);
        if (m_fd < 0) throw std::runtime_error("cannot make a capture file");
        unlink(pattern);
    }
    ~CaptureFile() { close(m_fd); }
    int fd() const { return m_fd; }
    std::string contents() const
    {
        lseek(m_fd, 0, SEEK_SET);
        return readAll(m_fd);
    }

private:
    int m_fd;
};

} // namespace

ProgramRun runProgram(const std::string &program, const std::vector<std::string> &args)
{
    CaptureFile out, err;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out.fd(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.fd(), STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const auto &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot run " + program);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    ProgramRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = out.contents();
    run.err = err.contents();
    return run;
}

std::string orvexProgram()
{
    return std::string(ORVEX_BINARY_DIR) + "/bin/orvex";
}

} // namespace orvex::test
