// The keyboard poll of the design loop: whether a key press waits on the terminal.
#pragma once

// When standard input is the terminal of the foreground job, puts it in non-canonical mode
// without echo, so that a single key can be seen, and makes sure its settings come back on every
// way out: KeyboardStop, exit (FatalError included), and SIGINT, SIGTERM, SIGHUP or SIGQUIT.
// Keys typed before the call are kept. Without such a terminal it changes nothing.
void KeyboardStart();

// True when a key press waits in the terminal's input; it neither waits nor takes the key out.
// Always false without the terminal of KeyboardStart.
bool KeyPressed();

// Gives the terminal its settings back and the signals their former handling.
void KeyboardStop();
