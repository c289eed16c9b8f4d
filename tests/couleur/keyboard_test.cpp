// Tests of the keyboard poll on real pseudo-terminals: keys typed ahead, no terminal, a
// background job, and the settings that must come back on every way out.
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "cli_harness.h"
#include "fatal_error.h"
#include "keyboard.h"

namespace {

bool SameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::equal(a.c_cc, a.c_cc + NCCS, b.c_cc);
}

// A pseudo-terminal that the test holds both sides of, with its settings at the start.
struct Terminal {
    int master = -1;
    int slave = -1;
    termios start;
    Terminal() {
        EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        tcgetattr(slave, &start);
    }
    ~Terminal() {
        close(master);
        close(slave);
    }
    void Type(const std::string& keys) {
        EXPECT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    bool SettingsKept() const {
        termios now;
        tcgetattr(slave, &now);
        return SameSettings(start, now);
    }
};

// In a child: a new session whose controlling terminal is the slave side, on standard input.
void Attach(const Terminal& terminal) {
    if (setsid() < 0 || ioctl(terminal.slave, TIOCSCTTY, 0) != 0 ||
        dup2(terminal.slave, STDIN_FILENO) < 0) {
        _exit(125);
    }
}

// Writes what the poll says to the pipe: "k" for a key, "-" for none.
void ReportPoll(int pipeEnd) {
    if (write(pipeEnd, KeyPressed() ? "k" : "-", 1) != 1) {
        _exit(126);
    }
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[64];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// Typed ahead, the key is seen at once, seen again (the poll does not take it), and is still
// there to be read. Without a key the poll says none.
TEST(Keyboard, KeyTypedBeforeTheStartIsSeenAndKept) {
    for (const std::string typed : {"q", ""}) {
        Terminal terminal;
        terminal.Type(typed);
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            Attach(terminal);
            KeyboardStart();
            termios during;
            tcgetattr(STDIN_FILENO, &during);
            if (write(report[1], (during.c_lflag & (ICANON | ECHO)) == 0 ? "n" : "c", 1) != 1) {
                _exit(126);
            }
            ReportPoll(report[1]);
            ReportPoll(report[1]);
            // Read only what the poll promises, so that a lost key fails the test, not hangs it.
            char key = '-';
            if (KeyPressed() && read(STDIN_FILENO, &key, 1) != 1) {
                _exit(126);
            }
            if (write(report[1], &key, 1) != 1) {
                _exit(126);
            }
            KeyboardStop();
            _exit(0);
        }
        close(report[1]);
        std::string said = ReadAll(report[0]);
        close(report[0]);
        int status;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(said, typed.empty() ? "n---" : "nkkq") << typed;
        EXPECT_TRUE(terminal.SettingsKept());
    }
}

// Standard input is a file with bytes to read: no terminal, so no key.
TEST(Keyboard, NoTerminalMeansNoKey) {
    TempDir dir;
    WriteFile(dir.File("input"), "some bytes\n");
    auto pollOnFile = [&] {
        int fd = open(dir.File("input").c_str(), O_RDONLY);
        dup2(fd, STDIN_FILENO);
        KeyboardStart();
        bool pressed = KeyPressed();
        KeyboardStop();
        exit(pressed ? 3 : 0);
    };
    EXPECT_EXIT(pollOnFile(), ::testing::ExitedWithCode(0), "");
}

// The settings come back however the process ends, and while it runs they are non-canonical.
TEST(Keyboard, SettingsComeBackOnEveryWayOut) {
    enum Way { stop, exitCall, fatalError, interrupt, terminate };
    struct Case {
        Way way;
        int wstatus; // as waitpid gives it
    };
    for (Case c : {Case{stop, 0}, Case{exitCall, 0}, Case{fatalError, 1 << 8},
                   Case{interrupt, SIGINT}, Case{terminate, SIGTERM}}) {
        Terminal terminal;
        fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            Attach(terminal);
            freopen("/dev/null", "w", stderr);
            KeyboardStart();
            termios during;
            tcgetattr(STDIN_FILENO, &during);
            if ((during.c_lflag & ICANON) != 0) {
                _exit(124);
            }
            switch (c.way) {
            case stop:
                KeyboardStop();
                _exit(0);
            case exitCall:
                exit(0);
            case fatalError:
                FatalError("erreur");
            case interrupt:
                raise(SIGINT);
                break;
            case terminate:
                raise(SIGTERM);
                break;
            }
            _exit(123);
        }
        int status;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_EQ(status, c.wstatus) << c.way;
        EXPECT_TRUE(terminal.SettingsKept()) << c.way;
    }
}

// A job in the background of its terminal leaves the settings alone (changing them would stop
// it with SIGTTOU) and sees no key, even one typed ahead.
TEST(Keyboard, BackgroundJobIsLeftAlone) {
    Terminal terminal;
    terminal.Type("q");
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        Attach(terminal);
        int report[2];
        if (pipe(report) != 0) {
            _exit(126);
        }
        pid_t job = fork();
        if (job == 0) {
            setpgid(0, 0); // a process group of its own, not the terminal's foreground
            KeyboardStart();
            ReportPoll(report[1]);
            KeyboardStop();
            _exit(0);
        }
        close(report[1]);
        int status;
        if (waitpid(job, &status, WUNTRACED) != job || !WIFEXITED(status)) {
            kill(job, SIGKILL);
            _exit(2);
        }
        _exit(ReadAll(report[0]) == "-" ? 0 : 3);
    }
    int status;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(terminal.SettingsKept());
}

} // namespace
