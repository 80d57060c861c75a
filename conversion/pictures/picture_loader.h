#pragma once

// Loads the output file as a picture. Set up once with the size at which the picture will be
// shown, it decodes straight to that size. JPEG pictures go through libjpeg-turbo under limits
// of memory, scans and time (jpeg_decoder.h); other formats through Qt's image readers under the
// same memory limit. A hostile picture is refused as not a picture, in bounded time and memory.

#include "hex_to_jpeg.h"
#include "jpeg_decoder.h"
#include "picture_finder.h"

#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

class QIODevice;

namespace hexjpg {

// Error numbers of a failed load: the run-time error numbers of the platform the tool was made
// for, which its picture loader gives (481 "invalid picture", 53 "file not found", 75 "path/file
// access error").
inline constexpr int kInvalidPicture = 481; // the file is not a picture
inline constexpr int kFileNotFound = 53;
inline constexpr int kFileAccessError = 75; // the file exists but cannot be read
inline constexpr int kNotChecked = -1; // the run's time for decoding was used up, or it was stopped

// The picture area of the window, in pixels: every loaded picture is stretched over it.
inline constexpr QSize kPictureAreaSize{425, 345};

struct LoadedPicture {
    QImage image;
    int error = 0;       // 0 when image holds the picture
    QString errorString; // the decoder's or the system's words for the failure

    // What the picture is, from the same decoding that made the image.
    QString format;        // "JPEG", "PNG", ...
    QSize size;            // its own size in pixels
    qint64 bytes = 0;      // the data read
    bool complete = true;  // nothing of it is missing
    int rows = 0;          // JPEG: its rows, and those decoded before the data ran out (-1:
    int rowsWithData = 0;  // a progressive picture, whose rows come all at once)
    bool endMarker = true; // JPEG: FF D9 was reached
    qint64 end = -1;       // JPEG: where its structure ends in the data
    QStringList warnings;  // the decoder's own words
};

inline LoadedPicture failedLoad(int error, const QString &why)
{
    LoadedPicture picture;
    picture.error = error;
    picture.errorString = why;
    return picture;
}

class PictureLoader {
public:
    // displaySize: device pixels to decode to; an empty size keeps the picture's own size.
    explicit PictureLoader(QSize displaySize = {}, const DecodeLimits &limits = {});

    LoadedPicture load(const QString &path) const;
    // From the device's current position: for a file written a moment ago, the very bytes
    // written, whatever has become of its path since.
    LoadedPicture load(QIODevice &device) const;
    LoadedPicture load(QByteArrayView bytes) const;

    // Of the pictures found in bytes, the newest that decodes, whole ones before those cut short:
    // in a camera's log, the last capture. picture receives it. At most kPicturesTried are
    // decoded, and none once the limits' time is used up; null when none of those decodes.
    static constexpr int kPicturesTried = 8;
    const FoundPicture *loadNewest(QByteArrayView bytes, const std::vector<FoundPicture> &found,
                                   LoadedPicture &picture) const;

    QSize displaySize() const { return m_displaySize; }
    const DecodeLimits &limits() const { return m_limits; }

private:
    QSize m_displaySize;
    DecodeLimits m_limits;
};

// Bytes that arrived (a picture from a serial line) written to folder/name, whole or not at all
// (see writeOutput), and then, unless the writing failed, checked as a picture by loader.
struct WrittenPicture {
    ConversionResult written;
    LoadedPicture picture;
};
WrittenPicture writeAndLoad(QByteArrayView bytes, const QString &folder, QStringView name,
                            const PictureLoader &loader);

} // namespace hexjpg
