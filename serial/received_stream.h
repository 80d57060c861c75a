#pragma once

// What a serial line brings from a camera: hex text in any layout the forgiving reader knows, with
// log lines between the pictures, or the pictures' own bytes. Which, it tells from what arrives:
// text in UTF-8 never holds the byte FF, and a JPEG's bytes begin with FF D8 FF.
//
// A camera without JPEG output sends raw frames: what came between two pauses of the line with no
// picture in it, as bytes or as hex text, is judged as a raw frame (raw_judge.h) when its count
// fits a common sensor size, and the frame becomes a picture.

#include "forgiving_reader.h"
#include "picture_finder.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace hexjpg {

// The time the check of one picture that arrived may take.
inline constexpr int kArrivedCheckMs = 2000;

class ReceivedStream {
public:
    // After this many bytes with no picture's start and much that is no text, the line is taken
    // for garbled (a wrong baud rate, as a rule).
    static constexpr qint64 kGarbleCheck = 4096;

    struct Arrival {
        std::vector<ArrivedPicture> pictures; // in order, each whole or cut where it stopped
        QByteArray text; // what arrived as text to show (UTF-8); the bytes as pairs once binary
    };

    Arrival feed(QByteArrayView block);
    // The line fell silent: the picture under way stops arriving, a layout not judged yet is
    // judged from what has come, and what came since the last pause may be a raw frame.
    Arrival pause();
    // The line ended: all that waited is read, and the picture under way is cut.
    Arrival finish();

    qint64 received() const { return m_received; }
    // Nothing readable has come: many bytes, no picture's start, and much that is no text.
    bool garbled() const;

private:
    void fromText(QByteArrayView text, Arrival &arrival);
    void fromBytes(QByteArrayView bytes, Arrival &arrival);
    void take(std::vector<ArrivedPicture> &&pictures, Arrival &arrival);
    void judgeFrame(Arrival &arrival);

    ForgivingStream m_text;
    PictureStream m_pictures;
    bool m_binary = false;
    bool m_startSeen = false; // a picture's start marker, in the bytes or in the text's bytes
    QByteArray m_carry;       // the block's last bytes, where the start of binary bytes may be cut
    qint64 m_received = 0;
    qint64 m_notText = 0; // bytes that no hex text holds: control bytes, and FF
    qint64 m_column = 0;  // pairs on the current line, once binary
    // What may be a raw frame: kept since the last pause, and let go for good, until the next
    // pause, once a picture comes or it grows too long for a frame.
    struct FrameKept {
        QByteArray bytes;
        bool closed = false;
        void keep(QByteArrayView more);
        void close() { bytes = QByteArray(), closed = true; }
        void reopen() { bytes.clear(), closed = false; }
    };
    FrameKept m_frameBytes, m_frameText; // the bytes as received, and as read from text
};

} // namespace hexjpg
