#include "raw_output.h"

#include "cli_words.h"

#include "hex_to_jpeg.h"
#include "jpeg_encoder.h"
#include "raw_judge.h"

#include <QBuffer>
#include <QImageWriter>

using namespace Qt::StringLiterals;

namespace {

QByteArray encodePng(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    return writer.write(image) ? png : QByteArray();
}

} // namespace

int writeRawFrame(const QByteArray &bytes, const Options &options, const Output &output,
                  Report &report)
{
    const hexjpg::RawFormat format = *options.raw;
    const QSize size = options.rawSize;
    const qint64 frame = hexjpg::rawFrameBytes(format, size);
    const qint64 lead = bytes.size() - frame;
    const QString what =
        u"%1×%2 %3"_s.arg(size.width()).arg(size.height()).arg(hexjpg::rawFormatWords(format));
    if (lead < 0 || lead > kMaxFrameLead) {
        report.failed(Words::tr("字节数不对：%1 的一帧是 %2 字节，读到的是 %3 字节")
                          .arg(what)
                          .arg(frame)
                          .arg(bytes.size()));
        return report.finish(NotAPicture);
    }
    if (lead > 0)
        report.note({Words::tr("跳过了帧前面的 %1 个字节（如 *RDY* 之类的标记）").arg(lead)});
    const QImage image = hexjpg::rawFrameImage(QByteArrayView(bytes).sliced(lead), format, size);
    const QByteArray encoded = options.png ? encodePng(image) : hexjpg::encodeJpeg(image);
    if (encoded.isEmpty()) {
        report.failed(Words::tr("内存不足：无法编码 %1 的图片").arg(what));
        return report.finish(BadInput);
    }
    const QString name = options.png ? u"1.png"_s : hexjpg::kOutputFileName.toString();
    const hexjpg::ConversionResult written = hexjpg::writeOutput(encoded, options.folder, name);
    if (!written.ok()) {
        report.failed(hexjpg::notWritten(written.path, written.error));
        return report.finish(WriteFailed);
    }
    output.say(Words::tr("已把一帧 %1 原始图像写成 %2（%3 字节）")
                   .arg(what, output.shown(written.path))
                   .arg(encoded.size()));
    report.rawFrame(written.path, format, size, lead, frame);
    return report.finish(Picture);
}

void suggestRawFrame(QByteArrayView bytes, Report &report)
{
    const hexjpg::RawJudgement judged = hexjpg::judgeRawFrame(bytes);
    if (!judged.offered())
        return;
    const hexjpg::RawCandidate &best = judged.best();
    report.note({Words::tr("%1（把握 %2%）：用 --raw %3 --size %4x%5 转换")
                     .arg(hexjpg::rawGuessWords(best))
                     .arg(qRound(judged.certainty * 100))
                     .arg(hexjpg::rawFormatName(best.format))
                     .arg(best.size.width())
                     .arg(best.size.height())});
    report.rawGuess(judged);
}
