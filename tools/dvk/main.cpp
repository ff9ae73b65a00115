// dvk: the library's command-line host. It uses the public header and the shared library only.
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"

namespace {

constexpr const char* kUsage =
    "usage: dvk <command> [options]   (dvk <command> --help for more)\n"
    "  version    print the library version\n"
    "  decode     analyse one frame text and print its scan event\n"
    "  svg        draw a barcode as SVG\n"
    "  tune       set up a real scanner: on this terminal, a serial port or an input device\n"
    "  listen     the till loop on a serial port, an input device or the terminal: print every scan\n"
    "  sheet      write a printable page with the reference codes\n"
    "  simulate   run a simulated scanner through set-up and the till\n"
    "  replay     replay a recorded input log through a decoder\n"
    "  demo       type a few codes through a decoder and print what polling returns\n";

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string command = argv[1];
    const Args args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "version" || command == "--version") {
        if (!args.empty() && args[0] != "--help") return fail("version takes no arguments");
        std::printf("%s\n", dvk_version());
        return 0;
    }
    if (command == "decode") return runDecode(args);
    if (command == "svg") return runSvg(args);
    if (command == "demo") return runDemo(args);
    if (command == "tune") return runTune(args);
    if (command == "listen") return runListen(args);
    if (command == "sheet") return runSheet(args);
    if (command == "simulate") return runSimulate(args);
    if (command == "replay") return runReplay(args);
    return fail("unknown command " + command + " (see dvk --help)");
}
