#pragma once

// A port that went away (a board that resets, a cable pulled, a sketch uploaded) opened again by
// the same name, with the same settings, every half second until it comes back or the time
// allowed has passed. Both programs wait for their port this way.

#include "serial_port.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class SerialSource;

class Reconnector : public QObject {
    Q_OBJECT

public:
    static constexpr int kRetryMs = 500;
    static constexpr int kDefaultSeconds = 30;

    explicit Reconnector(SerialSource *source, QObject *parent = nullptr);

    // Starts waiting for port; false, and no waiting, when allowedMs is 0 or less.
    bool begin(const QString &port, const hexjpg::SerialPort::Settings &settings, int allowedMs);
    void cancel();
    bool isWaiting() const { return m_retry.isActive(); }
    // The words for the wait, for the port lost: 每半秒试一次…
    static QString waitingWords(const QString &port, int allowedMs);

signals:
    void back();   // the port is open again
    void gaveUp(); // the time allowed has passed

private:
    void retry();

    SerialSource *m_source;
    QString m_port;
    hexjpg::SerialPort::Settings m_settings;
    int m_allowedMs = 0;
    QElapsedTimer m_waited;
    QTimer m_retry;
};
