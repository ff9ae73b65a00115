// What every dvk subcommand shares: argument, file and text helpers, and the one way to report a usage error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Prints "dvk: message" on stderr and gives the exit status for bad usage (2). Not wrapped: one line for
// whoever reads stderr in a log or a script.
int fail(const std::string& message);
// `text` wrapped to the terminal's width (80 columns without one), ending with a line feed.
std::string wrapped(const std::string& text, int hangingIndent = -1);
// Prints `text` wrapped on stdout.
void say(const std::string& text, int hangingIndent = -1);
// Prints `text` and a line feed on stdout, as it is.
void printLine(std::string_view text);
// "unknown option X" or "unexpected argument X", with where to look: the usage error every command shares.
int failArgument(const std::string& arg, const std::string& command);
// "X needs a value".
int failNoValue(const std::string& option);

// C-style escapes (\r \n \t \\ \" \0 \e \xHH) to bytes; nullopt for a malformed escape.
std::optional<std::string> unescapeText(std::string_view text);

// A text argument with C escapes, or standard input for "-"; nullopt when malformed or over 2 GiB.
std::optional<std::string> readTextArgument(const std::string& arg);

// The file's bytes; nullopt when it cannot be read, with the reason in `why` ("is a directory", ...).
std::optional<std::string> readFile(const std::string& path, std::string* why = nullptr);
bool writeFile(const std::string& path, const std::string& content);
// Why `path` could not be written now, or "" when it could; nothing is created or changed.
std::string writeProblem(const std::string& path);
std::optional<int32_t> parseInt(const std::string& text);
std::optional<uint64_t> parseUint(const std::string& text);

// A JSON string literal of the bytes (quotes and control bytes escaped).
std::string jsonQuote(const std::string& text);
// Text for HTML: & < > " ' escaped.
std::string htmlEscape(const std::string& text);

// True for an argument that looks like an option ("-x", "--x") but not "-" alone.
bool isOption(const std::string& arg);
