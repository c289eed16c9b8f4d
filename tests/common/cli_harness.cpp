// Command-line test helper: fork, redirect, exec, wait, collect.
#include "cli_harness.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

std::string MakeTempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/toolkit-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    return pattern;
}

void Redirect(const std::string& path, int flags, int target) {
    int fd = open(path.c_str(), flags, 0644);
    if (fd < 0 || dup2(fd, target) < 0) {
        _exit(125);
    }
    close(fd);
}

} // namespace

TempDir::TempDir() : path(MakeTempDir()) {}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

std::vector<char*> ArgumentVector(const std::string& program,
                                  const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

// A program that runs past this many seconds is killed and the test fails, rather than hanging
// the suite: a design or coding loop that never ends is a fault to report.
constexpr int runTimeLimit = 300;

int WaitStatus(pid_t pid) {
    int wstatus = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(runTimeLimit);
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        pid_t done = waitpid(pid, &wstatus, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0) {
            throw std::runtime_error("waitpid failed");
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            throw std::runtime_error("the program ran past " + std::to_string(runTimeLimit) +
                                     " seconds and was killed");
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

bool SameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::equal(a.c_cc, a.c_cc + NCCS, b.c_cc);
}

} // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir, const RunOptions& options) {
    // The captures live outside the working directory, which the tests inspect.
    TempDir capture;
    std::string inPath = capture.File("stdin");
    std::string outPath = options.stdoutPath.empty() ? capture.File("stdout") : options.stdoutPath;
    std::string errPath = capture.File("stderr");
    WriteFile(inPath, options.stdinData);

    std::vector<char*> argv = ArgumentVector(program, args);

    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) {
            _exit(125);
        }
        Redirect(inPath, O_RDONLY, 0);
        Redirect(outPath, O_WRONLY | O_CREAT | O_TRUNC, 1);
        Redirect(errPath, O_WRONLY | O_CREAT | O_TRUNC, 2);
        if (options.fileSizeLimit > 0) {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit),
                                   static_cast<rlim_t>(options.fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                _exit(125);
            }
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    RunResult result;
    result.status = WaitStatus(pid);
    result.out = options.stdoutPath.empty() ? ReadFile(outPath) : std::string();
    result.err = ReadFile(errPath);
    return result;
}

TerminalResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args,
                             const std::string& workDir, const std::string& typed) {
    TempDir capture;
    std::string outPath = capture.File("stdout");
    std::string errPath = capture.File("stderr");
    std::vector<char*> argv = ArgumentVector(program, args);

    // The test keeps the terminal side open too, to read its settings and input afterwards.
    int master, terminal;
    if (openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    termios before;
    tcgetattr(terminal, &before);
    if (write(master, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size())) {
        throw std::runtime_error("cannot type on the terminal");
    }

    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        // A new session whose controlling terminal is the pseudo-terminal: the program is its
        // foreground job.
        if (setsid() < 0 || ioctl(terminal, TIOCSCTTY, 0) != 0 || dup2(terminal, 0) < 0 ||
            chdir(workDir.c_str()) != 0) {
            _exit(125);
        }
        close(master);
        close(terminal);
        Redirect(outPath, O_WRONLY | O_CREAT | O_TRUNC, 1);
        Redirect(errPath, O_WRONLY | O_CREAT | O_TRUNC, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }

    TerminalResult result;
    result.run.status = WaitStatus(pid);
    result.run.out = ReadFile(outPath);
    result.run.err = ReadFile(errPath);
    termios after;
    tcgetattr(terminal, &after);
    result.settingsKept = SameSettings(before, after);
    char buffer[256];
    pollfd input = {terminal, POLLIN, 0};
    while (poll(&input, 1, 0) > 0 && (input.revents & POLLIN) != 0) {
        ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        result.unread.append(buffer, static_cast<size_t>(n));
    }
    close(master);
    close(terminal);
    return result;
}
