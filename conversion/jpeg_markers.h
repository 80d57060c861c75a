#pragma once

// The marker structure of a JPEG file, walked without decoding it: the start marker, the segments
// with their lengths, the frame header, the scans with their entropy-coded data, and the end
// marker. Linear in the bytes, with a constant amount of memory. QtCore only.

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <vector>

class QIODevice;

namespace hexjpg {

struct JpegLayout {
    struct Component {
        int h = 1, v = 1; // sampling factors
    };

    bool startMarker = false; // the data starts with FF D8
    bool frame = false;       // a frame header (SOFn) was found
    bool progressive = false;
    int width = 0, height = 0;
    std::vector<Component> components;
    int scans = 0;
    bool endMarker = false; // FF D9 was reached
    qint64 end = 0;  // just past the end marker, before a new start marker, or where the data ended
    QString problem; // where the structure is broken, in words; empty when it is whole

    // What a decoder holds to buffer the whole picture's coefficients: progressive and other
    // multi-scan pictures need it, and a hostile header can make it enormous.
    qint64 coefficientBytes() const;
};

// Walks from the device's current position, or over bytes in memory, to the end marker or the end
// of the data; stops at a start marker that is not one.
JpegLayout walkJpeg(QIODevice &device);
JpegLayout walkJpeg(QByteArrayView bytes);

} // namespace hexjpg
