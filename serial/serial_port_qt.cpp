// The serial port over Qt's serial-port module.

#include "serial_port.h"

#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>

namespace hexjpg {

QList<PortInfo> availablePorts()
{
    QList<PortInfo> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append(
            {info.portName(), info.systemLocation(), info.description(), info.manufacturer()});
    std::sort(ports.begin(), ports.end(), [](const PortInfo &a, const PortInfo &b) {
        return a.name.size() != b.name.size() ? a.name.size() < b.name.size() : a.name < b.name;
    });
    return ports;
}

class SerialPort::Private {
public:
    QSerialPort port;
    Failure failure = Failure::None;
    QString error;
};

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    connect(&d->port, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&d->port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // Once open, a port fails as a rule because its device went away (unplugged; a pty whose
        // other end closed fails an ioctl instead).
        if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError || !d->port.isOpen())
            return;
        const QString why = d->port.errorString();
        close();
        emit lost(why);
    });
}

SerialPort::~SerialPort()
{
    d->port.disconnect(this);
}

bool SerialPort::open(const QString &name, const Settings &settings)
{
    d->failure = Failure::None;
    d->error.clear();
    d->port.setPortName(name);
    const bool opened = [&] {
        const QSignalBlocker quiet(d->port); // the failure is told here, not as a lost port
        return d->port.open(QIODevice::ReadWrite);
    }();
    if (!opened) {
        d->error = d->port.errorString();
        d->failure = d->port.error() == QSerialPort::DeviceNotFoundError ? Failure::NoSuchPort
                     : d->port.error() == QSerialPort::PermissionError   ? Failure::Refused
                                                                         : Failure::Other;
        return false;
    }
    // The kernel raises DTR and RTS as it opens a tty; the chosen levels follow at once.
    const bool set =
        d->port.setBaudRate(settings.baud) && d->port.setDataBits(QSerialPort::Data8) &&
        d->port.setParity(QSerialPort::NoParity) && d->port.setStopBits(QSerialPort::OneStop) &&
        d->port.setFlowControl(QSerialPort::NoFlowControl);
    if (!set) {
        d->error = d->port.errorString();
        d->failure = Failure::Settings;
        const QSignalBlocker quiet(d->port);
        d->port.close();
        return false;
    }
    {
        // A pty has no modem lines: there the levels cannot be set, and nothing is lost.
        const QSignalBlocker quiet(d->port);
        d->port.setDataTerminalReady(settings.dtr);
        d->port.setRequestToSend(settings.rts);
        d->port.clearError();
    }
    return true;
}

void SerialPort::close()
{
    const QSignalBlocker quiet(d->port);
    d->port.close();
}

bool SerialPort::isOpen() const
{
    return d->port.isOpen();
}

QByteArray SerialPort::readAll()
{
    // A readyRead queued before the port was closed reads nothing.
    return d->port.isOpen() ? d->port.readAll() : QByteArray();
}

bool SerialPort::write(QByteArrayView bytes)
{
    return d->port.isOpen() && d->port.write(bytes.data(), bytes.size()) == bytes.size();
}

bool SerialPort::setDtr(bool on)
{
    return d->port.setDataTerminalReady(on);
}

bool SerialPort::setRts(bool on)
{
    return d->port.setRequestToSend(on);
}

SerialPort::Failure SerialPort::failure() const
{
    return d->failure;
}

QString SerialPort::errorString() const
{
    return d->error;
}

} // namespace hexjpg
