#pragma once

// What the tests share: files read and written whole, a file size limit, and pictures and dumps
// made on the spot.

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <cstdlib>

extern "C" {
#include <jpeglib.h>
}
#include <QPainter>
#include <QString>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>

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

// A picture as JPEG, by libjpeg-turbo itself: the programs decode with it, and Qt's own JPEG
// plug-in is not in every build (the Windows one leaves it out).
inline QByteArray encodeJpeg(const QImage &picture, bool progressive = false, int quality = 85)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uchar *>(image.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

// A JPEG with some structure in it, so that it is not all one colour.
inline QByteArray makeJpeg(QSize size, bool progressive = false)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(30, 60, 140));
    QPainter painter(&image);
    painter.setBrush(QColor(20, 160, 60));
    painter.drawEllipse(QRect(QPoint(size.width() / 4, size.height() / 4), size / 2));
    painter.end();
    return encodeJpeg(image, progressive);
}

// The frame header's height and width set to h and w, in a baseline or progressive JPEG.
inline QByteArray withClaimedSize(QByteArray jpeg, quint16 h, quint16 w)
{
    qsizetype sof = jpeg.indexOf("\xff\xc0");
    if (sof < 0)
        sof = jpeg.indexOf("\xff\xc2");
    if (sof < 0)
        return {};
    const char claim[] = {char(h >> 8), char(h), char(w >> 8), char(w)};
    return jpeg.replace(sof + 5, 4, claim, 4);
}

// count empty scans (a DC refinement of the first component, 12 bytes each) before the end
// marker: each costs a decoder a pass over the picture.
inline QByteArray withExtraScans(QByteArray jpeg, int count)
{
    const QByteArray scan = QByteArray::fromHex("ffda00080101000000100000");
    return jpeg.insert(jpeg.lastIndexOf("\xff\xd9"), scan.repeated(count));
}

// A baseline JPEG of one grey, built marker by marker with one-code Huffman tables: every block
// is two bits ("DC unchanged, end of block"), so that even 45000 × 45000 pixels take 8 MB.
inline QByteArray makeGreyJpeg(int width, int height)
{
    QByteArray jpeg;
    auto two = [&](int v) { jpeg.append(char(v >> 8)).append(char(v)); };
    jpeg.append("\xff\xd8\xff\xdb");
    two(67);
    jpeg.append('\0').append(QByteArray(64, 1));
    jpeg.append("\xff\xc0");
    two(11);
    jpeg.append(char(8));
    two(height);
    two(width);
    jpeg.append(QByteArray::fromHex("01011100")); // one component, no subsampling
    for (char table : {'\x00', '\x10'}) {
        jpeg.append("\xff\xc4");
        two(20);
        jpeg.append(table).append(char(1)).append(QByteArray(15, 0)).append('\0');
    }
    jpeg.append("\xff\xda");
    two(8);
    jpeg.append(QByteArray::fromHex("010100003f00"));
    const qint64 bits = 2 * qint64((width + 7) / 8) * ((height + 7) / 8);
    jpeg.append(QByteArray(bits / 8, 0));
    if (bits % 8)
        jpeg.append(char(0xff >> (bits % 8)));
    return jpeg.append("\xff\xd9");
}

// Arduino's Serial.print(b, HEX): no leading zeros, sixteen bytes to a line.
inline QString unpaddedDump(const QByteArray &bytes, const QString &linePrefix = {})
{
    QString text;
    for (qsizetype i = 0; i < bytes.size(); i += 16) {
        text += linePrefix;
        for (qsizetype j = i; j < std::min(i + 16, bytes.size()); ++j)
            text += QString::number(uchar(bytes[j]), 16).toUpper() + u' ';
        text += QStringLiteral("\r\n");
    }
    return text;
}

// A serial monitor's log of a camera's captures, as the Arduino IDE shows it: each line behind a
// timestamp, the firmware's status lines between the captures.
inline QString serialLog(const QList<QByteArray> &captures)
{
    QString log;
    int second = 0;
    for (const QByteArray &capture : captures) {
        const QString stamp = QStringLiteral("12:00:%1.250 -> ").arg(second++, 2, 10, QChar(u'0'));
        log += stamp + QStringLiteral("Capture done\r\n");
        log += unpaddedDump(capture, stamp);
        log += stamp + QStringLiteral("Image Transfer Complete\r\n");
    }
    return log;
}

// A JPEG with a run of zeros in it (an application segment): dumps that fold repeated lines into
// '*' fold this run.
inline QByteArray withZeroRun(QByteArray jpeg, int zeros)
{
    const QByteArray segment = QByteArray("\xff\xef") + char((zeros + 2) >> 8) +
                               char((zeros + 2) & 0xff) + QByteArray(zeros, '\0');
    return jpeg.insert(2, segment);
}

// The window's layout: every pair followed by a blank, on one line.
inline QString dumpOf(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper() + ' ');
}

} // namespace testing
