#pragma once

// hexjpg-cli --serial: pictures from a camera on a serial line, each written the moment it has
// arrived, until Ctrl+C (SIGTERM), the port is lost, or enough pictures have come.

#include <QString>

struct SerialOptions {
    QString port;
    qint32 baud = 115200;
    qint64 count = 0; // the pictures to receive; 0: no limit
    bool all = false; // each picture as 1.jpg, 2.jpg, ..., rather than 1.jpg replaced
    bool json = false;
    QString folder;
};

// Receives until the run ends; returns the exit status.
int receiveFromSerial(const SerialOptions &options);
