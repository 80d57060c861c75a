#pragma once

// A camera on a serial line as a source of pictures, for the window and the console tool alike:
// the port opened (serial_port.h: 8N1, no flow control), what arrives read as it arrives, and each
// picture handed on the moment its last byte has come. Reading never waits: the bytes come with
// the event loop's readyRead.

#include "baud.h"
#include "raw_frame.h"
#include "raw_frame_stream.h"
#include "received_stream.h"
#include "serial_port.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class SerialSource : public QObject {
    Q_OBJECT

public:
    // A picture that has begun and receives no byte for this long is handed on as it stands.
    static constexpr int kSilenceMs = 2000;

    explicit SerialSource(QObject *parent = nullptr);
    ~SerialSource() override;

    // Opens port (a device path, or COM3 on Windows) and starts receiving. On failure, returns
    // false and errorString() says why in words, with what to do.
    bool open(const QString &port, qint32 baud = hexjpg::kDefaultBaud);
    bool open(const QString &port, const hexjpg::SerialPort::Settings &settings);
    // Stops receiving: what waited is read, and the picture under way is handed on as it stands.
    void close();
    bool isOpen() const { return m_port.isOpen(); }
    // A command to the board, queued and sent as the line takes it; false when not open.
    bool send(QByteArrayView bytes) { return m_port.write(bytes); }
    QString errorString() const { return m_error; }
    const hexjpg::ReceivedStream &stream() const { return m_stream; }
    // The bytes received since the port was opened.
    qint64 received() const { return m_raw ? m_raw->received() : m_stream.received(); }

    // From the next opening on, what arrives is raw frames of format and size, after marker where
    // there is one: each becomes a picture (a JPEG at quality 95, 4:4:4) the moment its last byte
    // has come, and nothing is read as text.
    void receiveRawFrames(hexjpg::RawFormat format, QSize size, const QByteArray &marker);

    // The words for a port name that does not exist: with the ports there are, or what usually
    // causes there to be none.
    static QString noSuchPort(const QString &port);
    // The ports there are, a line each (COM5  USB-SERIAL CH340 — wch.cn), or why there are none.
    static QStringList portList();
    // What usually causes there to be no port at all.
    static QString noPorts();
    // Above this rate, garbled data or pictures cut short often come from a rate the USB-serial
    // chip does not take exactly; the advice for it, or nothing at lower rates.
    static constexpr qint32 kHighRate = 460800;
    static QString highRateAdvice(qint32 baud);

    // What arrives from elsewhere than a port (a test, a benchmark), read as it would be.
    void receive(QByteArrayView block);
    void fallSilent();

signals:
    void textArrived(const QByteArray &utf8); // what came, as text to show
    void pictureArrived(const hexjpg::ArrivedPicture &picture);
    void garbled(const QString &message); // once: nothing readable came
    // Receiving ended: reason says why when the port was lost, and is empty after close().
    void ended(const QString &reason);

private:
    void readArrived();
    void hand(hexjpg::ReceivedStream::Arrival &&arrival);
    void handRawFrames(QByteArrayView block);
    void end(const QString &reason);

    hexjpg::SerialPort m_port;
    QTimer m_silence;
    hexjpg::ReceivedStream m_stream;
    QString m_name, m_error;
    qint32 m_baud = hexjpg::kDefaultBaud;
    bool m_toldGarbled = false;
    struct RawFrames {
        hexjpg::RawFormat format;
        QSize size;
        QByteArray marker;
    };
    std::optional<RawFrames> m_rawFrames;
    std::optional<hexjpg::RawFrameStream> m_raw;
    qint64 m_rawNumber = 0;
};
