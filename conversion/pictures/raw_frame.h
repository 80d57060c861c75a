#pragma once

// Raw camera frames: the pixels of sensors without JPEG output (the OV7670 and its kin), as their
// sketches print or send them, in the byte layouts they use. A frame is width × height pixels
// of a fixed number of bytes each, row after row, with nothing between. QtGui only.

#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringView>

#include <optional>
#include <span>

namespace hexjpg {

enum class RawFormat {
    Rgb565,   // 16 bits RRRRRGGG GGGBBBBB, low byte first (as most sketches send)
    Rgb565Be, // the same, high byte first
    Rgb555,   // 16 bits xRRRRRGG GGGBBBBB, low byte first
    Yuyv,     // YUV 4:2:2: two pixels in four bytes, Y0 U Y1 V
    Uyvy,     // U Y0 V Y1
    Yvyu,     // Y0 V Y1 U
    Vyuy,     // V Y0 U Y1
    Gray,     // 8-bit grayscale
    Rgb888,   // R G B
    Bgr888,   // B G R
};

// Every format, in the order the console tool lists them.
std::span<const RawFormat> rawFormats();
// The format's name on the command line (rgb565, yuyv, ...), and the format a name gives.
QString rawFormatName(RawFormat format);
std::optional<RawFormat> rawFormatNamed(QStringView name);
// How it is told to a person: RGB565, RGB565 (high byte first), YUV 4:2:2 (YUYV), ...
QString rawFormatWords(RawFormat format);
int bytesPerPixel(RawFormat format);
bool isYuv(RawFormat format); // two pixels share their colour: the width is even
// The bytes a frame of size takes; 0 when the size is none (or too large to be a frame).
qint64 rawFrameBytes(RawFormat format, QSize size);

// A size typed as 320x240 (or 320×240); nothing when it is none. Each side 1 to 16384, and an odd
// width is refused for YUV by rawFrameBytes's caller, not here.
std::optional<QSize> rawSizeFromText(QStringView text);

// The frame's pixels as an RGB888 image (YUV read as BT.601 full range, as JFIF has it); a null
// image when frame does not hold exactly the bytes of one frame of size, or a YUV width is odd.
QImage rawFrameImage(QByteArrayView frame, RawFormat format, QSize size);

// One row of width pixels from in, as RGB888 to out (3 × width bytes).
void rawRowToRgb(const uchar *in, uchar *out, int width, RawFormat format);
// For a YUV row, how far its colours fall outside what RGB can hold, summed over the row's pixels
// and channels: colours a camera made from RGB fall inside, those of the wrong order often not.
qint64 yuvGamutExcess(const uchar *in, int width, RawFormat format);

} // namespace hexjpg
