// libFuzzer target for the forgiving reader and the picture finder: whatever the text, they never
// crash, never read outside it, what they report lies inside it, and the '*' lines fill no more
// than their bound.

#include "forgiving_reader.h"
#include "picture_finder.h"

#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkRead(const hexjpg::ForgivingRead &read, qint64 characters)
{
    check(read.skippedCharacters <= characters);
    check(read.bytes.size() <= characters + hexjpg::ForgivingRead::kMaxFill);
    check(qint64(read.skipped.size()) <= read.skippedSpans);
    for (const hexjpg::SkippedSpan &span : read.skipped)
        check(span.line >= 1 && span.column >= 1 && span.length >= 1 && span.length <= characters);
    qint64 offset = 0;
    for (const hexjpg::FoundPicture &picture : hexjpg::findPictures(read.bytes)) {
        check(picture.offset >= offset && picture.length > 0);
        check(picture.offset + picture.length <= read.bytes.size());
        offset = picture.offset;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkRead(hexjpg::readForgiving(bytes), qint64(size));
    const QString text = QString::fromUtf8(bytes);
    checkRead(hexjpg::readForgiving(QStringView(text)), text.size());
    return 0;
}
