#pragma once

// What went wrong, or what was found, in short concrete sentences for the user: where the picture
// starts and ends in the bytes, what it is, whether it is whole and what the decoder said, and
// what a reading of the text passed over.

#include "forgiving_reader.h"
#include "picture_finder.h"
#include "picture_loader.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

namespace hexjpg {

// A count as the messages write it: 52,113.
QString number(qint64 n);

// "JPEG 图片，640×480 像素，52,113 字节"
QString describePicture(const LoadedPicture &picture, qint64 bytes);

// Why a picture that decoded is not whole, from its rows and its end marker; empty when it is.
QString incompleteness(const LoadedPicture &picture, qint64 bytes);

// The picture at offset, length bytes long, among total bytes: what it is, what lies before and
// after it, whether it is whole, and the decoder's warnings.
QStringList diagnosePicture(const LoadedPicture &picture, qint64 offset, qint64 length,
                            qint64 total);

// What a forgiving reading of the text passed over, and where.
QStringList diagnoseReading(const ForgivingRead &read);

// Why the bytes hold no picture: how they start, and what of a picture there is. bytes may be
// the first part of total bytes (-1: they are all there is), and found the pictures in them; at
// most kPicturesTold of those are listed, and the rest counted.
inline constexpr int kPicturesTold = 20;
QStringList diagnoseNoPicture(QByteArrayView bytes, const FoundPictures &found,
                              const QString &decoderSays, qint64 total = -1);

// What the search for pictures left undone, if anything.
QStringList diagnoseSearch(const FoundPictures &found);

// Whether text read as UTF-8 looks like UTF-16 without its byte-order mark: a NUL in every
// second byte.
bool looksLikeUtf16(QByteArrayView text);

} // namespace hexjpg
