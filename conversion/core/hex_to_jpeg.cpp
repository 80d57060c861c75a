#include "hex_to_jpeg.h"

#include "files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(OutputFile)
};
} // namespace

namespace hexjpg {

bool isInstalled()
{
    QFile marker(
        QDir(QCoreApplication::applicationDirPath())
            .filePath(QStringLiteral(HEXJPG_DATA_FROM_PROGRAM) + u"/hexjpg/output-folder"_s));
    return marker.open(QIODevice::ReadOnly) && marker.readAll().trimmed() == "pictures";
}

QString defaultOutputFolder()
{
    if (!isInstalled())
        return QCoreApplication::applicationDirPath();
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::home().filePath(u"Pictures"_s);
    QDir().mkpath(pictures);
    return pictures;
}

QString outputPath(const QString &folder, QStringView name)
{
    return QDir::toNativeSeparators(QDir(folder).filePath(name.toString()));
}

OutputFile::OutputFile(const QString &folder, QStringView name)
    : m_path(outputPath(folder, name))
    , m_file(m_path)
{
}

OutputFile::~OutputFile() = default;

bool OutputFile::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
    cancel();
    return false;
}

// Unbuffered, so that a short write shows as such: the next write fails with the system's reason
// (a buffered QSaveFile can let a short write through to a successful commit).
bool OutputFile::open()
{
    if (const QString refused = system::refusedLink(m_path); !refused.isEmpty())
        return fail(refused);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(m_file.errorString());
    // What is written is read back once it has become 1.jpg: this run's bytes, not another's.
    m_hold = std::make_unique<system::ReadBack>(m_file.handle());
    return true;
}

bool OutputFile::write(std::span<const std::uint8_t> block)
{
    const char *data = reinterpret_cast<const char *>(block.data());
    for (qint64 done = 0, step = 0; done < qint64(block.size()); done += step) {
        if (interruptionRequested())
            return fail(Words::tr("已中断"));
        step = m_file.write(data + done, qint64(block.size()) - done);
        if (step <= 0)
            return fail(m_file.errorString());
    }
    return true;
}

bool OutputFile::commit()
{
    if (interruptionRequested())
        return fail(Words::tr("已中断"));
    if (!m_file.commit())
        return fail(system::whyNotReplaced(m_path, m_file.errorString()));
    if (m_hold) {
        const int fd = m_hold->open(m_path);
        m_hold.reset();
        auto file = std::make_shared<QFile>();
        if (fd >= 0 && file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            m_readBack = std::move(file);
    }
    return true;
}

void OutputFile::cancel()
{
    if (m_file.isOpen()) {
        m_file.cancelWriting();
        m_file.commit(); // with writing cancelled, this removes the file beside 1.jpg
    }
    m_hold.reset();
}

namespace {

// The result of writing file: its commit, or the reason it failed (the earlier 1.jpg then stays).
ConversionResult finish(OutputFile &file, bool written, qint64 bytes)
{
    ConversionResult result;
    result.path = file.path();
    if (!written || !file.commit()) {
        file.cancel();
        result.error = file.errorString();
        return result;
    }
    result.bytesWritten = bytes;
    result.written = file.readBack();
    return result;
}

template <typename Text>
ConversionResult convert(Text text, const QString &folder, ProgressSink *progress)
{
    OutputFile file(folder);
    // The bar needs the length before the first pair; without one, a single pass does.
    const qint64 length = progress ? workingLength(text) : -1;
    if (progress)
        progress->started(length);
    if (!file.open())
        return finish(file, false, 0);
    const StreamResult decoded = decodeHex(text, file, progress, length);
    if (decoded.complete && decoded.bytes == 0) {
        file.cancel();
        ConversionResult result;
        result.path = file.path();
        result.empty = true;
        result.workingLength = decoded.workingLength;
        return result;
    }
    ConversionResult result = finish(file, decoded.complete, decoded.bytes);
    result.workingLength = decoded.workingLength;
    return result;
}

} // namespace

ConversionResult convertHexDump(QStringView text, const QString &folder, ProgressSink *progress)
{
    return convert(text, folder, progress);
}

ConversionResult convertHexDump(QLatin1StringView text, const QString &folder,
                                ProgressSink *progress)
{
    return convert(text, folder, progress);
}

QString notWritten(const QString &path, const QString &reason)
{
    return Words::tr("无法写入文件：%1\n%2").arg(path, reason);
}

ConversionResult writeOutput(QByteArrayView bytes, const QString &folder, QStringView name)
{
    OutputFile file(folder, name);
    const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.data());
    const bool written = file.open() && file.write({data, std::size_t(bytes.size())});
    return finish(file, written, bytes.size());
}

} // namespace hexjpg
