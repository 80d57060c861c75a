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
    QString problem; // where its structure breaks, in words
    qint64 number = 0; // its place among all the pictures found, from 1
};

// The pictures found, in order: the first kKeptFirst and the last kKeptLast of them when there
// are more, and how many there are in all.
struct FoundPictures : std::vector<FoundPicture> {
    static constexpr std::size_t kKeptFirst = 1000;
    static constexpr std::size_t kKeptLast = 100;
    qint64 total = 0;
    bool interrupted = false; // the search was stopped before the end of the bytes
    qint64 skippedStarts = 0; // start markers inside too many unfinished pictures, not walked
};

// Every picture, in order; one that is cut short counts too, as not whole. A picture inside a
// whole one (a thumbnail in its EXIF data, say) is part of it, not a picture of its own. The
// search stops when cancel becomes true, or when interruption is requested (interruption.h).
FoundPictures findPictures(QByteArrayView bytes, const std::atomic<bool> *cancel = nullptr);

} // namespace hexjpg
