#pragma once

// JPEG pictures decoded with libjpeg-turbo directly, under limits that hold whatever the file
// claims: memory, number of scans and time. Qt's own reader bounds only the picture it returns,
// not the decoder's buffers, and says nothing of how many rows really decoded.

#include "jpeg_markers.h"

#include <QDeadlineTimer>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>

class QIODevice;

namespace hexjpg {

struct DecodeLimits {
    qint64 memoryBytes = qint64(256) << 20; // the decoder's buffers and the picture together
    int scans = 300;                        // real progressive pictures have about ten
    int milliseconds = 5000;
    // One budget for a whole run of many pictures: past it, decoding stops, and a picture not
    // started is not decoded at all.
    QDeadlineTimer deadline = QDeadlineTimer::Forever;
    // Decoding stops at once when this becomes true, or when interruption is requested
    // (interruption.h).
    const std::atomic<bool> *cancel = nullptr;
    // Walk the marker structure before decoding: refuses hostile headers before the decoder
    // allocates, and tells where the picture ends. Without it libjpeg's own limits still hold.
    bool walkFirst = true;
};

struct JpegDecoded {
    QImage image;            // null when the picture could not be decoded
    QString error;           // why not: a limit, or libjpeg's own words
    bool notStarted = false; // the run's time was used up, or it was stopped, before it began
    QStringList warnings;    // libjpeg's warnings, in its own words
    QSize size;              // the picture's own size, from its header
    JpegLayout layout;       // its marker structure (walked where the device can seek back)
    bool dataRanOut = false; // the data, or a scan's data before a marker, ended before the
                             // picture did
    int rows = 0;            // rows of the picture
    int rowsWithData = 0;    // of those, the rows decoded before the data ran out; -1 where that
                             // cannot be told (a progressive picture holds all its rows at once)
};

// Decodes the JPEG that the device holds from its current position. With a display size, decodes
// at the smallest scale that still covers it (libjpeg scales by eighths), then to that size.
JpegDecoded decodeJpeg(QIODevice &device, QSize displaySize = {}, const DecodeLimits &limits = {});

} // namespace hexjpg
