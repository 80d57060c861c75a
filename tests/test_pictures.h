#pragma once

// Pictures and dumps made on the spot for the tests.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QString>

namespace testing {

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
