// Reference codes drawn with block characters, for a scanner to read them off the screen.
#pragma once

#include <string>
#include <vector>

// The width of the terminal on standard output (or input), in columns; 80 when neither is a terminal.
int terminalColumns();

struct TerminalDrawing {
    std::vector<std::string> lines; // ready to print, colours included; empty when the code does not fit
    int columns = 0;                // columns the drawing takes, or the fewest it would need
};

// Black on white whatever the terminal's colours, quiet zone included. A matrix code takes two module rows
// per line; a linear code takes one module per column, or two per column with half-block characters when
// one is too wide. `columns` 0 in the result: the library could not draw the code at all.
TerminalDrawing drawForTerminal(const std::string& symbology, const std::string& payload, bool gs1,
                                int columns);
