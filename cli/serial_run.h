#pragma once

// hexjpg-cli --serial: pictures from a camera on a serial line, each written the moment it has
// arrived, until Ctrl+C (SIGTERM), the port is lost, or enough pictures have come.

#include "options.h"
#include "output.h"

// Receives until the run ends; returns the exit status.
int receiveFromSerial(const Options &options, const Output &output);
