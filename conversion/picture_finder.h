#pragma once

// Finds the pictures in a run of bytes, such as the decoded dump of a camera's log: JPEG, and the
// other formats the loader reads (PNG, GIF, BMP). Each is cut by its own structure (a JPEG by
// its markers and segment lengths up to its end marker, a PNG by its chunks, a GIF by its blocks,
// a BMP by the size in its header), not by searching for an end marker. QtCore only.

#include <QByteArrayView>
#include <QSize>
#include <QString>

#include <vector>

namespace hexjpg {

struct FoundPicture {
    qint64 offset = 0;
    qint64 length = 0;
    QString format;     // "JPEG", "PNG", "GIF", "BMP"
    QSize size;         // from its header
    bool whole = false; // its structure runs to its end inside the bytes
    bool progressive = false;
    QString problem; // where its structure breaks, in words
};

// Every picture, in order; one that is cut short counts too, as not whole.
std::vector<FoundPicture> findPictures(QByteArrayView bytes);

} // namespace hexjpg
