#pragma once

// hexjpg-cli --serial: pictures from a camera on a serial line, each written the moment it has
// arrived, until Ctrl+C (SIGTERM), the port is lost, or enough pictures have come.

#include "options.h"
#include "output.h"

// Receives until the run ends; returns the exit status.
int receiveFromSerial(const Options &options, const Output &output);

// --list-ports: the ports there are, a line each (or, with --json, one object), or what usually
// causes there to be none. Returns the exit status.
int listPorts(const Output &output);
