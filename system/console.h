#pragma once

// How the operating system asks a run to stop, and how the run then ends: SIGINT and SIGTERM on
// POSIX systems, Ctrl+C, Ctrl+Break and the console closing on Windows. A stop asked for is passed
// on as an interruption (interruption.h), so that the work under way gives up at once and an
// earlier 1.jpg stays.

#include <QString>

#include <cstdio>

namespace hexjpg::system {

// A stop asked for from outside becomes an interruption request; a write past a file size limit
// fails with its reason instead of ending the program.
void installStopHandlers();

// Only the file size limit, for the window, which has no console to be stopped from.
void ignoreFileSizeLimit();

// Ends the program as the stop asked for would have ended it, once the work has given up.
[[noreturn]] void endByStop();

// A line of text to standard output or standard error: to a console as text it shows whole (the
// Chinese included), elsewhere as UTF-8. On a terminal it goes above the status line.
void printLine(std::FILE *to, const QString &text);

// Whether to is a terminal (a console on Windows), where a line can be rewritten in place.
bool isTerminal(std::FILE *to);
// One line on standard error, rewritten in place as it changes; an empty text takes it away.
// Only where standard error is a terminal: elsewhere nothing is shown.
void showStatus(const QString &text);

// Text as it is, without a line break (console_posix.cpp, console_windows.cpp).
void writeText(std::FILE *to, const QString &text);

} // namespace hexjpg::system
