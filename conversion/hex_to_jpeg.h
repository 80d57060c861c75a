#pragma once

// The conversion core: the pasted hex dump becomes the file "1.jpg" in a given folder.
// Depends on QtCore only; the window and the console tool bind it to their own surroundings.

#include "hex_decode.h"

#include <QString>
#include <QStringView>

namespace hexjpg {

inline constexpr QStringView kOutputFileName = u"1.jpg";

// The output file in folder, joined with the platform's separator.
QString outputPath(const QString &folder);

struct ConversionResult {
    QString path; // the output file, in native separators
    qint64 workingLength = 0;
    qint64 bytesWritten = 0; // the file's length after a successful write
    QString error;           // the system's reason when the file could not be written

    bool ok() const { return error.isEmpty(); }
};

// Decodes text and replaces folder/1.jpg with exactly the decoded bytes, whole or not at all:
// when anything fails, an earlier 1.jpg stays as it was and the result carries the reason.
// progress, when given, is told the working length and then follows the pairs.
ConversionResult convertHexDump(QStringView text, const QString &folder,
                                ProgressSink *progress = nullptr);
ConversionResult convertHexDump(QLatin1StringView text, const QString &folder,
                                ProgressSink *progress = nullptr);

} // namespace hexjpg
