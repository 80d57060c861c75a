#include "picture_loader.h"

#include <QImageReader>

namespace hexjpg {

PictureLoader::PictureLoader(QSize displaySize)
    : m_displaySize(displaySize)
{
}

LoadedPicture PictureLoader::load(const QString &path) const
{
    LoadedPicture result;
    QImageReader reader(path);
    if (!m_displaySize.isEmpty())
        reader.setScaledSize(m_displaySize);
    if (reader.read(&result.image))
        return result;

    result.errorString = reader.errorString();
    switch (reader.error()) {
    case QImageReader::FileNotFoundError:
        result.error = kFileNotFound;
        break;
    case QImageReader::DeviceError:
        result.error = kFileAccessError;
        break;
    default: // unsupported format, invalid data, unknown
        result.error = kInvalidPicture;
        break;
    }
    return result;
}

} // namespace hexjpg
