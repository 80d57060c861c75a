#include "reconnector.h"

#include "serial_source.h"

#include <QCoreApplication>

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(SerialSource)
};
} // namespace

Reconnector::Reconnector(SerialSource *source, QObject *parent)
    : QObject(parent)
    , m_source(source)
{
    connect(&m_retry, &QTimer::timeout, this, &Reconnector::retry);
}

QString Reconnector::waitingWords(const QString &port, int allowedMs)
{
    return Words::tr("每半秒试一次重新打开串口 %1，最多 %2 秒").arg(port).arg(allowedMs / 1000.0);
}

bool Reconnector::begin(const QString &port, const hexjpg::SerialPort::Settings &settings,
                        int allowedMs)
{
    m_retry.stop();
    if (allowedMs <= 0)
        return false;
    m_port = port;
    m_settings = settings;
    m_allowedMs = allowedMs;
    m_waited.start();
    m_retry.start(kRetryMs);
    return true;
}

void Reconnector::cancel()
{
    m_retry.stop();
}

void Reconnector::retry()
{
    if (m_source->open(m_port, m_settings)) {
        m_retry.stop();
        emit back();
    } else if (m_waited.elapsed() >= m_allowedMs) {
        m_retry.stop();
        emit gaveUp();
    }
}
