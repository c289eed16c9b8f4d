// The keyboard poll: terminal settings, their restoration on every way out, and the poll itself.
#include "keyboard.h"

#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int caughtSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int caughtCount = sizeof caughtSignals / sizeof caughtSignals[0];

bool polling = false;                  // standard input is the terminal of the foreground job
volatile sig_atomic_t restoreOwed = 0; // the terminal runs with changed settings
struct termios savedSettings;
struct sigaction savedActions[caughtCount];
bool atExitRegistered = false;

void RestoreTerminal() {
    if (restoreOwed) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
        restoreOwed = 0;
    }
}

// Only async-signal-safe calls: the settings come back, then the signal ends the process as it
// would have without this handler.
void RestoreAndRaise(int signalNumber) {
    RestoreTerminal();
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

} // namespace

void KeyboardStart() {
    // A background job that changed the settings would be stopped by SIGTTOU; its keys are the
    // shell's anyway.
    if (!isatty(STDIN_FILENO) || tcgetpgrp(STDIN_FILENO) != getpgrp() ||
        tcgetattr(STDIN_FILENO, &savedSettings) != 0) {
        return;
    }
    polling = true;
    if (!atExitRegistered) {
        atexit(RestoreTerminal);
        atExitRegistered = true;
    }
    for (int i = 0; i < caughtCount; i++) {
        sigaction(caughtSignals[i], nullptr, &savedActions[i]);
        if (savedActions[i].sa_handler == SIG_IGN) {
            continue; // an ignored signal stays ignored
        }
        struct sigaction action = {};
        action.sa_handler = RestoreAndRaise;
        sigemptyset(&action.sa_mask);
        sigaction(caughtSignals[i], &action, nullptr);
    }

    // TCSANOW keeps what was typed before; in non-canonical mode it is readable at once.
    struct termios settings = savedSettings;
    settings.c_lflag &= ~(ICANON | ECHO);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    restoreOwed = 1;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &settings) != 0) {
        restoreOwed = 0;
    }
}

bool KeyPressed() {
    if (!polling) {
        return false;
    }
    struct pollfd input = {STDIN_FILENO, POLLIN, 0};
    return poll(&input, 1, 0) > 0 && (input.revents & POLLIN) != 0;
}

void KeyboardStop() {
    if (!polling) {
        return;
    }
    RestoreTerminal();
    for (int i = 0; i < caughtCount; i++) {
        if (savedActions[i].sa_handler != SIG_IGN) {
            sigaction(caughtSignals[i], &savedActions[i], nullptr);
        }
    }
    polling = false;
}
