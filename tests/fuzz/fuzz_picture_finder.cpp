// libFuzzer target for the picture finder on bytes as a decoded dump gives them: it never crashes
// or reads outside them, what it reports lies inside them, and it looks at each byte at most a
// few times whatever they hold. The bound is the worst the walks allow: a segment's first eight
// bytes read at every other byte (four times the bytes), a search for each of four signatures
// (four times), the entropy-coded data and the bytes before a marker once each; a quadratic path
// breaks it on the first input of a few hundred bytes.

#include "jpeg_markers.h"
#include "picture_finder.h"

#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    hexjpg::bytesExamined() = 0;
    const hexjpg::FoundPictures found = hexjpg::findPictures(bytes);
    if (hexjpg::bytesExamined() > 12 * qint64(size) + 64)
        std::abort();
    qint64 offset = 0, wholeEnd = 0;
    for (const hexjpg::FoundPicture &picture : found) {
        if (picture.offset < offset || picture.offset < wholeEnd || picture.length <= 0 ||
            picture.offset + picture.length > qint64(size))
            std::abort();
        offset = picture.offset;
        if (picture.whole)
            wholeEnd = picture.offset + picture.length;
    }
    if (found.total < qint64(found.size()))
        std::abort();
    return 0;
}
