#include "support/run_tool.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace lumenpull::test {
namespace {

std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
    return text;
}

}  // namespace

ToolRun runLumenpull(const std::vector<std::string>& arguments, const std::string& workingDirectory) {
    // Output goes through temporary files, so a large report cannot block the child.
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr) throw std::runtime_error("tmpfile failed");
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        ::dup2(::fileno(out), STDOUT_FILENO);
        ::dup2(::fileno(err), STDERR_FILENO);
        if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0) ::_exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(LUMENPULL_EXE));
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(LUMENPULL_EXE, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ::lseek(::fileno(out), 0, SEEK_SET);
    ::lseek(::fileno(err), 0, SEEK_SET);
    run.output = drain(::fileno(out));
    run.errors = drain(::fileno(err));
    std::fclose(out);
    std::fclose(err);
    return run;
}

}  // namespace lumenpull::test
