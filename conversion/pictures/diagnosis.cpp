#include "diagnosis.h"

#include <QCoreApplication>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Diagnosis)
};
} // namespace

namespace hexjpg {

namespace {

constexpr int kSpansTold = 3;
constexpr int kWarningsTold = 5;

QString hexBytes(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

} // namespace

QString number(qint64 n)
{
    static const QLocale grouped(QLocale::Chinese, QLocale::China);
    return grouped.toString(n);
}

QString describePicture(const LoadedPicture &picture, qint64 bytes)
{
    QString text =
        picture.format.isEmpty() ? Words::tr("图片") : picture.format + Words::tr(" 图片");
    if (picture.size.isValid())
        text += Words::tr("，%1×%2 像素").arg(picture.size.width()).arg(picture.size.height());
    if (bytes >= 0)
        text += Words::tr("，%1 字节").arg(number(bytes));
    return text;
}

QString incompleteness(const LoadedPicture &picture, qint64 bytes)
{
    if (picture.complete)
        return {};
    const QString where = Words::tr("数据在第 %1 字节处结束").arg(number(bytes));
    const QString noEnd = picture.endMarker ? QString() : Words::tr("，缺少结尾 FF D9");
    if (picture.rowsWithData >= 0 && picture.rowsWithData < picture.rows)
        return Words::tr("图片不完整：%1 行中只解码了 %2 行（%3%4）")
            .arg(number(picture.rows))
            .arg(number(picture.rowsWithData))
            .arg(where, noEnd);
    if (picture.rowsWithData < 0)
        return Words::tr("图片不完整：渐进式图片只收到了一部分扫描（%1%2）").arg(where, noEnd);
    return Words::tr("图片不完整：%1%2").arg(where, noEnd);
}

QStringList diagnosePicture(const LoadedPicture &picture, qint64 offset, qint64 length,
                            qint64 total)
{
    QStringList lines{describePicture(picture, length)};
    if (offset > 0)
        lines << Words::tr("图片从第 %1 字节开始，前面有 %2 个多余字节")
                     .arg(number(offset + 1))
                     .arg(number(offset));
    const qint64 end = offset + (picture.end >= 0 ? picture.end : length);
    if (total > end)
        lines << Words::tr("图片后面还有 %1 个多余字节").arg(number(total - end));
    if (const QString missing = incompleteness(picture, length); !missing.isEmpty())
        lines << missing;
    for (qsizetype i = 0; i < picture.warnings.size() && i < kWarningsTold; ++i)
        lines << Words::tr("解码器的警告：%1").arg(picture.warnings[i]);
    return lines;
}

QStringList diagnoseReading(const ForgivingRead &read)
{
    QStringList lines;
    qint64 told = 0;
    for (std::size_t i = 0; i < read.skipped.size() && i < kSpansTold; ++i) {
        const SkippedSpan &span = read.skipped[i];
        lines << Words::tr("数据在第 %1 行第 %2 列有 %3 个不是十六进制数字的字符")
                     .arg(number(span.line))
                     .arg(number(span.column))
                     .arg(number(span.length));
        told += span.length;
    }
    if (read.skippedSpans > kSpansTold)
        lines << Words::tr("另有 %1 处共 %2 个字符被跳过")
                     .arg(number(read.skippedSpans - kSpansTold))
                     .arg(number(read.skippedCharacters - told));
    if (!read.stopped.isEmpty())
        lines << read.stopped;
    return lines;
}

QStringList diagnoseSearch(const FoundPictures &found)
{
    QStringList lines;
    if (found.interrupted)
        lines << Words::tr("查找图片被中断");
    if (found.skippedStarts > 0)
        lines << Words::tr("有 %1 个开始标记位于太多互相套着的未完成图片之中，没有查看")
                     .arg(number(found.skippedStarts));
    return lines;
}

bool looksLikeUtf16(QByteArrayView text)
{
    const qsizetype n = std::min<qsizetype>(text.size(), 4096) & ~qsizetype(1);
    if (n < 8)
        return false;
    qsizetype even = 0, odd = 0;
    for (qsizetype i = 0; i < n; i += 2) {
        even += text[i] == '\0';
        odd += text[i + 1] == '\0';
    }
    return std::max(even, odd) * 4 >= n / 2 * 3; // three pairs in four
}

QStringList diagnoseNoPicture(QByteArrayView bytes, const FoundPictures &found,
                              const QString &decoderSays, qint64 total)
{
    QStringList lines;
    if (bytes.isEmpty())
        return {Words::tr("没有读到任何字节")};
    total = std::max<qint64>(total, bytes.size());
    lines << Words::tr("数据有 %1 字节，以 %2 开始")
                 .arg(number(total))
                 .arg(hexBytes(bytes.first(std::min<qsizetype>(4, bytes.size()))));
    if (total > bytes.size())
        lines << Words::tr("以下只查看了数据的前 %1 字节").arg(number(bytes.size()));
    if (bytes.startsWith("\xd8\xff"))
        lines << Words::tr("数据以 D8 FF 开始：开头的 FF 丢了");
    if (found.empty()) {
        if (!bytes.contains(QByteArrayView("\xff\xd8", 2)))
            lines << Words::tr("数据里没有 JPEG 的开始标记 FF D8");
        else
            lines << Words::tr("数据里有开始标记 FF D8，但后面不是 JPEG 的结构");
    }
    for (std::size_t i = 0; i < found.size() && i < std::size_t(kPicturesTold); ++i) {
        const FoundPicture &picture = found[i];
        lines << Words::tr("第 %1 字节处有一张 %2 图片的开头（%3 字节）")
                     .arg(number(picture.offset + 1))
                     .arg(picture.format)
                     .arg(number(picture.length));
        if (!picture.problem.isEmpty())
            lines << picture.problem;
    }
    if (found.total > kPicturesTold)
        lines << Words::tr("另有 %1 张图片的开头，不一一列出")
                     .arg(number(found.total - kPicturesTold));
    lines << diagnoseSearch(found);
    if (!decoderSays.isEmpty())
        lines << Words::tr("解码器说：%1").arg(decoderSays);
    return lines;
}

} // namespace hexjpg
