#include "hex_to_jpeg.h"

#include <QDir>
#include <QSaveFile>

namespace hexjpg {

namespace {

// Writes each decoded block to the file. Unbuffered, a short write shows as such: the next
// write fails with the system's reason (a buffered QSaveFile can let a short write through to a
// successful commit).
class FileSink : public ByteSink {
public:
    explicit FileSink(QSaveFile &file)
        : m_file(file)
    {
    }

    bool write(std::span<const std::uint8_t> block) override
    {
        const char *data = reinterpret_cast<const char *>(block.data());
        for (qint64 done = 0, step = 0; done < qint64(block.size()); done += step) {
            step = m_file.write(data + done, qint64(block.size()) - done);
            if (step <= 0)
                return false;
        }
        return true;
    }

private:
    QSaveFile &m_file;
};

template <typename Text>
ConversionResult convert(Text text, const QString &folder, ProgressSink *progress)
{
    ConversionResult result;
    result.path = outputPath(folder);
    // The bar needs the length before the first pair; without one, a single pass does.
    const qint64 length = progress ? workingLength(text) : -1;
    if (progress)
        progress->started(length);

    // QSaveFile writes beside the target and renames over it on commit, so a failure at any
    // step leaves the earlier file whole and no partial file behind.
    QSaveFile file(result.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        result.error = file.errorString();
        return result;
    }
    FileSink sink(file);
    const StreamResult decoded = decodeHex(text, sink, progress, length);
    result.workingLength = decoded.workingLength;
    if (!decoded.complete || !file.commit()) {
        result.error = file.errorString();
        file.cancelWriting();
        return result;
    }
    result.bytesWritten = decoded.bytes;
    return result;
}

} // namespace

QString outputPath(const QString &folder)
{
    return QDir::toNativeSeparators(QDir(folder).filePath(kOutputFileName.toString()));
}

ConversionResult convertHexDump(QStringView text, const QString &folder, ProgressSink *progress)
{
    return convert(text, folder, progress);
}

ConversionResult convertHexDump(QLatin1StringView text, const QString &folder,
                                ProgressSink *progress)
{
    return convert(text, folder, progress);
}

} // namespace hexjpg
