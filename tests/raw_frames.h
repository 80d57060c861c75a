#pragma once

// Raw camera frames for the tests: a picture's pixels laid out in each raw format, as a sensor
// without JPEG output sends them, and how near two pictures are (PSNR).

#include "raw_frame.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <cmath>

namespace testing {

// Something like a photo: smooth light, a few objects with soft edges, and sensor noise; vivid,
// its objects in strong colours.
inline QImage photoLike(QSize size, quint32 seed, bool vivid = false)
{
    QRandomGenerator random(seed);
    QImage image(size, QImage::Format_RGB888);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor::fromHsv(random.bounded(360), 90 + random.bounded(80), 230));
    sky.setColorAt(1, QColor::fromHsv(random.bounded(360), 60 + random.bounded(80), 120));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < 6; ++i) {
        QRadialGradient light(QPointF(random.bounded(size.width()), random.bounded(size.height())),
                              size.width() / 4.0);
        light.setColorAt(
            0, QColor::fromHsv(random.bounded(360),
                               vivid ? 200 + random.bounded(56) : 40 + random.bounded(200),
                               100 + random.bounded(155)));
        light.setColorAt(
            1, QColor::fromHsv(random.bounded(360), random.bounded(255), 30 + random.bounded(120)));
        painter.setPen(Qt::NoPen);
        painter.setBrush(light);
        painter.drawEllipse(QPointF(random.bounded(size.width()), random.bounded(size.height())),
                            size.width() / (3.0 + i), size.height() / (3.0 + i));
    }
    painter.end();
    for (int y = 0; y < size.height(); ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < 3 * size.width(); ++x)
            row[x] = uchar(std::clamp(int(row[x]) + int(random.bounded(7)) - 3, 0, 255));
    }
    return image;
}

// The picture's pixels in format, as a sensor would send them.
inline QByteArray rawFrameOf(const QImage &picture, hexjpg::RawFormat format)
{
    using hexjpg::RawFormat;
    const QImage image = picture.convertToFormat(QImage::Format_RGB888);
    QByteArray out;
    auto luma = [](const uchar *p, int &y, int &u, int &v) {
        y = std::clamp(int(std::lround(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2])), 0, 255);
        u = std::clamp(int(std::lround(-0.168736 * p[0] - 0.331264 * p[1] + 0.5 * p[2] + 128)), 0,
                       255);
        v = std::clamp(int(std::lround(0.5 * p[0] - 0.418688 * p[1] - 0.081312 * p[2] + 128)), 0,
                       255);
    };
    for (int row = 0; row < image.height(); ++row) {
        const uchar *p = image.constScanLine(row);
        for (int x = 0; x < image.width(); ++x, p += 3) {
            const unsigned r = p[0], g = p[1], b = p[2];
            const unsigned rgb565 = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
            const unsigned rgb555 = (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
            switch (format) {
            case RawFormat::Rgb565:
                out += char(rgb565 & 255), out += char(rgb565 >> 8);
                break;
            case RawFormat::Rgb565Be:
                out += char(rgb565 >> 8), out += char(rgb565 & 255);
                break;
            case RawFormat::Rgb555:
                out += char(rgb555 & 255), out += char(rgb555 >> 8);
                break;
            case RawFormat::Gray:
                out += char(std::lround(0.299 * r + 0.587 * g + 0.114 * b));
                break;
            case RawFormat::Rgb888:
                out += char(r), out += char(g), out += char(b);
                break;
            case RawFormat::Bgr888:
                out += char(b), out += char(g), out += char(r);
                break;
            default: { // YUV 4:2:2: two pixels, their colour averaged
                if (x % 2)
                    break;
                int y0, u0, v0, y1, u1, v1;
                luma(p, y0, u0, v0);
                luma(p + 3, y1, u1, v1);
                const char Y0 = char(y0), Y1 = char(y1), U = char((u0 + u1 + 1) / 2),
                           V = char((v0 + v1 + 1) / 2);
                const char four[4][4] = {
                    {Y0, U, Y1, V}, {U, Y0, V, Y1}, {Y0, V, Y1, U}, {V, Y0, U, Y1}};
                out.append(four[int(format) - int(RawFormat::Yuyv)], 4);
            }
            }
        }
    }
    return out;
}

// Peak signal-to-noise ratio of b against a, in dB, over all three channels.
inline double psnr(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB888),
                 y = b.convertToFormat(QImage::Format_RGB888);
    if (x.size() != y.size())
        return 0;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int i = 0; i < 3 * x.width(); ++i) {
            const double d = double(x.constScanLine(row)[i]) - y.constScanLine(row)[i];
            sum += d * d;
        }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 100 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace testing
