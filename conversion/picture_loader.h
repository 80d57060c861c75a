#pragma once

// Loads the output file as a picture, given only its path. Set up once with the size at which
// the picture will be shown, it decodes straight to that size: a large photo loads fast, and a
// file whose header claims a huge picture is refused by QImageReader's allocation limit.

#include <QImage>
#include <QSize>
#include <QString>

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
    QString errorString; // QImageReader's words for the failure
};

class PictureLoader {
public:
    // displaySize: device pixels to decode to; an empty size keeps the picture's own size.
    explicit PictureLoader(QSize displaySize = {});

    LoadedPicture load(const QString &path) const;

private:
    QSize m_displaySize;
};

} // namespace hexjpg
