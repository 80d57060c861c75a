#pragma once

// hexjpg-cli reading a dump from a file or standard input: 1.jpg (or each picture) written, and
// what it holds checked and told.

#include "options.h"
#include "output.h"

// Runs to the end; returns the exit status. A stop asked for (SIGINT, SIGTERM) ends the program
// as the stop would, once the step under way has let go.
int readFromFile(const Options &options, const Output &output);
