#pragma once

// A serial port as both programs use it: opened 8N1 without flow control at any rate its driver
// takes, with DTR and RTS as chosen from the start; read as bytes arrive (readyRead, never a wait
// in the caller's thread); written to; and told when the device goes away. One implementation over
// Qt's serial-port module (serial_port_qt.cpp), one over the Windows API, where that module is
// not built (serial_port_windows.cpp).

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace hexjpg {

// A port the system lists: COM5 and what it is (USB-SERIAL CH340, wch.cn).
struct PortInfo {
    QString name;         // as the user names it: COM5, ttyUSB0
    QString location;     // what opens it: COM5, /dev/ttyUSB0
    QString description;  // what the system calls the device, where it knows
    QString manufacturer; // who made it, where the system knows
};

// The ports there are, in the order of their names (COM2 before COM10).
QList<PortInfo> availablePorts();

class SerialPort : public QObject {
    Q_OBJECT

public:
    // Why a port did not open.
    enum class Failure {
        None,
        NoSuchPort,
        Refused,  // another program holds it, or the user may not use it (ports.h says which)
        Settings, // the driver refused the rate or the settings
        Other,
    };
    struct Settings {
        qint32 baud = 115200;
        bool dtr = false; // the modem lines' levels from the start
        bool rts = false;
    };

    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // name: COM5 (any COM number) or a device path. On failure, failure() and errorString() say
    // why, and the port is closed.
    bool open(const QString &name, const Settings &settings);
    void close();
    bool isOpen() const;

    // What has arrived and not been read.
    QByteArray readAll();
    // Queued and sent as the line takes it; false when the port is not open.
    bool write(QByteArrayView bytes);
    bool setDtr(bool on);
    bool setRts(bool on);

    Failure failure() const;
    QString errorString() const; // the system's words

signals:
    void readyRead();
    // Reading failed while open: the device went away, as a rule. why is the system's words.
    // The port is closed.
    void lost(const QString &why);

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace hexjpg
