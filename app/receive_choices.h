#pragma once

// What the user chose for receiving from a serial port, as the receive dialog shows it and the
// settings keep it from one run to the next; and where those settings are kept.

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
