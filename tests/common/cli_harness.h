// Runs a built program in a working directory and captures its status, standard output and
// standard error, for the command-line tests of every program.
#pragma once

#include <string>
#include <vector>

struct RunResult {
    int status;      // exit status, or 128 + signal number when the program was killed
    std::string out; // everything written on standard output
    std::string err; // everything written on standard error
};

struct RunOptions {
    std::string stdinData;  // bytes fed on standard input (empty input by default)
    std::string stdoutPath; // when set, standard output goes to this file instead of `out`
    long fileSizeLimit = 0; // when set, the program may write files of at most this many bytes
                            // (RLIMIT_FSIZE, with SIGXFSZ ignored so that the write fails)
};

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir, const RunOptions& options = RunOptions());

// A run on a pseudo-terminal: standard input is the terminal, standard output and standard
// error are captured as by RunProgram.
struct TerminalResult {
    RunResult run;
    bool settingsKept;  // the terminal's settings at the end are those it started with
    std::string unread; // what was left in the terminal's input after the program ended
};

// Runs the program as the foreground job of a fresh pseudo-terminal whose input already holds
// `typed` (keys pressed before the program starts, not followed by a line end).
TerminalResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args,
                             const std::string& workDir, const std::string& typed);

// A fresh directory, removed with its contents at the end of the test.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const {
        return path + "/" + name;
    }
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// The directory's entries, sorted, without "." and "..".
std::vector<std::string> ListDir(const std::string& path);
