#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "platform.h"
#include "terminal_codes.h"

namespace platform {

std::vector<std::string> startUp(int argc, char** argv) { return {argv + 1, argv + argc}; }

dvkhost::Language userLanguage() { return dvkhost::languageOfLocale(); }

void writeOut(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void writeError(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }
bool flushOut() { return std::fflush(stdout) == 0; }
bool inputIsTerminal() { return isatty(STDIN_FILENO) != 0; }
std::string helpNote() { return ""; }

} // namespace platform

int terminalColumns() {
    for (const int fd : {STDOUT_FILENO, STDIN_FILENO}) {
        struct winsize size {};
        if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    }
    return 80;
}
