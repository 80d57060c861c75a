#include "raw_frame.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(RawFrame)
};

constexpr int kMaxSide = 16384;

struct Described {
    hexjpg::RawFormat format;
    const char16_t *name;
    int bytes;
};

constexpr std::array<Described, 10> kFormats = {{
    {hexjpg::RawFormat::Rgb565, u"rgb565", 2},
    {hexjpg::RawFormat::Rgb565Be, u"rgb565be", 2},
    {hexjpg::RawFormat::Rgb555, u"rgb555", 2},
    {hexjpg::RawFormat::Yuyv, u"yuyv", 2},
    {hexjpg::RawFormat::Uyvy, u"uyvy", 2},
    {hexjpg::RawFormat::Yvyu, u"yvyu", 2},
    {hexjpg::RawFormat::Vyuy, u"vyuy", 2},
    {hexjpg::RawFormat::Gray, u"gray", 1},
    {hexjpg::RawFormat::Rgb888, u"rgb888", 3},
    {hexjpg::RawFormat::Bgr888, u"bgr888", 3},
}};

const Described &described(hexjpg::RawFormat format)
{
    return *std::find_if(kFormats.begin(), kFormats.end(),
                         [format](const Described &d) { return d.format == format; });
}

uchar clamped(int value)
{
    return uchar(std::clamp(value, 0, 255));
}

// BT.601 full range, in fixed point (16 fraction bits): the colour before it is clamped to RGB.
std::array<int, 3> unclampedRgb(int y, int u, int v)
{
    u -= 128;
    v -= 128;
    return {y + ((91881 * v + 32768) >> 16), y - ((22554 * u + 46802 * v - 32768) >> 16),
            y + ((116130 * u + 32768) >> 16)};
}

void yuvToRgb(int y, int u, int v, uchar *rgb)
{
    const std::array<int, 3> c = unclampedRgb(y, u, v);
    for (int i = 0; i < 3; ++i)
        rgb[i] = clamped(c[i]);
}

// A 5- or 6-bit channel widened to 8 bits, its top bits repeated below.
constexpr uchar widen5(unsigned c)
{
    return uchar(c << 3 | c >> 2);
}
constexpr uchar widen6(unsigned c)
{
    return uchar(c << 2 | c >> 4);
}

// Where Y0, U, Y1 and V lie in each four bytes of a YUV 4:2:2 layout.
std::array<int, 4> yuvPlaces(hexjpg::RawFormat format)
{
    switch (format) {
    case hexjpg::RawFormat::Uyvy:
        return {1, 0, 3, 2};
    case hexjpg::RawFormat::Yvyu:
        return {0, 3, 2, 1};
    case hexjpg::RawFormat::Vyuy:
        return {1, 2, 3, 0};
    default:
        return {0, 1, 2, 3};
    }
}

void convertRow(const uchar *in, uchar *out, int width, hexjpg::RawFormat format)
{
    using hexjpg::RawFormat;
    switch (format) {
    case RawFormat::Rgb565:
    case RawFormat::Rgb565Be:
    case RawFormat::Rgb555:
        for (int x = 0; x < width; ++x, in += 2, out += 3) {
            const unsigned p = format == RawFormat::Rgb565Be ? unsigned(in[0]) << 8 | in[1]
                                                             : unsigned(in[1]) << 8 | in[0];
            if (format == RawFormat::Rgb555) {
                out[0] = widen5(p >> 10 & 31);
                out[1] = widen5(p >> 5 & 31);
            } else {
                out[0] = widen5(p >> 11 & 31);
                out[1] = widen6(p >> 5 & 63);
            }
            out[2] = widen5(p & 31);
        }
        break;
    case RawFormat::Yuyv:
    case RawFormat::Uyvy:
    case RawFormat::Yvyu:
    case RawFormat::Vyuy: {
        const auto [y0, u, y1, v] = yuvPlaces(format);
        for (int x = 0; x < width; x += 2, in += 4, out += 6) {
            yuvToRgb(in[y0], in[u], in[v], out);
            yuvToRgb(in[y1], in[u], in[v], out + 3);
        }
        break;
    }
    case RawFormat::Gray:
        for (int x = 0; x < width; ++x, out += 3)
            out[0] = out[1] = out[2] = in[x];
        break;
    case RawFormat::Rgb888:
        std::copy_n(in, 3 * width, out);
        break;
    case RawFormat::Bgr888:
        for (int x = 0; x < width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
        break;
    }
}

} // namespace

