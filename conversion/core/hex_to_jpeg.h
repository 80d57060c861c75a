#pragma once

// The conversion core: the pasted hex dump becomes the file "1.jpg" in a given folder.
// Depends on QtCore only; the window and the console tool bind it to their own surroundings.

#include "hex_decode.h"
#include "interruption.h"

#include <QIODevice>
#include <QSaveFile>
#include <QString>
#include <QStringView>

#include <memory>

namespace hexjpg {

namespace system {
class ReadBack;
}

inline constexpr QStringView kOutputFileName = u"1.jpg";

// Where 1.jpg goes unless told otherwise: beside the program where it runs from its build folder
// or an unpacked folder; in the user's pictures folder (created when missing) where it is
// installed, and never in the system's program folder. An installation says so with the file
// hexjpg/output-folder in its data folder, which the install rules put there.
QString defaultOutputFolder();
// Whether the program runs installed (the marker above is there), not from a folder of its own.
bool isInstalled();

// The output file in folder, joined with the platform's separator.
QString outputPath(const QString &folder, QStringView name = kOutputFileName);

// A stop asked for from outside (interruption.h) gives up the file being written, and the earlier
// 1.jpg stays.

// 1.jpg in a folder, written whole or not at all: the bytes go to a file beside it that replaces
// it in one step at commit(); until then, and after any failure, an earlier 1.jpg stays as it was.
//
// A 1.jpg that is a symbolic link is followed only where the kernel's protected-symlinks rule
// would follow it: unless the folder is sticky and writable by others, or the link is the user's
// own or the folder owner's. Otherwise whoever could plant the link would choose which of the
// user's files is replaced.
class OutputFile : public ByteSink {
public:
    explicit OutputFile(const QString &folder, QStringView name = kOutputFileName);
    ~OutputFile();

    bool open();
    bool write(std::span<const std::uint8_t> block) override;
    bool commit();
    void cancel();

    QString path() const { return m_path; } // in native separators
    QString errorString() const { return m_error; }
    // After a commit: the file as this run wrote it, open for reading from its first byte,
    // whatever has happened to the path since (another run replacing it, say).
    std::shared_ptr<QIODevice> readBack() const { return m_readBack; }

private:
    bool fail(const QString &reason);

    QString m_path;
    QSaveFile m_file;
    std::unique_ptr<system::ReadBack> m_hold; // the file written, to be read back
    QString m_error;
    std::shared_ptr<QIODevice> m_readBack;
};

struct ConversionResult {
    QString path; // the output file, in native separators
    qint64 workingLength = 0;
    qint64 bytesWritten = 0;            // the file's length after a successful write
    QString error;                      // the system's reason when the file could not be written
    std::shared_ptr<QIODevice> written; // the bytes written, to be checked (see OutputFile)
    bool empty = false; // no byte was decoded: nothing was written, and an earlier 1.jpg stays

    bool ok() const { return error.isEmpty() && !empty; }
};

// Decodes text and replaces folder/1.jpg with exactly the decoded bytes, whole or not at all:
// when anything fails, an earlier 1.jpg stays as it was and the result carries the reason. A text
// without a single byte (blanks only) writes nothing.
// progress, when given, is told the working length and then follows the pairs.
ConversionResult convertHexDump(QStringView text, const QString &folder,
                                ProgressSink *progress = nullptr);
ConversionResult convertHexDump(QLatin1StringView text, const QString &folder,
                                ProgressSink *progress = nullptr);

// The words for a file that could not be written, in both programs: where, and the system's
// reason.
QString notWritten(const QString &path, const QString &reason);

// Replaces folder/name with exactly bytes, in the same way: a picture found in a dump, say.
ConversionResult writeOutput(QByteArrayView bytes, const QString &folder,
                             QStringView name = kOutputFileName);

} // namespace hexjpg
