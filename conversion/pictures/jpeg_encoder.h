#pragma once

// A picture encoded as a JPEG file with libjpeg-turbo: baseline, full chroma (4:4:4), so that
// every viewer opens it and no colour is halved.

#include <QByteArray>
#include <QImage>

namespace hexjpg {

inline constexpr int kRawJpegQuality = 95;

// The JPEG file's bytes; empty when the image is null or memory runs out.
QByteArray encodeJpeg(const QImage &image, int quality = kRawJpegQuality);

} // namespace hexjpg
