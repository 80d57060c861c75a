#pragma once

// The operating system's words for a serial port that would not open: whether the user may not
// use it (and what to do about it), or another program holds it. One file for POSIX systems, one
// for Windows.

#include <QString>

namespace hexjpg::system {

// Why the port at path (a device path, or COM3 on Windows) was refused when the serial-port
// library says it could not have it: no permission, or in use elsewhere.
QString whyPortRefused(const QString &path);

} // namespace hexjpg::system
