#include "serial_source.h"

#include "ports.h"

#include <QCoreApplication>
#include <QSerialPortInfo>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(SerialSource)
};
} // namespace

SerialSource::SerialSource(QObject *parent)
    : QObject(parent)
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(kSilenceMs);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialSource::readArrived);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialSource::portError);
    connect(&m_silence, &QTimer::timeout, this, &SerialSource::fallSilent);
}

SerialSource::~SerialSource()
{
    m_port.disconnect(this);
}

QString SerialSource::noSuchPort(const QString &port)
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    return Words::tr("找不到串口 %1。").arg(port) +
           (names.isEmpty() ? Words::tr("这台电脑上现在没有串口：设备插好了吗？")
                            : Words::tr("现有的串口：%1").arg(names.join(Words::tr("、"))));
}

bool SerialSource::open(const QString &port, qint32 baud)
{
    m_name = port;
    m_baud = baud;
    m_error.clear();
    m_stream = hexjpg::ReceivedStream();
    m_toldGarbled = false;
    m_port.setPortName(port);
    const bool opened = [&] {
        const QSignalBlocker quiet(m_port); // the failure is told here, not as a lost port
        return m_port.open(QIODevice::ReadOnly);
    }();
    if (!opened) {
        switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError:
            m_error = noSuchPort(port);
            break;
        case QSerialPort::PermissionError:
            m_error = hexjpg::system::whyPortRefused(port);
            break;
        default:
            m_error = Words::tr("无法打开串口 %1：%2").arg(port, m_port.errorString());
            break;
        }
        return false;
    }
    const bool set = m_port.setBaudRate(baud) && m_port.setDataBits(QSerialPort::Data8) &&
                     m_port.setParity(QSerialPort::NoParity) &&
                     m_port.setStopBits(QSerialPort::OneStop) &&
                     m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!set) {
        m_error = Words::tr("串口 %1 不能设为 %2 波特（8N1，无流控）：%3")
                      .arg(port)
                      .arg(baud)
                      .arg(m_port.errorString());
        const QSignalBlocker quiet(m_port);
        m_port.close();
        return false;
    }
    // What waited in the port before it was opened belongs to nothing: read it all the same.
    readArrived();
    return true;
}

void SerialSource::close()
{
    if (!m_port.isOpen())
        return;
    readArrived();
    end({});
}

void SerialSource::receive(QByteArrayView block)
{
    if (block.isEmpty())
        return;
    m_silence.start();
    hand(m_stream.feed(block));
    if (!m_toldGarbled && m_stream.garbled()) {
        m_toldGarbled = true;
        emit garbled(
            Words::tr(
                "收到了 %1 字节，但没有可读的内容：波特率可能不对（现在是 %2），请与设备的设置核对")
                .arg(m_stream.received())
                .arg(m_baud));
    }
}

void SerialSource::fallSilent()
{
    m_silence.stop();
    hand(m_stream.pause());
}

void SerialSource::readArrived()
{
    while (m_port.isOpen() && m_port.bytesAvailable() > 0)
        receive(m_port.readAll());
}

void SerialSource::portError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port.isOpen())
        return;
    // Once open, a port fails as a rule because its device went away (unplugged; a pty whose
    // other end closed fails an ioctl instead).
    end(Words::tr("串口 %1 断开了（设备被拔出？）：%2").arg(m_name, m_port.errorString()));
}

void SerialSource::end(const QString &reason)
{
    m_silence.stop();
    {
        const QSignalBlocker quiet(m_port);
        m_port.close();
    }
    hand(m_stream.finish());
    emit ended(reason);
}

void SerialSource::hand(hexjpg::ReceivedStream::Arrival &&arrival)
{
    if (!arrival.text.isEmpty())
        emit textArrived(arrival.text);
    for (const hexjpg::ArrivedPicture &picture : arrival.pictures)
        emit pictureArrived(picture);
}
