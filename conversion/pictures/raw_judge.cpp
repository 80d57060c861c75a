#include "raw_judge.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(RawFrame)
};

// Rows are looked at in pairs (a row and the one below it), one pair in every kRowStep rows.
constexpr int kRowStep = 4;
// A marker before the frame is at most this long, and text.
constexpr qint64 kMaxLead = 64;

bool isText(QByteArrayView lead)
{
    return std::all_of(lead.begin(), lead.end(), [](char c) {
        return (c >= 0x20 && c < 0x7f) || c == '\r' || c == '\n' || c == '\t';
    });
}

// The mean step between horizontal and vertical neighbours, per channel, over the rows looked at.
void weigh(QByteArrayView frame, hexjpg::RawCandidate &candidate)
{
    const int width = candidate.size.width(), height = candidate.size.height();
    const qsizetype row = qsizetype(width) * hexjpg::bytesPerPixel(candidate.format);
    const auto *in = reinterpret_cast<const uchar *>(frame.data());
    std::vector<uchar> upper(std::size_t(3 * width)), lower(upper.size());
    qint64 steps = 0, count = 0, excess = 0, pixels = 0;
    const bool yuv = hexjpg::isYuv(candidate.format);
    for (int y = 0; y + 1 < height; y += kRowStep) {
        hexjpg::rawRowToRgb(in + y * row, upper.data(), width, candidate.format);
        hexjpg::rawRowToRgb(in + (y + 1) * row, lower.data(), width, candidate.format);
        for (int i = 0; i < 3 * width; ++i) {
            steps += std::abs(int(upper[std::size_t(i)]) - lower[std::size_t(i)]);
            if (i + 3 < 3 * width)
                steps += std::abs(int(upper[std::size_t(i)]) - upper[std::size_t(i + 3)]);
        }
        count += 3 * width + 3 * (width - 1);
        if (yuv) {
            excess += hexjpg::yuvGamutExcess(in + y * row, width, candidate.format);
            pixels += width;
        }
    }
    candidate.roughness = count ? double(steps) / double(count) : 0;
    candidate.colourless = pixels ? double(excess) / double(pixels) : 0;
}

// The YUV order with U and V the other way round: its pixels are as smooth, and only colours that
// fall outside RGB one way and not the other tell them apart.
std::optional<hexjpg::RawFormat> twinOf(hexjpg::RawFormat format)
{
    using hexjpg::RawFormat;
    switch (format) {
    case RawFormat::Yuyv:
        return RawFormat::Yvyu;
    case RawFormat::Yvyu:
        return RawFormat::Yuyv;
    case RawFormat::Uyvy:
        return RawFormat::Vyuy;
    case RawFormat::Vyuy:
        return RawFormat::Uyvy;
    default:
        return std::nullopt;
    }
}

// Where the best reading and its twin weigh nearly alike, the common order (YUYV, UYVY) goes first.
constexpr double kTwinMargin = 0.05;

void preferCommonOrder(std::vector<hexjpg::RawCandidate> &candidates)
{
    using hexjpg::RawFormat;
    if (candidates.empty())
        return;
    const hexjpg::RawCandidate &best = candidates.front();
    if (best.format != RawFormat::Yvyu && best.format != RawFormat::Vyuy)
        return;
    const auto twin = std::find_if(candidates.begin() + 1, candidates.end(), [&](const auto &c) {
        return c.format == twinOf(best.format) && c.size == best.size && c.offset == best.offset;
    });
    if (twin != candidates.end() && twin->score() <= best.score() * (1 + kTwinMargin))
        std::iter_swap(candidates.begin(), twin);
}

} // namespace

namespace hexjpg {

const std::vector<QSize> &commonFrameSizes()
{
    static const std::vector<QSize> sizes = {{80, 60},    {96, 96},    {128, 128},   {160, 120},
                                             {176, 144},  {240, 240},  {320, 240},   {352, 288},
                                             {400, 296},  {480, 320},  {640, 480},   {800, 600},
                                             {1024, 768}, {1280, 720}, {1280, 1024}, {1600, 1200}};
    return sizes;
}

qint64 maxJudgedBytes()
{
    const QSize largest = commonFrameSizes().back();
    return qint64(largest.width()) * largest.height() * 3 + kMaxLead;
}

RawJudgement judgeRawFrame(QByteArrayView bytes)
{
    RawJudgement judgement;
    for (const QSize size : commonFrameSizes()) {
        for (const RawFormat format : rawFormats()) {
            const qint64 frame = rawFrameBytes(format, size);
            const qint64 lead = bytes.size() - frame;
            if (lead < 0 || lead > kMaxLead || !isText(bytes.first(lead)))
                continue;
            RawCandidate candidate{format, size, lead};
            weigh(bytes.sliced(lead), candidate);
            judgement.candidates.push_back(candidate);
        }
    }
    std::stable_sort(
        judgement.candidates.begin(), judgement.candidates.end(),
        [](const RawCandidate &a, const RawCandidate &b) { return a.score() < b.score(); });
    preferCommonOrder(judgement.candidates);
    if (!judgement.candidates.empty()) {
        // Against the next reading, the twin included: a best that is only as smooth as its twin is
        // not sure of its order.
        const double best = judgement.candidates.front().score();
        const double next = judgement.candidates.size() > 1 ? judgement.candidates[1].score()
                                                            : 3 * RawJudgement::kRoughest;
        judgement.certainty = next > 0 ? std::clamp(1 - best / next, 0.0, 1.0) : 0;
    }
    return judgement;
}

QByteArrayView rawFrameIn(QByteArrayView bytes, const RawCandidate &reading)
{
    return bytes.sliced(reading.offset, rawFrameBytes(reading.format, reading.size));
}

QImage rawReadingImage(QByteArrayView bytes, const RawCandidate &reading)
{
    return rawFrameImage(rawFrameIn(bytes, reading), reading.format, reading.size);
}

QString rawCandidateWords(const RawCandidate &candidate)
{
    return Words::tr("%1×%2 %3")
        .arg(candidate.size.width())
        .arg(candidate.size.height())
        .arg(rawFormatWords(candidate.format));
}

QString rawGuessWords(const RawCandidate &candidate)
{
    return Words::tr("这可能是一幅 %1×%2 的 %3 原始图像")
        .arg(candidate.size.width())
        .arg(candidate.size.height())
        .arg(rawFormatWords(candidate.format));
}

QString rawEncodedWords(const QString &formatName, QSize size, double certainty)
{
    const std::optional<RawFormat> format = rawFormatNamed(formatName);
    const QString frame = format ? rawCandidateWords({*format, size}) : formatName;
    return certainty < 1
               ? Words::tr("由 %1 原始图像编码（把握 %2%）").arg(frame).arg(qRound(certainty * 100))
               : Words::tr("由 %1 原始图像编码").arg(frame);
}

} // namespace hexjpg
