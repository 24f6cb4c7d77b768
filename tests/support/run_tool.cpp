#include "support/run_tool.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace lumenpull::test {
namespace {

std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
    return text;
}

// LUMENPULL_WINDOWS_EXE names a Windows build to run under Wine instead of
// the native executable; its console output has CRLF line ends.
const char* windowsExecutable() {
    const char* exe = std::getenv("LUMENPULL_WINDOWS_EXE");
    return exe != nullptr && *exe != '\0' ? exe : nullptr;
}

std::string withUnixLineEnds(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out.push_back(text[i]);
    }
    return out;
}

// Seconds a run may take before it is stopped and reported as hung:
// LUMENPULL_TOOL_TIMEOUT when set, otherwise two minutes (generous for
// Wine's start and for sanitizer builds).
std::chrono::milliseconds toolTimeout() {
    const char* text = std::getenv("LUMENPULL_TOOL_TIMEOUT");
    const long seconds = text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : 120;
    return std::chrono::seconds(seconds > 0 ? seconds : 120);
}

// Waits for the child, whose resource use goes to `usage`; past the
// deadline kills its whole process group (Wine starts helpers of its own)
// and throws, so a hang fails the test.
int waitWithTimeout(pid_t child, struct rusage& usage) {
    const auto deadline = std::chrono::steady_clock::now() + toolTimeout();
    auto pause = std::chrono::microseconds(200);
    int status = 0;
    for (;;) {
        const pid_t done = ::wait4(child, &status, WNOHANG, &usage);
        if (done == child) return status;
        if (done < 0) throw std::runtime_error("waitpid failed");
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(-child, SIGKILL);
            ::waitpid(child, &status, 0);
            throw std::runtime_error("the tool did not finish within " + std::to_string(toolTimeout().count() / 1000) +
                                     " s (LUMENPULL_TOOL_TIMEOUT)");
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(10000));
    }
}

}  // namespace

bool runsWindowsBuild() { return windowsExecutable() != nullptr; }

char pathSeparator() { return runsWindowsBuild() ? '\\' : '/'; }

namespace {

ToolRun runOnce(const std::vector<std::string>& arguments, const std::string& workingDirectory) {
    // Output goes through temporary files, so a large report cannot block the child.
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr) throw std::runtime_error("tmpfile failed");
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        ::setpgid(0, 0);
        ::dup2(::fileno(out), STDOUT_FILENO);
        ::dup2(::fileno(err), STDERR_FILENO);
        if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0) ::_exit(126);
        std::vector<char*> argv;
        const char* windowsExe = windowsExecutable();
        if (windowsExe != nullptr) {
            ::setenv("WINEDEBUG", "-all", 1);
            // File names on disk are UTF-8; Wine maps them to the code page by the locale.
            ::setenv("LANG", "C.UTF-8", 1);
            ::unsetenv("LC_ALL");
            argv.push_back(const_cast<char*>("wine"));
            argv.push_back(const_cast<char*>(windowsExe));
        } else {
#ifdef LUMENPULL_EXE_EMULATOR
            // A cross-built executable (the 32-bit build) runs under its emulator.
            argv.push_back(const_cast<char*>(LUMENPULL_EXE_EMULATOR));
#endif
            argv.push_back(const_cast<char*>(LUMENPULL_EXE));
        }
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (windowsExe != nullptr)
            ::execvp("wine", argv.data());
        else
            ::execv(argv.front(), argv.data());
        ::_exit(127);
    }
    ::setpgid(child, child);  // also here: the kill may come before the child ran
    int status = 0;
    struct rusage usage {};
    try {
        status = waitWithTimeout(child, usage);
    } catch (...) {
        std::fclose(out);
        std::fclose(err);
        throw;
    }
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.peakKiB = usage.ru_maxrss;
    run.minorFaults = usage.ru_minflt;
    ::lseek(::fileno(out), 0, SEEK_SET);
    ::lseek(::fileno(err), 0, SEEK_SET);
    run.output = drain(::fileno(out));
    if (runsWindowsBuild()) run.output = withUnixLineEnds(run.output);
    run.errors = drain(::fileno(err));
    std::fclose(out);
    std::fclose(err);
    return run;
}

}  // namespace

// Under Wine a start now and then fails before the program runs ("wine
// client error:0: recvmsg: Connection reset by peer", exit code 1, nothing
// printed; the tool itself prints a line for every run, a failed one
// included). Such a run is tried again; a failure that stays reaches the test
// with the last try.
ToolRun runLumenpull(const std::vector<std::string>& arguments, const std::string& workingDirectory) {
    constexpr int kTries = 3;
    const auto startFailed = [](const ToolRun& run) { return run.output.empty(); };
    ToolRun run = runOnce(arguments, workingDirectory);
    for (int tried = 1; tried < kTries && runsWindowsBuild() && startFailed(run); ++tried)
        run = runOnce(arguments, workingDirectory);
    return run;
}

}  // namespace lumenpull::test
