#pragma once

// What the tests share: files read and written whole, a file size limit, and pictures and dumps
// made on the spot.

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QString>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace testing {

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

#ifdef Q_OS_LINUX
// While it lives, no file can grow past bytes: a write fails part-way, as on a full disk, even
// for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

// While it lives, the process may map no more than bytes beyond what it maps already: the next
// large allocation fails, as when memory runs out.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_AS, &m_saved);
        rlimit limited = m_saved;
        limited.rlim_cur = mappedBytes() + bytes;
        setrlimit(RLIMIT_AS, &limited);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_saved); }
    AddressSpaceLimit(const AddressSpaceLimit &) = delete;
    AddressSpaceLimit &operator=(const AddressSpaceLimit &) = delete;

private:
    static rlim_t mappedBytes()
    {
        QFile status(QStringLiteral("/proc/self/statm"));
        status.open(QIODevice::ReadOnly);
        return rlim_t(status.readAll().split(' ').value(0).toULongLong()) * rlim_t(getpagesize());
    }
    rlimit m_saved{};
};
#endif

// A JPEG with some structure in it, so that it is not all one colour.
inline QByteArray makeJpeg(QSize size, bool progressive = false)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(30, 60, 140));
    QPainter painter(&image);
    painter.setBrush(QColor(20, 160, 60));
    painter.drawEllipse(QRect(QPoint(size.width() / 4, size.height() / 4), size / 2));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(85);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// The window's layout: every pair followed by a blank, on one line.
inline QString dumpOf(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper() + ' ');
}

} // namespace testing
