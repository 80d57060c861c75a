#include "serial_source.h"

#include "ports.h"

#include <QCoreApplication>
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
    connect(&m_port, &hexjpg::SerialPort::readyRead, this, &SerialSource::readArrived);
    connect(&m_port, &hexjpg::SerialPort::lost, this, [this](const QString &why) {
        end(Words::tr("串口 %1 断开了（设备被拔出？）：%2").arg(m_name, why));
    });
    connect(&m_silence, &QTimer::timeout, this, &SerialSource::fallSilent);
}

SerialSource::~SerialSource()
{
    m_port.disconnect(this);
}

QString SerialSource::noSuchPort(const QString &port)
{
    QStringList names;
    for (const hexjpg::PortInfo &info : hexjpg::availablePorts())
        names << info.name;
    return Words::tr("找不到串口 %1。").arg(port) +
           (names.isEmpty() ? noPorts()
                            : Words::tr("现有的串口：%1").arg(names.join(Words::tr("、"))));
}

QString SerialSource::noPorts()
{
    return Words::tr(
        "这台电脑上现在没有串口。常见的原因：USB 转串口芯片（CH340、CP210x）的驱动没有装，"
        "数据线只能充电，或者开发板没有插好。");
}

QString SerialSource::highRateAdvice(qint32 baud)
{
    if (baud <= kHighRate)
        return {};
    return Words::tr("。这么高的波特率下，有的 USB 转串口芯片只支持固定的几种：可以试试低一些的，"
                     "或者芯片确切支持的（CH340 用 1000000，不用 921600）");
}

QStringList SerialSource::portList()
{
    QStringList lines;
    for (const hexjpg::PortInfo &info : hexjpg::availablePorts()) {
        QString line = info.name;
        if (!info.description.isEmpty())
            line += u"  "_s + info.description;
        if (!info.manufacturer.isEmpty() && !info.description.contains(info.manufacturer))
            line += u" — "_s + info.manufacturer;
        lines << line;
    }
    return lines;
}

bool SerialSource::open(const QString &port, qint32 baud)
{
    hexjpg::SerialPort::Settings settings;
    settings.baud = baud;
    return open(port, settings);
}

bool SerialSource::open(const QString &port, const hexjpg::SerialPort::Settings &settings)
{
    m_name = port;
    m_baud = settings.baud;
    m_error.clear();
    m_stream = hexjpg::ReceivedStream();
    if (m_rawFrames)
        m_raw.emplace(hexjpg::rawFrameBytes(m_rawFrames->format, m_rawFrames->size),
                      m_rawFrames->marker);
    m_toldGarbled = false;
    if (!m_port.open(port, settings)) {
        switch (m_port.failure()) {
        case hexjpg::SerialPort::Failure::NoSuchPort:
            m_error = noSuchPort(port);
            break;
        case hexjpg::SerialPort::Failure::Refused:
            m_error = hexjpg::system::whyPortRefused(port);
            break;
        case hexjpg::SerialPort::Failure::Settings:
            m_error = Words::tr("串口 %1 不能设为 %2 波特（8N1，无流控）：%3")
                          .arg(port)
                          .arg(settings.baud)
                          .arg(m_port.errorString());
            break;
        default:
            m_error = Words::tr("无法打开串口 %1：%2").arg(port, m_port.errorString());
            break;
        }
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
    if (m_raw)
        return handRawFrames(block);
    m_silence.start();
    hand(m_stream.feed(block));
    if (!m_toldGarbled && m_stream.garbled()) {
        m_toldGarbled = true;
        emit garbled(
            Words::tr(
                "收到了 %1 字节，但没有可读的内容：波特率可能不对（现在是 %2），请与设备的设置核对")
                .arg(m_stream.received())
                .arg(m_baud) +
            highRateAdvice(m_baud));
    }
}

void SerialSource::receiveRawFrames(hexjpg::RawFormat format, QSize size, const QByteArray &marker)
{
    m_rawFrames = RawFrames{format, size, marker};
    m_raw.emplace(hexjpg::rawFrameBytes(format, size), marker);
}

void SerialSource::handRawFrames(QByteArrayView block)
{
    const RawFrames &raw = *m_rawFrames;
    for (const QByteArray &frame : m_raw->feed(block)) {
        hexjpg::ArrivedPicture picture = hexjpg::rawFramePicture(frame, raw.format, raw.size, 1);
        picture.found.number = ++m_rawNumber;
        emit pictureArrived(picture);
    }
}

void SerialSource::fallSilent()
{
    m_silence.stop();
    hand(m_stream.pause());
}

void SerialSource::readArrived()
{
    for (QByteArray block = m_port.readAll(); !block.isEmpty(); block = m_port.readAll())
        receive(block);
}

void SerialSource::end(const QString &reason)
{
    m_silence.stop();
    m_port.close();
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
