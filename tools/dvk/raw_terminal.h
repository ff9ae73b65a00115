// The terminal on standard input in raw mode, for as long as the object lives.
#pragma once

// No line editing, no echo, CR stays CR. Ctrl+C (and SIGTERM, SIGHUP, SIGQUIT) restores the terminal and
// ends the process with 128 + the signal; Ctrl+Z hands the shell its terminal back as it was, and `fg`
// makes it raw again. Nothing happens when standard input is not a terminal.
class RawTerminal {
  public:
    RawTerminal();
    ~RawTerminal();
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    // True once after the process was stopped and continued: the screen may have been used meanwhile.
    static bool takeResumed();
    // True once after the window changed size.
    static bool takeResized();
};
