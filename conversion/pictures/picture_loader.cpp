#include "picture_loader.h"

#include "interruption.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(PictureLoader)
};
} // namespace

namespace hexjpg {

namespace {

// The most of a picture in another format than JPEG that is read again to check its structure.
constexpr qint64 kStructureChecked = qint64(64) << 20;

} // namespace

PictureLoader::PictureLoader(QSize displaySize, const DecodeLimits &limits)
    : m_displaySize(displaySize)
    , m_limits(limits)
{
}

LoadedPicture PictureLoader::load(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const bool missing = file.error() == QFileDevice::OpenError && !QFile::exists(path);
        return failedLoad(missing ? kFileNotFound : kFileAccessError, file.errorString());
    }
    return load(file);
}

LoadedPicture PictureLoader::load(QByteArrayView bytes) const
{
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return load(buffer);
}

const FoundPicture *PictureLoader::loadNewest(QByteArrayView bytes,
                                              const std::vector<FoundPicture> &found,
                                              LoadedPicture &picture) const
{
    int tried = 0;
    for (bool whole : {true, false})
        for (auto it = found.rbegin(); it != found.rend() && tried < kPicturesTried; ++it) {
            if (it->whole != whole)
                continue;
            ++tried;
            picture = load(bytes.sliced(it->offset, it->length));
            if (picture.error == 0)
                return &*it;
            if (picture.error == kNotChecked)
                return nullptr;
        }
    return nullptr;
}

LoadedPicture PictureLoader::load(QIODevice &device) const
{
    LoadedPicture result;
    result.bytes = device.isSequential() ? -1 : device.size() - device.pos();
    if (device.peek(2) == QByteArrayLiteral("\xff\xd8")) {
        JpegDecoded decoded = decodeJpeg(device, m_displaySize, m_limits);
        result.warnings = decoded.warnings;
        if (decoded.image.isNull()) {
            result.error = decoded.notStarted ? kNotChecked : kInvalidPicture;
            result.errorString = decoded.error;
            return result;
        }
        result.image = std::move(decoded.image);
        result.format = QStringLiteral("JPEG");
        result.size = decoded.size;
        result.rows = decoded.rows;
        result.rowsWithData = decoded.rowsWithData;
        const bool walked = decoded.layout.startMarker;
        result.endMarker = !walked || decoded.layout.endMarker;
        result.end = walked ? decoded.layout.end : -1;
        result.complete = !decoded.dataRanOut && result.endMarker;
        return result;
    }

    if (m_limits.deadline.hasExpired() || stopRequested(m_limits.cancel))
        return failedLoad(kNotChecked, Words::tr("没有检查：解码的时间已用完，或已中断"));
    const qint64 start = device.pos();
    QImageReader reader(&device);
    reader.setAllocationLimit(int(m_limits.memoryBytes >> 20));
    if (!m_displaySize.isEmpty())
        reader.setScaledSize(m_displaySize);
    result.format = QString::fromLatin1(reader.format()).toUpper();
    result.size = reader.size();
    if (reader.read(&result.image)) {
        // Qt's readers show what they have of a picture cut short; its structure tells whether
        // the data holds all of it (a BMP whose header claims more bytes than follow, say).
        if (device.seek(start)) {
            const QByteArray head = device.read(kStructureChecked);
            const FoundPictures found = findPictures(head);
            result.complete = !found.empty() && found.front().offset == 0 &&
                              (found.front().whole || head.size() == kStructureChecked);
        }
        return result;
    }
    result.errorString = reader.errorString();
    result.error = reader.error() == QImageReader::DeviceError ? kFileAccessError : kInvalidPicture;
    return result;
}

WrittenPicture writeAndLoad(QByteArrayView bytes, const QString &folder, QStringView name,
                            const PictureLoader &loader)
{
    WrittenPicture result{writeOutput(bytes, folder, name), {}};
    result.written.written.reset(); // let go of the file: Windows replaces no file that is open
    if (result.written.ok())
        result.picture = loader.load(bytes);
    return result;
}

} // namespace hexjpg
