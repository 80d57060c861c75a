#pragma once

// hexjpg-cli --dump: a file's bytes (a picture, as a rule) written to standard output as text in
// one of the layouts people paste and compile, the other direction of the conversion.

class Output;
struct Options;

int dumpFile(const Options &options, const Output &output);
