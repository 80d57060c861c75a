#include "hex_to_jpeg.h"

#include <QDir>
#include <QSaveFile>

namespace hexjpg {

namespace {

// Unbuffered, a short write shows as such: the next write fails with the system's reason
// (a buffered QSaveFile can let a short write through to a successful commit).
bool writeAll(QSaveFile &file, const QByteArray &bytes) {
    for (qint64 done = 0, step = 0; done < bytes.size(); done += step) {
        step = file.write(bytes.constData() + done, bytes.size() - done);
        if (step <= 0) return false;
    }
    return true;
}

template <typename Text>
ConversionResult convert(Text text, const QString &folder, ProgressSink *progress) {
    ConversionResult result;
    result.path = outputPath(folder);
    result.workingLength = workingLength(text);
    if (progress) progress->started(result.workingLength);

    // QSaveFile writes beside the target and renames over it on commit, so a failure at any
    // step leaves the earlier file whole and no partial file behind.
    QSaveFile file(result.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        result.error = file.errorString();
        return result;
    }
    QByteArray bytes(decodedSize(result.workingLength), Qt::Uninitialized);
    decodeHex(text, {reinterpret_cast<std::uint8_t *>(bytes.data()), std::size_t(bytes.size())},
              progress);
    if (!writeAll(file, bytes) || !file.commit()) {
        result.error = file.errorString();
        file.cancelWriting();
        return result;
    }
    result.bytesWritten = bytes.size();
    return result;
}

} // namespace

QString outputPath(const QString &folder) {
    return QDir::toNativeSeparators(QDir(folder).filePath(kOutputFileName.toString()));
}

ConversionResult convertHexDump(QStringView text, const QString &folder, ProgressSink *progress) {
    return convert(text, folder, progress);
}

ConversionResult convertHexDump(QLatin1StringView text, const QString &folder,
                                ProgressSink *progress) {
    return convert(text, folder, progress);
}

} // namespace hexjpg
