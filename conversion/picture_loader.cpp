#include "picture_loader.h"

#include <QFile>
#include <QImageReader>

namespace hexjpg {

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
        return {{}, missing ? kFileNotFound : kFileAccessError, file.errorString()};
    }
    return load(file);
}

LoadedPicture PictureLoader::load(QIODevice &device) const
{
    LoadedPicture result;
    if (device.peek(2) == QByteArrayLiteral("\xff\xd8")) {
        JpegDecoded decoded = decodeJpeg(device, m_displaySize, m_limits);
        if (decoded.image.isNull()) {
            result.error = kInvalidPicture;
            result.errorString = decoded.error;
        } else {
            result.image = std::move(decoded.image);
        }
        return result;
    }

    QImageReader reader(&device);
    reader.setAllocationLimit(int(m_limits.memoryBytes >> 20));
    if (!m_displaySize.isEmpty())
        reader.setScaledSize(m_displaySize);
    if (reader.read(&result.image))
        return result;
    result.errorString = reader.errorString();
    result.error = reader.error() == QImageReader::DeviceError ? kFileAccessError : kInvalidPicture;
    return result;
}

} // namespace hexjpg
