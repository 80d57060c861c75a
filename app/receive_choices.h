#pragma once

// What the user chose for receiving from a serial port, as the receive dialog shows it and the
// settings keep it from one run to the next; and where those settings are kept.

#include "raw_frame.h"
#include "serial_port.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QSettings;

struct ReceiveChoices {
    static constexpr int kDefaultReconnectSeconds = 30;

    QString port;
    hexjpg::SerialPort::Settings settings;
    QString command; // as typed: text with escapes, or hex pairs
    bool commandIsHex = false;
    int reconnectSeconds = kDefaultReconnectSeconds; // 0: a port lost ends receiving
    bool saveEach = false;                           // every picture also kept in saveFolder
    QString saveFolder;
    // Raw camera frames of a format (its name: rgb565) and size, each after frameMarker where there
    // is one; with no format, pictures are found as they come and a frame is judged at a pause.
    QString rawFormat;
    QString rawSize; // as typed: 160x120
    QString frameMarker;

    // The raw frames chosen: their format and size; nothing when none is, or what was typed is no
    // frame (an unknown format, no size, an odd width for YUV).
    struct RawFrames {
        hexjpg::RawFormat format;
        QSize size;
    };
    std::optional<RawFrames> rawFrames() const;

    // The command's bytes (empty when there is none); nothing when what was typed is no command.
    std::optional<QByteArray> commandBytes() const;

    // What settings hold, defaults for what they do not, and nothing hostile taken as it is.
    static ReceiveChoices load(const QSettings &settings);
    void save(QSettings &settings) const;
};

// The settings of a program in programFolder. Installed, it keeps them in the system's place
// (the registry on Windows, ~/.config on Linux); run from a folder of its own (the portable zip, a
// build), in hexjpg.ini beside it, or in the user's configuration folder when that folder takes
// no file.
std::unique_ptr<QSettings> openSettings(const QString &programFolder, bool installed);
