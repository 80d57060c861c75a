// Form1 offering a raw camera frame: bytes that hold no picture, from a sensor without JPEG
// output, judged from their pixels and offered as a picture the way a forgiving reading is.

#include "main_window.h"

#include "diagnosis.h"
#include "hex_to_jpeg.h"
#include "jpeg_encoder.h"
#include "raw_chooser.h"
#include "warning.h"

#include <QCoreApplication>

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Form1)
};

// The readings listed in the details, the best first.
constexpr std::size_t kCandidatesListed = 6;
} // namespace

// Off the window's thread: the judgement, and the best reading encoded as 1.jpg will hold it.
void Form1::judgeRawFrame(Checked &checked, const hexjpg::PictureLoader &loader)
{
    checked.raw = hexjpg::judgeRawFrame(checked.read.bytes);
    if (!checked.raw.offered())
        return;
    const hexjpg::RawCandidate &best = checked.raw.best();
    checked.rawJpeg = hexjpg::encodeJpeg(hexjpg::rawReadingImage(checked.read.bytes, best));
    if (!checked.rawJpeg.isEmpty())
        checked.rawPicture = loader.load(QByteArrayView(checked.rawJpeg));
    for (std::size_t i = 0; i < std::min(checked.raw.candidates.size(), kCandidatesListed); ++i)
        checked.rawThumbnails.push_back(
            RawChooser::thumbnail(checked.read.bytes, checked.raw.candidates[i]));
}

// 照片不正确！, and what the bytes may be as a raw frame, with 使用这张图片; false when they read
// as no frame.
bool Form1::offerRawFrame(const Checked &checked)
{
    if (!checked.raw.offered() || checked.rawPicture.error != 0)
        return false;
    const hexjpg::RawCandidate &best = checked.raw.best();
    const QString message = Words::tr("照片不正确！\n%1（把握 %2%）。")
                                .arg(hexjpg::rawGuessWords(best))
                                .arg(qRound(checked.raw.certainty * 100));
    QStringList details{
        Words::tr("数据里没有图片的标记；按像素的平滑程度比较了这些读法（越小越平滑）：")};
    for (std::size_t i = 0; i < std::min(checked.raw.candidates.size(), kCandidatesListed); ++i) {
        const hexjpg::RawCandidate &c = checked.raw.candidates[i];
        details << Words::tr("%1：%2").arg(hexjpg::rawCandidateWords(c)).arg(c.score(), 0, 'f', 1);
    }
    if (best.offset > 0)
        details << Words::tr("帧前面的 %1 个字节（如 *RDY* 之类的标记）跳过了").arg(best.offset);
    details << Words::tr("写成 1.jpg：JPEG，质量 95，4:4:4");
    const QString other = checked.rawThumbnails.size() > 1 ? Words::tr("其他读法(&O)…") : QString();
    switch (offerWarning(this, message, Words::tr("使用这张图片"), other, details.join(u'\n'))) {
    case OfferAnswer::Take:
        useRawReading(checked, 0);
        break;
    case OfferAnswer::Other:
        if (const int chosen = chooseRawReading(checked); chosen >= 0)
            useRawReading(checked, std::size_t(chosen));
        break;
    case OfferAnswer::Cancel:
        break;
    }
    return true;
}

// The readings side by side, each as it would look: the one the user chooses, or -1.
int Form1::chooseRawReading(const Checked &checked)
{
    RawChooser chooser(checked.raw.candidates, checked.rawThumbnails, this);
    return chooser.exec() == QDialog::Accepted ? chooser.chosen() : -1;
}

// 1.jpg becomes the frame as reading has it, and is shown. The best reading was encoded aside;
// another is encoded now (a frame of a common size takes milliseconds).
void Form1::useRawReading(const Checked &checked, std::size_t reading)
{
    QByteArray jpeg = checked.rawJpeg;
    hexjpg::LoadedPicture picture = checked.rawPicture;
    if (reading > 0) {
        const hexjpg::RawCandidate &c = checked.raw.candidates.at(reading);
        jpeg = hexjpg::encodeJpeg(hexjpg::rawReadingImage(checked.read.bytes, c));
        picture = m_loader.load(QByteArrayView(jpeg));
    }
    const hexjpg::ConversionResult written = hexjpg::writeOutput(jpeg, m_outputFolder);
    if (!written.ok()) {
        warnNotWritten(written);
        return;
    }
    showPicture(picture, jpeg);
}
