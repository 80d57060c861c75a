#pragma once

// hexjpg-cli's command line: what to read (a file, standard input or a serial port), where to
// write, and how to report.

#include "baud.h"
#include "dump_writer.h"
#include "raw_frame.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

struct Options {
    QString folder; // where 1.jpg goes
    // The name given for a folder whose name is not text, where messages would show the name it is
    // reached by (see keepRawPaths); empty otherwise.
    QString folderShown;
    QString serial; // the port to receive from
    qint32 baud = hexjpg::kDefaultBaud;
    qint64 count = 0;              // with --serial, the pictures to receive; 0: no limit
    bool dtr = false, rts = false; // the modem lines' levels from the port's opening on
    QByteArray send;               // sent once the port is open
    int sendEveryMs = 0;           // and again this often; 0: once
    int reconnectMs = 30000;       // how long a port that went away is waited for; 0: not at all
    QString saveEach;    // with --serial, a folder that keeps every picture under the time it came
    QString input;       // empty or "-": standard input
    QByteArray inputRaw; // the input's path as the command line gave its bytes
    bool forgiving = false;
    bool all = false;
    bool json = false;
    bool listPorts = false;               // --list-ports: the serial ports there are
    std::optional<hexjpg::RawFormat> raw; // the bytes are one raw frame of this format
    QSize rawSize;                        // and this size
    bool png = false;                     // the frame written as 1.png, lossless, not 1.jpg
    QByteArray frameMarker;               // with --serial, what comes before each frame
    bool dump = false; // --dump: the input's bytes written as text, not read as text
    hexjpg::DumpLayout dumpLayout = hexjpg::DumpLayout::Pairs;
    int perLine = 0; // bytes to a line of the dump
};

// Returns -1 when the command line is good, else the exit status to end with (--help and
// --version included, which print and end).
int parse(const QStringList &args, Options &options);

// Paths whose bytes are not text (a folder named on another system, say) lose them when the
// command line is decoded: they are taken as the bytes given. The input is opened by its bytes;
// the output folder becomes the working folder, which 1.jpg is then written in through a name of
// plain text for it. Returns false, having said why, when that folder cannot be entered.
bool keepRawPaths(int argc, char *argv[], Options &options);

class Output;
// Bad usage: what is wrong and how the command goes; with --json, that as the one object too.
// Returns the exit status for it.
int usage(const Output &output, const QString &problem);
