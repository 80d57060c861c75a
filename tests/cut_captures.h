#pragma once

// Captures that broke off and began again: a JPEG cut short inside one of its parts (an APPn's
// identifier, the quantisation tables, the frame header, the Huffman tables, the scan header, the
// scan), followed by another picture, the same picture again, or nothing.

#include "test_support.h"

#include <QByteArrayList>
#include <QList>
#include <QSize>
#include <QString>

#include <utility>

namespace testing {

struct CutCapture {
    QString name;
    QByteArray bytes;
    QByteArrayList pictures; // as they must be found: the cut one, where it counts, then the next
    QList<bool> whole;
};

// The picture cut: a JPEG with an EXIF segment after its JFIF one, as cameras write.
inline QByteArray cutCaptureSource()
{
    QByteArray jpeg = makeJpeg({96, 64});
    const QByteArray exif = QByteArray("Exif\0\0II*\0\x08\0\0\0\0\0", 16) + QByteArray(24, '\0');
    const int length = int(exif.size()) + 2;
    jpeg.insert(20, QByteArray("\xff\xe1", 2) + char(length >> 8) + char(length & 0xff) + exif);
    return jpeg;
}

// Where the first segment with marker code begins (its FF), or, for 0, where the scan's data does.
inline qsizetype segmentOf(const QByteArray &jpeg, uchar code, qsizetype *length)
{
    for (qsizetype at = 2; at + 4 <= jpeg.size();) {
        const uchar marker = uchar(jpeg[at + 1]);
        *length = uchar(jpeg[at + 2]) << 8 | uchar(jpeg[at + 3]);
        if (code != 0 && marker == code)
            return at;
        if (marker == 0xda) {
            *length = jpeg.size() - 2 - (at + 2 + *length); // the scan's data
            return at + 2 + (uchar(jpeg[at + 2]) << 8 | uchar(jpeg[at + 3]));
        }
        at += 2 + *length;
    }
    return -1;
}

inline QList<CutCapture> cutCaptures()
{
    const QByteArray a = cutCaptureSource(), b = makeJpeg({16, 16});
    struct Cut {
        const char *name;
        uchar code;
        bool beforeFrame; // no frame header yet: the cut part alone is no picture
    };
    static const Cut kCuts[] = {
        {"in an APPn's identifier", 0xe1, true}, {"in the quantisation tables", 0xdb, true},
        {"in the frame header", 0xc0, false},    {"in the Huffman tables", 0xc4, false},
        {"in the scan header", 0xda, false},     {"in the scan", 0, false}};
    QList<CutCapture> captures;
    for (const Cut &cut : kCuts) {
        qsizetype length = 0;
        const qsizetype at = segmentOf(a, cut.code, &length);
        const qsizetype cutAt = cut.code == 0xe1 ? at + 4 + 3
                                : cut.code == 0  ? at + length / 2
                                                 : at + 4 + (length - 2) / 2;
        const QByteArray cutShort = a.first(cutAt);
        for (const auto &[then, next] :
             {std::pair{"another picture", b}, std::pair{"the same again", a},
              std::pair{"nothing", QByteArray()}}) {
            CutCapture c;
            c.name = QString::fromLatin1(cut.name) + QStringLiteral(", then ") +
                     QString::fromLatin1(then);
            c.bytes = cutShort + next;
            if (!(cut.beforeFrame && next.isEmpty())) {
                c.pictures << cutShort;
                c.whole << false;
            }
            if (!next.isEmpty()) {
                c.pictures << next;
                c.whole << true;
            }
            captures << c;
        }
    }
    return captures;
}

} // namespace testing
