#pragma once

// Loads the output file as a picture. Set up once with the size at which the picture will be
// shown, it decodes straight to that size. JPEG pictures go through libjpeg-turbo under limits
// of memory, scans and time (jpeg_decoder.h); other formats through Qt's image readers under the
// same memory limit. A hostile picture is refused as not a picture, in bounded time and memory.

#include "jpeg_decoder.h"

#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;

namespace hexjpg {

// Error numbers of a failed load.
inline constexpr int kInvalidPicture = 481; // the file is not a picture
inline constexpr int kFileNotFound = 53;
inline constexpr int kFileAccessError = 75; // the file exists but cannot be read

// The picture area of the window, in pixels: every loaded picture is stretched over it.
inline constexpr QSize kPictureAreaSize{425, 345};

struct LoadedPicture {
    QImage image;
    int error = 0;       // 0 when image holds the picture
    QString errorString; // the decoder's or the system's words for the failure
};

class PictureLoader {
public:
    // displaySize: device pixels to decode to; an empty size keeps the picture's own size.
    explicit PictureLoader(QSize displaySize = {}, const DecodeLimits &limits = {});

    LoadedPicture load(const QString &path) const;
    // From the device's current position: for a file written a moment ago, the very bytes
    // written, whatever has become of its path since.
    LoadedPicture load(QIODevice &device) const;

private:
    QSize m_displaySize;
    DecodeLimits m_limits;
};

} // namespace hexjpg
