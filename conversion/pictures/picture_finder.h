#pragma once

// Finds the pictures in a run of bytes, such as the decoded dump of a camera's log: JPEG, and the
// other formats the loader reads (PNG, GIF, BMP). Each is cut by its own structure (a JPEG by
// its markers and segment lengths up to its end marker, a PNG by its chunks, a GIF by its blocks,
// a BMP by the size in its header), not by searching for an end marker. QtCore only.
//
// Every start marker is walked, and the search goes on inside a picture that is not whole: a
// transfer cut short and retried, or a stray header whose structure runs past the data, hides no
// picture behind it. Walks that reach the same position go on as one, so the work stays linear
// in the bytes whatever they hold.

#include <QByteArrayView>
#include <QSize>
#include <QString>

#include <atomic>
#include <vector>

namespace hexjpg {

struct FoundPicture {
    qint64 offset = 0;
    qint64 length = 0;
    QString format;     // "JPEG", "PNG", "GIF", "BMP"
    QSize size;         // from its header
    bool whole = false; // its structure runs to its end inside the bytes, unbroken
    bool progressive = false;
    QString problem;     // where its structure breaks, in words
    qint64 number = 0;   // its place among all the pictures found, from 1
    bool runsOn = false; // not whole only because the bytes end: more bytes may complete it
};

// The pictures found, in order: the first kKeptFirst and the last kKeptLast of them when there
// are more, and how many there are in all.
struct FoundPictures : std::vector<FoundPicture> {
    static constexpr std::size_t kKeptFirst = 1000;
    static constexpr std::size_t kKeptLast = 100;
    qint64 total = 0;
    bool interrupted = false; // the search was stopped before the end of the bytes
    qint64 skippedStarts = 0; // start markers inside too many unfinished pictures, not walked
    // The first and the last start marker whose structure runs on past the end of the bytes,
    // whether or not it has shown a picture's header yet; -1 when there is none.
    qint64 runsOnFirst = -1, runsOnLast = -1;
};

// Every picture, in order; one that is cut short counts too, as not whole. A picture inside a
// whole one (a thumbnail in its EXIF data, say) is part of it, not a picture of its own. The
// search stops when cancel becomes true, or when interruption is requested (interruption.h).
FoundPictures findPictures(QByteArrayView bytes, const std::atomic<bool> *cancel = nullptr);

// A picture that has arrived: whole, or cut where it stopped arriving.
struct ArrivedPicture {
    FoundPicture found; // its offset counts from the first byte that arrived
    QByteArray bytes;
    // Encoded from a raw camera frame: its format's name (rgb565) and how sure the judgement of
    // it was, 0 to 1 (1 where the format was chosen); empty where the bytes came as a picture.
    QString rawFormat;
    double rawCertainty = 0;
};

// The pictures of bytes that arrive in blocks, as from a camera on a serial line, each handed on
// as soon as its last byte has come; the same search as findPictures, over what may yet hold one.
//
// A picture that has begun is handed on, not whole, when a new start marker comes before its
// end, when it passes kMaxInFlight, or at cut() (the line fell silent, or ended). The bytes kept
// are those of the picture under way; the search goes over them again only when an end marker
// may have completed it, and all searching together looks at no more than a few times the bytes
// that arrived, however they are made.
class PictureStream {
public:
    static constexpr qint64 kMaxInFlight = qint64(64) << 20;

    std::vector<ArrivedPicture> feed(QByteArrayView block);
    // The picture under way, as it stands; what is kept is let go.
    std::vector<ArrivedPicture> cut();

    qint64 received() const { return m_received; }
    qint64 kept() const { return m_buffer.size(); } // bytes held for a picture under way
    qint64 total() const { return m_total; }        // pictures handed on

private:
    void feedPart(QByteArrayView block, std::vector<ArrivedPicture> &out);
    void search(bool cutting, std::vector<ArrivedPicture> &out);

    QByteArray m_buffer;
    qint64 m_base = 0; // the place of the buffer's first byte among all that arrived
    qint64 m_received = 0;
    qint64 m_searched = 0;     // bytes the searches have gone over
    qint64 m_searchedSize = 0; // the buffer's size at the last search
    bool m_endSeen = false;    // an end marker came since the last search
    qint64 m_total = 0;
};

} // namespace hexjpg
