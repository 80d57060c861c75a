#include "dropped_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <new>

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(TextPanel)
};
} // namespace

namespace panel {

namespace {

DroppedText refused(const QString &why)
{
    return {QString(), why};
}

} // namespace

DroppedText readTextFile(const QString &path, qint64 room)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (const QFileInfo info(path); info.exists() && !info.isFile())
        return refused(Words::tr("无法放入文件：%1\n它不是普通文件。").arg(shown));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(Words::tr("无法读取文件：%1\n%2").arg(shown, file.errorString()));
    if (file.size() > room)
        return refused(
            Words::tr("文件太大，无法放入文本框：%1\n文件有 %2 字节，文本框还能放入 %3 个字符。")
                .arg(shown)
                .arg(file.size())
                .arg(std::max<qint64>(0, room)));
    QByteArray bytes;
    try {
        bytes = file.readAll();
    } catch (const std::bad_alloc &) {
        return refused(Words::tr("内存不足，无法读取文件：%1").arg(shown));
    }
    if (file.error() != QFileDevice::NoError)
        return refused(Words::tr("无法读取文件：%1\n%2").arg(shown, file.errorString()));
    // UTF-8, or UTF-16 where a byte-order mark says so; a NUL byte or a byte sequence that is not
    // UTF-8 means the file is not text (a picture, say).
    auto encoding = QStringConverter::encodingForData(bytes);
    if (!encoding ||
        (*encoding != QStringConverter::Utf16LE && *encoding != QStringConverter::Utf16BE))
        encoding = QStringConverter::Utf8;
    QStringDecoder decoder(*encoding);
    QString decoded = decoder.decode(bytes);
    const bool utf8 = *encoding == QStringConverter::Utf8;
    if (decoder.hasError() || (utf8 && bytes.contains('\0')))
        return refused(
            Words::tr("无法放入文件：%1\n它不是文本文件（UTF-8 或带字节顺序标记的 UTF-16）。")
                .arg(shown));
    if (decoded.startsWith(QChar::ByteOrderMark))
        decoded.remove(0, 1);
    return {decoded, {}};
}

std::optional<DroppedText> readDroppedFiles(const QMimeData *mime, qint64 room)
{
    QStringList paths;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (paths.isEmpty())
        return std::nullopt;
    QString all;
    for (const QString &path : paths) {
        DroppedText one = readTextFile(path, room);
        if (!one.refusal.isEmpty())
            return one;
        if (!all.isEmpty() && !all.endsWith(u'\n'))
            all += u'\n';
        all += one.text;
    }
    return DroppedText{all, {}};
}

} // namespace panel
