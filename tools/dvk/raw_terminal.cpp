#include "raw_terminal.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "texts.h"

namespace {

struct termios savedTerminal;
struct termios rawTerminal;
volatile sig_atomic_t terminalRaw = 0;
volatile sig_atomic_t resumed = 0;
volatile sig_atomic_t resized = 0;
// Written by a signal handler, so made ready beforehand.
std::string interrupted;

void restoreTerminal() {
    if (terminalRaw) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    terminalRaw = 0;
}

void onQuit(int signal) {
    if (terminalRaw) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, interrupted.data(), interrupted.size());
    _exit(128 + signal);
}

// SIGSTOP cannot be caught, so the process stops right here, with the shell's terminal settings in place.
void onSuspend(int) {
    const int saved = errno;
    if (terminalRaw) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    raise(SIGSTOP);
    errno = saved;
}

// Also after a stop from outside (kill -STOP). Only in the foreground: a background process that changes
// the terminal is stopped again at once (SIGTTOU).
void onContinue(int) {
    const int saved = errno;
    if (terminalRaw && tcgetpgrp(STDIN_FILENO) == getpgrp()) tcsetattr(STDIN_FILENO, TCSANOW, &rawTerminal);
    resumed = 1;
    errno = saved;
}

void onResize(int) { resized = 1; }

void handle(int signal, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

} // namespace

RawTerminal::RawTerminal() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    rawTerminal = savedTerminal;
    interrupted = "\r\n\x1b[0m" + dvkhost::text("terminal.interrupted") + "\r\n";
    rawTerminal.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
    rawTerminal.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    rawTerminal.c_cc[VMIN] = 1;
    rawTerminal.c_cc[VTIME] = 0;
    std::atexit(restoreTerminal);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        handle(s, onQuit);
    handle(SIGTSTP, onSuspend);
    handle(SIGCONT, onContinue);
    handle(SIGWINCH, onResize);
    terminalRaw = 1;
    tcsetattr(STDIN_FILENO, TCSANOW, &rawTerminal);
}

RawTerminal::~RawTerminal() { restoreTerminal(); }

bool RawTerminal::takeResumed() {
    const bool was = resumed;
    resumed = 0;
    return was;
}

bool RawTerminal::takeResized() {
    const bool was = resized;
    resized = 0;
    return was;
}
