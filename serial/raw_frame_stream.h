#pragma once

// Raw camera frames arriving over a serial line as bytes: each frame a fixed number of bytes,
// after a marker where the sketch prints one (*RDY*). What lies outside the frames is passed over.
// Feed a block, get the frames it completes; linear in what arrives, one frame held at most.

#include "picture_finder.h"
#include "raw_frame.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace hexjpg {

class RawFrameStream {
public:
    RawFrameStream(qint64 frameBytes, QByteArray marker);

    std::vector<QByteArray> feed(QByteArrayView block);
    qint64 received() const { return m_received; }
    qint64 pending() const { return m_frame.size(); } // of the frame under way

private:
    qint64 m_frameBytes;
    QByteArray m_marker;
    QByteArray m_tail; // the end of what was searched: a marker may begin there
    QByteArray m_frame;
    bool m_searching;
    qint64 m_received = 0;
};

// A frame of format and size as a picture that arrived: a JPEG at quality 95, 4:4:4.
ArrivedPicture rawFramePicture(QByteArrayView frame, RawFormat format, QSize size,
                               double certainty);

} // namespace hexjpg