namespace hexjpg {

std::span<const RawFormat> rawFormats()
{
    static const std::array<RawFormat, kFormats.size()> formats = [] {
        std::array<RawFormat, kFormats.size()> all{};
        std::transform(kFormats.begin(), kFormats.end(), all.begin(),
                       [](const Described &d) { return d.format; });
        return all;
    }();
    return formats;
}

QString rawFormatName(RawFormat format)
{
    return QString::fromUtf16(described(format).name);
}

std::optional<RawFormat> rawFormatNamed(QStringView name)
{
    for (const Described &d : kFormats)
        if (name.compare(QStringView(d.name), Qt::CaseInsensitive) == 0)
            return d.format;
    return std::nullopt;
}

QString rawFormatWords(RawFormat format)
{
    switch (format) {
    case RawFormat::Rgb565:
        return u"RGB565"_s;
    case RawFormat::Rgb565Be:
        return Words::tr("RGB565（高字节在前）");
    case RawFormat::Rgb555:
        return u"RGB555"_s;
    case RawFormat::Gray:
        return Words::tr("8 位灰度");
    case RawFormat::Rgb888:
        return u"RGB888"_s;
    case RawFormat::Bgr888:
        return u"BGR888"_s;
    default:
        return u"YUV 4:2:2 (%1)"_s.arg(rawFormatName(format).toUpper());
    }
}

bool isYuv(RawFormat format)
{
    return format == RawFormat::Yuyv || format == RawFormat::Uyvy || format == RawFormat::Yvyu ||
           format == RawFormat::Vyuy;
}

int bytesPerPixel(RawFormat format)
{
    return described(format).bytes;
}

qint64 rawFrameBytes(RawFormat format, QSize size)
{
    if (size.width() < 1 || size.height() < 1 || size.width() > kMaxSide ||
        size.height() > kMaxSide)
        return 0;
    return qint64(size.width()) * size.height() * bytesPerPixel(format);
}

std::optional<QSize> rawSizeFromText(QStringView text)
{
    const qsizetype x = std::max(text.indexOf(u'x', 0, Qt::CaseInsensitive), text.indexOf(u'×'));
    if (x <= 0)
        return std::nullopt;
    bool okW = false, okH = false;
    const int w = text.first(x).trimmed().toInt(&okW), h = text.sliced(x + 1).trimmed().toInt(&okH);
    if (!okW || !okH || w < 1 || h < 1 || w > kMaxSide || h > kMaxSide)
        return std::nullopt;
    return QSize(w, h);
}

void rawRowToRgb(const uchar *in, uchar *out, int width, RawFormat format)
{
    convertRow(in, out, width, format);
}

qint64 yuvGamutExcess(const uchar *in, int width, RawFormat format)
{
    const auto [y0, u, y1, v] = yuvPlaces(format);
    auto excess = [](int c) { return c < 0 ? -c : c > 255 ? c - 255 : 0; };
    qint64 sum = 0;
    for (int x = 0; x + 1 < width; x += 2, in += 4)
        for (const int y : {in[y0], in[y1]})
            for (const int c : unclampedRgb(y, in[u], in[v]))
                sum += excess(c);
    return sum;
}

QImage rawFrameImage(QByteArrayView frame, RawFormat format, QSize size)
{
    const qint64 bytes = rawFrameBytes(format, size);
    if (bytes == 0 || frame.size() != bytes || (isYuv(format) && size.width() % 2 != 0))
        return {};
    QImage image(size, QImage::Format_RGB888);
    if (image.isNull())
        return {};
    const qsizetype row = qsizetype(size.width()) * bytesPerPixel(format);
    const auto *in = reinterpret_cast<const uchar *>(frame.data());
    for (int y = 0; y < size.height(); ++y)
        convertRow(in + y * row, image.scanLine(y), size.width(), format);
    return image;
}

} // namespace hexjpg
