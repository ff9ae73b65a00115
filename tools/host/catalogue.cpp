// Every text the tools write for people, in English and in Russian: the one place to change or translate
// them. Both halves hold the same keys in the same order. {0}, {1}, ... are the values put in, in the order
// each language's sentence needs them. Option names, file formats and JSON keys stay as they are typed.
#include "texts.h"

namespace dvkhost {

namespace {

constexpr CatalogueEntry kEnglish[] = {
    {"lang.bad", "--lang takes ru or en"},
    {"main.usage", "usage: dvk <command> [options]   (dvk <command> --help for more; "
                   "--lang ru|en chooses the language)\n"
                   "  version    print the library version\n"
                   "  decode     analyse one frame text and print its scan event\n"
                   "  svg        draw a barcode as SVG\n"
                   "  tune       set up a real scanner: on this terminal, a serial port, "
                   "an input device or a HID-POS device\n"
                   "  listen     the till loop on a device or the terminal: print every "
                   "scan\n"
                   "  sheet      write a printable page with the reference codes\n"
                   "  simulate   run a simulated scanner through set-up and the till\n"
                   "  replay     replay a recorded input log through a decoder\n"
                   "  demo       type a few codes through a decoder and print what "
                   "polling returns"},
    {"version.args", "version takes no arguments"},
    {"main.unknown", "unknown command {0} (see dvk --help)"},
    {"arg.unknownOption", "unknown option {0} (see dvk {1} --help)"},
    {"arg.unexpected", "unexpected argument {0} (see dvk {1} --help)"},
    {"arg.noValue", "{0} needs a value"},
    {"file.isDirectory", "is a directory"},
    {"file.cannotOpen", "cannot be opened"},
    {"file.readError", "read error"},
    {"file.noFolder", "no folder {0}"},
    {"file.notFolder", "{0} is not a folder"},
    {"device.badBaud", "--baud needs a positive whole number, not {0}"},
    {"device.badEventSize", "--event-size is 16 or 24 (bytes of a recorded input event), not {0}"},
    {"device.two", "--serial, --evdev and --hidraw each name a device; give one"},
    {"device.baudSerial", "--baud is for --serial"},
    {"device.eventSizeEvdev", "--event-size is for --evdev"},
    {"device.descriptorHidraw", "--hid-descriptor is for --hidraw"},
    {"profile.cannotRead", "cannot read profile {0}: {1}"},
    {"profile.notProfile", "{0} is not a profile"},
    {"evdev.directory", "{0} is a directory, not an input device"},
    {"evdev.cannotOpenGroup", "cannot open {0}: {1} (input devices belong to the group \"input\")"},
    {"device.cannotOpen", "cannot open {0}: {1}"},
    {"evdev.cannotCapture", "cannot capture {0} exclusively: {1}"},
    {"evdev.cannotCaptureBusy", "cannot capture {0} exclusively: {1} (another program holds it)"},
    {"evdev.captured", ", captured exclusively"},
    {"serial.noBaud", "no baud rate {0} on this platform (e.g. 9600, 19200, 38400, 57600, "
                      "115200)"},
    {"serial.dataBits", "dataBits {0} is not 5, 6, 7 or 8"},
    {"serial.stopBits", "stopBits {0} is not 1 or 2"},
    {"serial.directory", "{0} is a directory, not a serial port"},
    {"serial.cannotSetUp", "cannot set up {0} as {1}: {2}"},
    {"serial.notTerminal", " (not a terminal device: read as it is)"},
    {"terminal.raw", "the terminal (raw; Ctrl+C stops, Ctrl+Z suspends)"},
    {"terminal.stdin", "standard input"},
    {"hidpos.mode", ", HID-POS"},
    {"hidpos.directory", "{0} is a directory, not a hidraw device"},
    {"hidpos.cannotReadDescriptor", "cannot read the report descriptor {0}: {1}"},
    {"hidpos.cannotOpenAccess", "cannot open {0}: {1} (hidraw devices belong to root unless a udev "
                                "rule gives them to a group)"},
    {"hidpos.noDescriptor", "cannot read the report descriptor of {0}: give it with "
                            "--hid-descriptor FILE"},
    {"hidpos.notHidPos", "{0}: the report descriptor has no HID-POS scanned-data report (usage "
                         "page 0x8C, Decoded Data): switch the scanner to HID-POS mode, or read "
                         "a keyboard scanner with --evdev"},
    {"hidpos.corrupt", "{0}: the report descriptor is corrupt (an item runs past its end, or the "
                       "scanned-data report is laid out as no scanner does): check the file given with "
                       "--hid-descriptor, or read the descriptor from the device again"},
    {"input.cut", "{0}: a code cut short was dropped ({1} bytes of it came; its end never did)"},
    {"input.skipped", "{0}: {1} bytes skipped that began no report the descriptor declares"},
    {"tune.step", "== Step {0} of 5: {1}"},
    {"tune.notDrawn", "Not drawn: needs {0} columns, the terminal has {1}; print it with dvk "
                      "sheet."},
    {"tune.scanAbove", "Scan the code above (Esc skips the step, Ctrl+D ends, Ctrl+C quits)."},
    {"tune.scanSheet", "Scan the code from the sheet (Esc skips the step, Ctrl+D ends, Ctrl+C "
                       "quits)."},
    {"tune.received", "received: {0}"},
    {"tune.notTaken", "(not taken for this step)"},
    {"tune.skipped", "(step skipped)"},
    {"tune.unfinished", "== Set-up not finished: stopped at step {0} of 5, no profile written"},
    {"tune.cannotWrite", "cannot write {0}"},
    {"tune.cannotWriteWhy", "cannot write {0}: {1}"},
    {"tune.written", "profile written to {0}"},
    {"tune.remembered", "profile written to {0}; dvk listen reads it when no --profile is given"},
    {"tune.ignored", "ignored: {0} is a key of the keyboard, not a scan"},
    {"tune.resumed", "(resumed)"},
    {"tune.reading", "Reading {0}."},
    {"tune.transport", "--transport is hid, serial or sim"},
    {"tune.deviceEmpty", "--device needs a non-empty id"},
    {"tune.deviceAndOptions", "--device and --transport are for the terminal; --serial and --evdev "
                              "set their own, as --hidraw does"},
    {"tune.noHome", "nowhere to keep the profile: neither XDG_CONFIG_HOME nor HOME is set; "
                    "give -o FILE"},
    {"tune.needsTerminal", "tune needs a terminal on standard input, where the scanner types (see "
                           "dvk tune --help)"},
    {"tune.help", "usage: dvk tune [--device ID] [--transport hid|serial|sim] [-o FILE]\n"
                  "Sets up a keyboard scanner plugged into this machine: scan each "
                  "reference code shown on the screen. Esc skips a step, Ctrl+D ends the "
                  "set-up unfinished, Ctrl+C quits. Codes too wide for the terminal are "
                  "on the sheet that dvk sheet prints.\n"
                  "   or: dvk tune --serial PATH [--baud N] [--profile FILE] [-o FILE]\n"
                  "   or: dvk tune --evdev /dev/input/eventN [--event-size 16|24] "
                  "[--profile FILE] [-o FILE]\n"
                  "   or: dvk tune --hidraw /dev/hidrawN [--hid-descriptor FILE] "
                  "[--profile FILE] [-o FILE]\n"
                  "Sets up a serial scanner, a keyboard scanner read from its input "
                  "device (or a FIFO or file of input events), or a scanner in HID-POS "
                  "mode, opened as dvk listen opens them (--profile gives the port "
                  "settings and exclusiveCapture). The profile records the transport, "
                  "the device and the settings used.\n"
                  "The learned profile is written once all five steps are done, to the "
                  "-o file (\"-\" for stdout) or else to {0}, where dvk listen finds it. "
                  "An unfinished set-up writes nothing and exits with status 1."},
    {"help.windows", "On Windows --com COM3 (or --serial COM3) names a serial port; --evdev is "
                     "for Linux. dvk listen --keyboards lists the keyboards by device "
                     "path; --keyboard-device PATH reads that keyboard alone through Raw Input, "
                     "other keyboards' keys never make a scan (--raw-input-log FILE: its recorded "
                     "records instead, one a line: tMs, make code, flags, device path). "
                     "dvk listen --hid-scanners lists the scanners in HID-POS mode by device path; "
                     "--hid-device PATH reads one through the HID API, its report layout from "
                     "Windows' HID parser (--hidraw FILE --hid-descriptor FILE: a recording of its "
                     "reports)."},
    {"rawInput.mode", ", Raw Input"},
    {"rawInput.badLine", "{0}: not a Raw Input record (tMs, make code, flags, device path)"},
    {"device.logKeyboard", "--raw-input-log is for --keyboard-device"},
    {"listen.keyboards", "Keyboards (give one to --keyboard-device):"},
    {"listen.hidScanners", "HID-POS scanners (give one to --hid-device):"},
    {"listen.help", "usage: dvk listen --serial PATH [--baud N] [--profile FILE] [--bind "
                    "ID] [--json]\n"
                    "       dvk listen --evdev /dev/input/eventN [--event-size 16|24] "
                    "[--profile FILE] [--bind ID] [--json]\n"
                    "       dvk listen --hidraw /dev/hidrawN [--hid-descriptor FILE] "
                    "[--profile FILE] [--bind ID] [--json]\n"
                    "       dvk listen --keyboard [--profile FILE] [--bind ID] [--json]\n"
                    "Reads a scanner as a till does and prints every scan as it arrives: "
                    "kind, the code with its control characters shown, GTIN and serial of "
                    "marking codes, warnings; --json prints each scan event's JSON, one "
                    "per line.\n"
                    "--serial opens the port with the profile's baud, dataBits, parity, "
                    "stopBits and rtsCts (--baud overrides). --evdev reads Linux input "
                    "events (or a FIFO or file of them; --event-size for a recording made "
                    "on a till with 16- or 24-byte records), captured exclusively when the "
                    "profile's exclusiveCapture is true. --hidraw reads a scanner in "
                    "HID-POS mode (USB usage page 0x8C): each report's data is one chunk, "
                    "its AIM identifier kept when the profile's aimId is true; the report "
                    "descriptor comes from the device, or from --hid-descriptor. "
                    "--keyboard reads this terminal.\n"
                    "Without --profile the profile of the last dvk tune is used, from {0}; "
                    "stderr says which profile is used. A profile file that cannot be read "
                    "is an error. Runs until the input ends, Ctrl+C or Ctrl+\\; what is in "
                    "flight is printed first."},
    {"scan.gtin", "GTIN {0}, serial {1}"},
    {"scan.weight", "item {0}, {1} kg"},
    {"scan.gsRestored", "(GS restored)"},
    {"listen.notBound", "(frame «{0}» from {1} is no scan: not the bound device)"},
    {"listen.tooShort", "(frame «{0}» from {1} is no scan: shorter than minLength)"},
    {"listen.needsDevice", "listen needs one of --serial PATH, --evdev PATH, --hidraw PATH or "
                           "--keyboard (see dvk listen --help)"},
    {"listen.keyboardAndDevice", "--keyboard and a device: listen reads one"},
    {"listen.profile", "profile {0}"},
    {"listen.defaults", "the default profile"},
    {"listen.noRemembered", "the default profile: no scanner set up yet ({0} is not there)"},
    {"listen.listening", "listening on {0} ({2})"},
    {"listen.listeningBound", "listening on {0}, bound to {1} ({2})"},
    {"outOfMemory", "out of memory"},
    {"decode.help", "usage: dvk decode [--profile FILE] [--device ID] TEXT\n"
                    "Prints the scan event of one frame. TEXT may hold \\r \\n \\t \\\\ \\0 \\e "
                    "\\xHH; \"-\" reads the text from stdin."},
    {"decode.oneText", "decode takes one text"},
    {"decode.needsText", "decode needs a text (see dvk decode --help)"},
    {"decode.badEscape", "bad escape in text"},
    {"svg.help", "usage: dvk svg [--kind ean13|code128|datamatrix] [--gs1] [--scale N] "
                 "[--quiet N] PAYLOAD\n"
                 "PAYLOAD may hold C escapes such as \\x1d for GS; \"-\" reads it from "
                 "stdin."},
    {"svg.kind", "--kind is ean13, code128 or datamatrix, not {0}"},
    {"svg.wholeNumber", "{0} needs a whole number"},
    {"svg.onePayload", "svg takes one payload"},
    {"svg.needsPayload", "svg needs a payload (see dvk svg --help)"},
    {"svg.badEscape", "bad escape in payload"},
    {"svg.tooLarge", "the picture would be too large at --scale {0} --quiet {1}"},
    {"svg.cannotDraw", "the payload cannot be drawn as {0}"},
    {"sheet.help", "usage: dvk sheet [-o setup.html]\n"
                   "Writes a printable page with the five reference codes of the scanner "
                   "set-up (\"-\" for stdout)."},
    {"sheet.notDrawn", "the reference codes could not be drawn"},
    {"sheet.wrote", "wrote {0}"},
    {"replay.help", "usage: dvk replay [--profile FILE] [--bind ID] LOG\n"
                    "Replays an input log through a decoder and prints the poll results. "
                    "LOG lines:\n"
                    "  <tMs> key <device> <scancode> [shift] [ctrl] [alt] [caps]\n"
                    "  <tMs> bytes <device> <text with C escapes>\n"
                    "  <tMs> tick\n"
                    "  poll\n"
                    "<device> is \"-\" for none; '#' starts a comment; \"-\" as LOG reads "
                    "stdin."},
    {"replay.oneLog", "replay takes one log"},
    {"replay.needsLog", "replay needs a log (see dvk replay --help)"},
    {"replay.tooLong", "too long"},
    {"replay.cannotRead", "cannot read {0}: {1}"},
    {"replay.lineStart", "a line starts with a time stamp in ms or \"poll\""},
    {"replay.noDevice", "missing device id"},
    {"replay.noScanCode", "missing scan code"},
    {"replay.badScanCode", "bad scan code {0}"},
    {"replay.badModifier", "unknown modifier {0}"},
    {"replay.badEscape", "bad escape in bytes"},
    {"replay.badEvent", "unknown event {0} (key, bytes or tick)"},
    {"demo.nothing", "  (nothing yet)"},
    {"demo.frame", "  frame «{0}» from {1} at {2} ms, gaps {3}"},
    {"demo.ean", "EAN-13 typed on digits, closed by Enter"},
    {"demo.marking", "Marking code: Shift for capitals, Ctrl+] for GS"},
    {"demo.altGs", "Short marking code with GS typed as Alt+029"},
    {"demo.pause", "Two codes without terminator split by a 200 ms pause"},
    {"demo.assembling", "No terminator, tick 100 ms later: still assembling"},
    {"demo.timeout", "Tick after the 140 ms time-out closes the frame"},
    {"demo.gsMissing", "A scanner that drops GS, with \"gsMissing\": true"},
    {"demo.help", "usage: dvk demo\n"
                  "Types codes through a decoder, sets up three simulated scanners and "
                  "reads codes with what they learned, and writes setup-sheet.html with "
                  "the reference codes."},
    {"demo.args", "demo takes no arguments"},
    {"demo.part1", "# 1. The decoder: key strokes in, frames and scans out"},
    {"demo.part2", "# 2. Three scanners set up with the wizard, then reading codes at the "
                   "till"},
    {"demo.part3", "# 3. The reference codes for printing: setup-sheet.html"},
    {"terminal.interrupted", "interrupted"},
    {"finding.fail", "[FAIL]"},
    {"finding.warn", "[warn]"},
    {"finding.ok", "[ ok ]"},
    {"yes", "yes"},
    {"no", "no"},
    {"profile.gsDropped", "dropped (repaired by the till)"},
    {"profile.gsAs", "sent as «{0}»"},
    {"profile.gsSent", "sent"},
    {"profile.line", "  terminator «{0}», prefix «{1}», suffix «{2}», AIM identifiers: {3}, "
                     "GS {4}, burst gap {5} ms, time-out {6} ms"},
    {"simulate.scanner", "Scanner «{0}»"},
    {"simulate.scannerDescribed", "Scanner «{0}»: {1}"},
    {"simulate.setUp", "Set-up, five reference codes:"},
    {"simulate.summary", "Summary: {0}"},
    {"simulate.profile", "Learned profile:"},
    {"simulate.till", "Codes read at the till with that profile:"},
    {"simulate.help", "usage: dvk simulate [--scanner NAME|FILE.json] [--json]\n"
                      "Runs a simulated scanner through set-up (key strokes -> decoder -> "
                      "tuner) and then reads marking codes with the profile it learned. "
                      "Built-in scanners:"},
    {"simulate.helpFile", "A FILE.json holds an object with any of: name, prefix, suffix, "
                          "terminator, aimIds, gs (real|alt|substitute|dropped), gsSubstitute, "
                          "bufferLimit, gapMs, capsLock, doubleSend, cyrillicLayout."},
    {"simulate.noModel", "no built-in scanner or readable file named {0} ({1}; see dvk simulate "
                         "--help)"},
    {"model.good", "sends GS as Ctrl+], ends codes with Enter"},
    {"model.no-gs", "drops the GS separator"},
    {"model.pipe-gs", "sends '|' in place of GS"},
    {"model.alt-gs", "types GS as Alt + keypad 0 2 9"},
    {"model.short-buffer", "keeps only 64 characters of a code"},
    {"model.russian", "types into a Russian keyboard layout"},
    {"model.russian-short", "Russian layout and a 64-character buffer"},
    {"model.slow", "types slowly (70 ms a key), ends codes with Tab"},
    {"model.prefix-aim", "AIM identifiers, prefix '<', suffix '>', CR LF"},
    {"model.caps-lock", "the till's Caps Lock is on"},
    {"model.double", "sends every code twice"},
    {"model.gs", "\"gs\" must be real, alt, substitute or dropped"},
    {"model.text", "\"{0}\" must be a text in quotes"},
    {"model.flag", "\"{0}\" must be true or false"},
    {"model.count", "\"{0}\" must be a whole number from 0 to {1}"},
    {"model.gsSubstitute", "\"gsSubstitute\" must be one character"},
    {"model.unknownKey", "unknown key \"{0}\""},
    {"json.expected", "expected '{0}'"},
    {"json.unterminated", "unterminated string"},
    {"json.shortEscape", "short \\u escape"},
    {"addin.noDevice", "no device named: give a port (COM3, /dev/ttyUSB0) or a HID device path"},
    {"addin.transport", "unknown transport \"{0}\": serial or hidpos"},
    {"addin.profile", "the profile is not a scanner profile JSON"},
    {"addin.deviceEnded", "{0} stopped sending: the cable was pulled or the device is gone"},
    {"addin.readerFailed", "reading {0} stopped: out of memory"},
    {"addin.param", "{0}: parameter {1} must be {2}"},
    {"addin.text", "a string"},
    {"addin.flag", "a boolean"},
    {"addin.number", "a number"},
    {"addin.noCode", "{0}: the code cannot be drawn as {1}"},
    {"addin.noSetUp", "no set-up was started (StartSetup)"},
    {"addin.unlearned", "the set-up has not learned a profile yet: finish its steps"},
    {"addin.noMemory", "the platform gave no memory for the result"},
    {"addin.failed", "{0} failed: {1}"},
};

constexpr CatalogueEntry kRussian[] = {
    {"lang.bad", "--lang принимает ru или en"},
    {"main.usage", "вызов: dvk <команда> [параметры]   (подробнее: dvk <команда> --help; "
                   "язык: --lang ru|en)\n"
                   "  version    показать версию библиотеки\n"
                   "  decode     разобрать текст одного кадра и показать его событие "
                   "сканирования\n"
                   "  svg        нарисовать штрихкод в формате SVG\n"
                   "  tune       настроить настоящий сканер: в этом терминале, на "
                   "последовательном порту, на устройстве ввода или на устройстве HID-POS\n"
                   "  listen     цикл кассы на устройстве или в терминале: показывать "
                   "каждый скан\n"
                   "  sheet      записать страницу с эталонными кодами для печати\n"
                   "  simulate   провести имитацию сканера через настройку и кассу\n"
                   "  replay     воспроизвести записанный журнал ввода через декодер\n"
                   "  demo       набрать несколько кодов через декодер и показать, что "
                   "возвращает опрос"},
    {"version.args", "version не принимает аргументов"},
    {"main.unknown", "неизвестная команда {0} (см. dvk --help)"},
    {"arg.unknownOption", "неизвестный параметр {0} (см. dvk {1} --help)"},
    {"arg.unexpected", "лишний аргумент {0} (см. dvk {1} --help)"},
    {"arg.noValue", "{0}: не указано значение"},
    {"file.isDirectory", "это папка"},
    {"file.cannotOpen", "не открывается"},
    {"file.readError", "ошибка чтения"},
    {"file.noFolder", "нет папки {0}"},
    {"file.notFolder", "{0} — не папка"},
    {"device.badBaud", "--baud: нужно целое положительное число, а не {0}"},
    {"device.badEventSize", "--event-size: 16 или 24 (байт в записанном событии ввода), а не {0}"},
    {"device.two", "--serial, --evdev и --hidraw называют каждый своё устройство; укажите "
                   "одно"},
    {"device.baudSerial", "--baud — только для --serial"},
    {"device.eventSizeEvdev", "--event-size — только для --evdev"},
    {"device.descriptorHidraw", "--hid-descriptor — только для --hidraw"},
    {"profile.cannotRead", "не удаётся прочитать профиль {0}: {1}"},
    {"profile.notProfile", "{0} — не профиль сканера"},
    {"evdev.directory", "{0} — папка, а не устройство ввода"},
    {"evdev.cannotOpenGroup", "не удаётся открыть {0}: {1} (устройства ввода принадлежат группе "
                              "«input»)"},
    {"device.cannotOpen", "не удаётся открыть {0}: {1}"},
    {"evdev.cannotCapture", "не удаётся захватить {0} монопольно: {1}"},
    {"evdev.cannotCaptureBusy", "не удаётся захватить {0} монопольно: {1} (его держит другая программа)"},
    {"evdev.captured", ", захвачено монопольно"},
    {"serial.noBaud", "скорости {0} бод на этой платформе нет (бывают 9600, 19200, 38400, "
                      "57600, 115200)"},
    {"serial.dataBits", "dataBits {0}: должно быть 5, 6, 7 или 8"},
    {"serial.stopBits", "stopBits {0}: должно быть 1 или 2"},
    {"serial.directory", "{0} — папка, а не последовательный порт"},
    {"serial.cannotSetUp", "не удаётся настроить {0} как {1}: {2}"},
    {"serial.notTerminal", " (не терминальное устройство: читается как есть)"},
    {"terminal.raw", "терминал (без обработки ввода; Ctrl+C — остановить, Ctrl+Z — "
                     "приостановить)"},
    {"terminal.stdin", "стандартный ввод"},
    {"hidpos.mode", ", HID-POS"},
    {"hidpos.directory", "{0} — папка, а не устройство hidraw"},
    {"hidpos.cannotReadDescriptor", "не удаётся прочитать дескриптор отчётов {0}: {1}"},
    {"hidpos.cannotOpenAccess", "не удаётся открыть {0}: {1} (устройства hidraw принадлежат root, если "
                                "правило udev не отдаёт их группе)"},
    {"hidpos.noDescriptor", "не удаётся прочитать дескриптор отчётов {0}: укажите его через "
                            "--hid-descriptor ФАЙЛ"},
    {"hidpos.notHidPos", "{0}: в дескрипторе отчётов нет отчёта HID-POS с данными скана "
                         "(страница 0x8C, Decoded Data): переключите сканер в режим HID-POS или "
                         "читайте сканер-клавиатуру через --evdev"},
    {"hidpos.corrupt", "{0}: дескриптор отчётов повреждён (элемент выходит за его конец или отчёт "
                       "с данными скана устроен так, как ни один сканер не делает): проверьте файл "
                       "из --hid-descriptor или прочитайте дескриптор с устройства заново"},
    {"input.cut", "{0}: оборванный код отброшен (пришло {1} байт, конец кода так и не пришёл)"},
    {"input.skipped", "{0}: пропущено {1} байт, с которых не начинается ни один отчёт из "
                      "дескриптора"},
    {"tune.step", "== Шаг {0} из 5: {1}"},
    {"tune.notDrawn", "Код не нарисован: нужно {0} столбцов, в терминале {1}; распечатайте "
                      "его командой dvk sheet."},
    {"tune.scanAbove", "Отсканируйте код выше (Esc — пропустить шаг, Ctrl+D — закончить, "
                       "Ctrl+C — выйти)."},
    {"tune.scanSheet", "Отсканируйте код с листа (Esc — пропустить шаг, Ctrl+D — закончить, "
                       "Ctrl+C — выйти)."},
    {"tune.received", "принято: {0}"},
    {"tune.notTaken", "(для этого шага не принято)"},
    {"tune.skipped", "(шаг пропущен)"},
    {"tune.unfinished", "== Настройка не завершена: остановлена на шаге {0} из 5, профиль не "
                        "записан"},
    {"tune.cannotWrite", "не удаётся записать {0}"},
    {"tune.cannotWriteWhy", "не удаётся записать {0}: {1}"},
    {"tune.written", "профиль записан в {0}"},
    {"tune.remembered", "профиль записан в {0}; dvk listen возьмёт его, если --profile не "
                        "указан"},
    {"tune.ignored", "пропущено: {0} — клавиша клавиатуры, а не скан"},
    {"tune.resumed", "(продолжено)"},
    {"tune.reading", "Читается {0}."},
    {"tune.transport", "--transport: hid, serial или sim"},
    {"tune.deviceEmpty", "--device: нужен непустой идентификатор"},
    {"tune.deviceAndOptions", "--device и --transport — для терминала; --serial, --evdev и --hidraw "
                              "задают их сами"},
    {"tune.noHome", "профиль негде сохранить: не заданы ни XDG_CONFIG_HOME, ни HOME; "
                    "укажите -o ФАЙЛ"},
    {"tune.needsTerminal", "для tune нужен терминал на стандартном вводе, в который печатает "
                           "сканер (см. dvk tune --help)"},
    {"tune.help", "вызов: dvk tune [--device ИД] [--transport hid|serial|sim] [-o ФАЙЛ]\n"
                  "Настраивает сканер-клавиатуру, подключённый к этому компьютеру: "
                  "отсканируйте каждый эталонный код, показанный на экране. Esc "
                  "пропускает шаг, Ctrl+D заканчивает настройку незавершённой, Ctrl+C — "
                  "выход. Коды, слишком широкие для терминала, есть на листе, который "
                  "печатает dvk sheet.\n"
                  "  или: dvk tune --serial ПУТЬ [--baud N] [--profile ФАЙЛ] [-o ФАЙЛ]\n"
                  "  или: dvk tune --evdev /dev/input/eventN [--event-size 16|24] "
                  "[--profile ФАЙЛ] [-o ФАЙЛ]\n"
                  "  или: dvk tune --hidraw /dev/hidrawN [--hid-descriptor ФАЙЛ] "
                  "[--profile ФАЙЛ] [-o ФАЙЛ]\n"
                  "Настраивает сканер на последовательном порту, сканер-клавиатуру через "
                  "её устройство ввода (или канал либо файл событий ввода) или сканер в "
                  "режиме HID-POS; устройство открывается так же, как в dvk listen "
                  "(--profile задаёт настройки порта и exclusiveCapture). В профиль "
                  "записываются способ подключения, устройство и использованные "
                  "настройки.\n"
                  "Выученный профиль записывается, когда пройдены все пять шагов: в файл "
                  "-o (\"-\" — на стандартный вывод), а без -o — в {0}, где его найдёт dvk "
                  "listen. Незавершённая настройка ничего не записывает и заканчивается "
                  "с кодом 1."},
    {"help.windows", "В Windows последовательный порт задаётся как --com COM3 (или --serial "
                     "COM3); --evdev — только для Linux. dvk listen --keyboards "
                     "перечисляет клавиатуры по путям устройств; --keyboard-device ПУТЬ читает "
                     "только эту клавиатуру через Raw Input, клавиши других клавиатур никогда "
                     "не становятся сканом (--raw-input-log ФАЙЛ — её записанные события, по "
                     "одному в строке: tMs, код клавиши, флаги, путь устройства). "
                     "dvk listen --hid-scanners перечисляет сканеры в режиме HID-POS по путям "
                     "устройств; --hid-device ПУТЬ читает один из них функциями HID Windows, а "
                     "расположение полей отчёта берёт у HID-парсера Windows (--hidraw ФАЙЛ "
                     "--hid-descriptor ФАЙЛ — записанные отчёты такого сканера)."},
    {"rawInput.mode", ", Raw Input"},
    {"rawInput.badLine", "{0}: это не событие Raw Input (tMs, код клавиши, флаги, путь устройства)"},
    {"device.logKeyboard", "--raw-input-log — только вместе с --keyboard-device"},
    {"listen.keyboards", "Клавиатуры (одну из них укажите в --keyboard-device):"},
    {"listen.hidScanners", "Сканеры HID-POS (один из них укажите в --hid-device):"},
    {"listen.help", "вызов: dvk listen --serial ПУТЬ [--baud N] [--profile ФАЙЛ] [--bind "
                    "ИД] [--json]\n"
                    "       dvk listen --evdev /dev/input/eventN [--event-size 16|24] "
                    "[--profile ФАЙЛ] [--bind ИД] [--json]\n"
                    "       dvk listen --hidraw /dev/hidrawN [--hid-descriptor ФАЙЛ] "
                    "[--profile ФАЙЛ] [--bind ИД] [--json]\n"
                    "       dvk listen --keyboard [--profile ФАЙЛ] [--bind ИД] [--json]\n"
                    "Читает сканер так же, как касса, и показывает каждый скан сразу: вид "
                    "кода, сам код с видимыми управляющими символами, GTIN и серийный "
                    "номер кодов маркировки, предупреждения; с --json — событие каждого "
                    "скана в виде JSON, по одному в строке.\n"
                    "--serial открывает порт с настройками профиля baud, dataBits, parity, "
                    "stopBits и rtsCts (--baud их заменяет). --evdev читает события ввода "
                    "Linux (или канал либо файл с ними; --event-size — для записи, "
                    "сделанной на кассе с записями по 16 или 24 байта) и захватывает "
                    "устройство монопольно, если в профиле exclusiveCapture равно true. "
                    "--hidraw читает сканер в режиме HID-POS (страница 0x8C): данные "
                    "каждого отчёта — одна порция байтов, идентификатор AIM сохраняется, "
                    "если в профиле aimId равно true; дескриптор отчётов берётся у "
                    "устройства или из --hid-descriptor. --keyboard читает этот терминал.\n"
                    "Без --profile берётся профиль последнего dvk tune из {0}; какой "
                    "профиль взят, сообщается в потоке ошибок. Нечитаемый файл профиля — "
                    "ошибка. Работает до конца ввода, Ctrl+C или Ctrl+\\; то, что ещё в "
                    "пути, показывается перед выходом."},
    {"scan.gtin", "GTIN {0}, серийный номер {1}"},
    {"scan.weight", "товар {0}, {1} кг"},
    {"scan.gsRestored", "(GS восстановлен)"},
    {"listen.notBound", "(кадр «{0}» от {1} — не скан: не привязанное устройство)"},
    {"listen.tooShort", "(кадр «{0}» от {1} — не скан: короче minLength)"},
    {"listen.needsDevice", "для listen нужен один из --serial ПУТЬ, --evdev ПУТЬ, --hidraw ПУТЬ "
                           "или --keyboard (см. dvk listen --help)"},
    {"listen.keyboardAndDevice", "--keyboard и устройство: listen читает что-то одно"},
    {"listen.profile", "профиль {0}"},
    {"listen.defaults", "профиль по умолчанию"},
    {"listen.noRemembered", "профиль по умолчанию: сканер ещё не настроен ({0} нет)"},
    {"listen.listening", "слушаю {0} ({2})"},
    {"listen.listeningBound", "слушаю {0}, привязка к {1} ({2})"},
    {"outOfMemory", "не хватает памяти"},
    {"decode.help", "вызов: dvk decode [--profile ФАЙЛ] [--device ИД] ТЕКСТ\n"
                    "Показывает событие сканирования одного кадра. В ТЕКСТЕ можно писать "
                    "\\r \\n \\t \\\\ \\0 \\e \\xHH; \"-\" читает текст со стандартного ввода."},
    {"decode.oneText", "decode принимает один текст"},
    {"decode.needsText", "для decode нужен текст (см. dvk decode --help)"},
    {"decode.badEscape", "ошибка в экранировании текста"},
    {"svg.help", "вызов: dvk svg [--kind ean13|code128|datamatrix] [--gs1] [--scale N] "
                 "[--quiet N] ДАННЫЕ\n"
                 "В ДАННЫХ можно писать экранирование языка C, например \\x1d для GS; "
                 "\"-\" читает их со стандартного ввода."},
    {"svg.kind", "--kind: ean13, code128 или datamatrix, а не {0}"},
    {"svg.wholeNumber", "{0}: нужно целое число"},
    {"svg.onePayload", "svg принимает одни данные"},
    {"svg.needsPayload", "для svg нужны данные (см. dvk svg --help)"},
    {"svg.badEscape", "ошибка в экранировании данных"},
    {"svg.tooLarge", "при --scale {0} --quiet {1} картинка будет слишком большой"},
    {"svg.cannotDraw", "эти данные нельзя нарисовать как {0}"},
    {"sheet.help", "вызов: dvk sheet [-o setup.html]\n"
                   "Записывает страницу для печати с пятью эталонными кодами настройки "
                   "сканера (\"-\" — на стандартный вывод)."},
    {"sheet.notDrawn", "эталонные коды не удалось нарисовать"},
    {"sheet.wrote", "записано: {0}"},
    {"replay.help", "вызов: dvk replay [--profile ФАЙЛ] [--bind ИД] ЖУРНАЛ\n"
                    "Проводит журнал ввода через декодер и показывает результаты опроса. "
                    "Строки ЖУРНАЛА:\n"
                    "  <мс> key <устройство> <скан-код> [shift] [ctrl] [alt] [caps]\n"
                    "  <мс> bytes <устройство> <текст с экранированием C>\n"
                    "  <мс> tick\n"
                    "  poll\n"
                    "<устройство> \"-\" — без устройства; '#' начинает комментарий; \"-\" "
                    "вместо ЖУРНАЛА читает стандартный ввод."},
    {"replay.oneLog", "replay принимает один журнал"},
    {"replay.needsLog", "для replay нужен журнал (см. dvk replay --help)"},
    {"replay.tooLong", "слишком длинный"},
    {"replay.cannotRead", "не удаётся прочитать {0}: {1}"},
    {"replay.lineStart", "строка начинается с отметки времени в мс или с \"poll\""},
    {"replay.noDevice", "нет идентификатора устройства"},
    {"replay.noScanCode", "нет скан-кода"},
    {"replay.badScanCode", "неверный скан-код {0}"},
    {"replay.badModifier", "неизвестный модификатор {0}"},
    {"replay.badEscape", "ошибка в экранировании байтов"},
    {"replay.badEvent", "неизвестное событие {0} (бывают key, bytes и tick)"},
    {"demo.nothing", "  (пока ничего)"},
    {"demo.frame", "  кадр «{0}» от {1} в {2} мс, паузы {3}"},
    {"demo.ean", "EAN-13 набран цифрами, закрыт клавишей Enter"},
    {"demo.marking", "Код маркировки: Shift для заглавных, Ctrl+] для GS"},
    {"demo.altGs", "Короткий код маркировки, GS набран как Alt+029"},
    {"demo.pause", "Два кода без завершающего символа, разделённые паузой 200 мс"},
    {"demo.assembling", "Без завершающего символа, такт через 100 мс: кадр ещё собирается"},
    {"demo.timeout", "Такт после тайм-аута 140 мс закрывает кадр"},
    {"demo.gsMissing", "Сканер, теряющий GS, с \"gsMissing\": true"},
    {"demo.help", "вызов: dvk demo\n"
                  "Набирает коды через декодер, настраивает три имитации сканера и "
                  "читает коды с выученными профилями, а также записывает "
                  "setup-sheet.html с эталонными кодами."},
    {"demo.args", "demo не принимает аргументов"},
    {"demo.part1", "# 1. Декодер: на входе нажатия клавиш, на выходе кадры и сканы"},
    {"demo.part2", "# 2. Три сканера настроены мастером и читают коды на кассе"},
    {"demo.part3", "# 3. Эталонные коды для печати: setup-sheet.html"},
    {"terminal.interrupted", "прервано"},
    {"finding.fail", "[СБОЙ]"},
    {"finding.warn", "[ВНИМ]"},
    {"finding.ok", "[ ОК ]"},
    {"yes", "да"},
    {"no", "нет"},
    {"profile.gsDropped", "теряется (касса восстанавливает)"},
    {"profile.gsAs", "передаётся как «{0}»"},
    {"profile.gsSent", "передаётся"},
    {"profile.line", "  завершение «{0}», префикс «{1}», суффикс «{2}», идентификаторы AIM: "
                     "{3}, GS {4}, пауза внутри кода {5} мс, тайм-аут {6} мс"},
    {"simulate.scanner", "Сканер «{0}»"},
    {"simulate.scannerDescribed", "Сканер «{0}»: {1}"},
    {"simulate.setUp", "Настройка, пять эталонных кодов:"},
    {"simulate.summary", "Итог: {0}"},
    {"simulate.profile", "Выученный профиль:"},
    {"simulate.till", "Коды, прочитанные на кассе с этим профилем:"},
    {"simulate.help", "вызов: dvk simulate [--scanner ИМЯ|ФАЙЛ.json] [--json]\n"
                      "Проводит имитацию сканера через настройку (нажатия клавиш -> декодер "
                      "-> мастер настройки), затем читает коды маркировки с выученным "
                      "профилем. Встроенные сканеры:"},
    {"simulate.helpFile", "ФАЙЛ.json содержит объект с любыми из ключей: name, prefix, suffix, "
                          "terminator, aimIds, gs (real|alt|substitute|dropped), gsSubstitute, "
                          "bufferLimit, gapMs, capsLock, doubleSend, cyrillicLayout."},
    {"simulate.noModel", "нет ни встроенного сканера, ни читаемого файла с именем {0} ({1}; см. "
                         "dvk simulate --help)"},
    {"model.good", "передаёт GS как Ctrl+], завершает коды клавишей Enter"},
    {"model.no-gs", "теряет разделитель GS"},
    {"model.pipe-gs", "передаёт '|' вместо GS"},
    {"model.alt-gs", "набирает GS как Alt + 0 2 9 на цифровой клавиатуре"},
    {"model.short-buffer", "хранит только 64 символа кода"},
    {"model.russian", "печатает в русской раскладке"},
    {"model.russian-short", "русская раскладка и буфер на 64 символа"},
    {"model.slow", "печатает медленно (70 мс на клавишу), завершает коды клавишей Tab"},
    {"model.prefix-aim", "идентификаторы AIM, префикс '<', суффикс '>', CR LF"},
    {"model.caps-lock", "на кассе включён Caps Lock"},
    {"model.double", "передаёт каждый код дважды"},
    {"model.gs", "\"gs\": нужно real, alt, substitute или dropped"},
    {"model.text", "\"{0}\": нужен текст в кавычках"},
    {"model.flag", "\"{0}\": нужно true или false"},
    {"model.count", "\"{0}\": нужно целое число от 0 до {1}"},
    {"model.gsSubstitute", "\"gsSubstitute\": нужен один символ"},
    {"model.unknownKey", "неизвестный ключ \"{0}\""},
    {"json.expected", "ожидался символ '{0}'"},
    {"json.unterminated", "строка не закрыта"},
    {"json.shortEscape", "короткое экранирование \\u"},
    {"addin.noDevice", "не указано устройство: нужен порт (COM3, /dev/ttyUSB0) или путь HID-устройства"},
    {"addin.transport", "неизвестный способ подключения \"{0}\": нужно serial или hidpos"},
    {"addin.profile", "профиль не является JSON профиля сканера"},
    {"addin.deviceEnded", "{0} больше не передаёт данные: кабель отключён или устройства нет"},
    {"addin.readerFailed", "чтение {0} остановлено: не хватило памяти"},
    {"addin.param", "{0}: параметр {1} должен быть {2}"},
    {"addin.text", "строкой"},
    {"addin.flag", "булевым"},
    {"addin.number", "числом"},
    {"addin.noCode", "{0}: код нельзя нарисовать как {1}"},
    {"addin.noSetUp", "настройка не начата (НачатьНастройку)"},
    {"addin.unlearned", "настройка ещё не определила профиль: пройдите её шаги"},
    {"addin.noMemory", "платформа не выделила память для результата"},
    {"addin.failed", "{0}: ошибка: {1}"},
};

} // namespace

std::span<const CatalogueEntry> catalogue(Language language) {
    if (language == Language::Russian) return kRussian;
    return kEnglish;
}

} // namespace dvkhost
