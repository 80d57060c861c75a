#pragma once

// Whether bytes with no picture signature are a raw camera frame, judged from the pixels: each
// format and common sensor size whose frame has as many bytes (after a short text marker such as
// *RDY*) is read, and the one whose neighbouring pixels and rows follow each other most smoothly,
// with colours that RGB can hold, is the best. Random bytes are rough in every reading, and are no
// frame. Looks at a fixed share of the rows: a 640×480 frame costs a few milliseconds.

#include "raw_frame.h"

#include <QByteArrayView>
#include <QSize>
#include <QString>

#include <vector>

namespace hexjpg {

struct RawCandidate {
    RawFormat format;
    QSize size;
    qint64 offset = 0;     // where the frame starts: after the marker before it
    double roughness = 0;  // the mean step between neighbours, in levels of 0 to 255
    double colourless = 0; // how far the colours fall outside RGB, a pixel on average (YUV)
    double score() const { return roughness + colourless; }
};

struct RawJudgement {
    std::vector<RawCandidate> candidates; // every reading weighed, the best first
    double certainty = 0;                 // 0 to 1: how far the best stands from the next
    // The best reading is smooth enough to be a picture.
    bool offered() const { return !candidates.empty() && candidates.front().score() < kRoughest; }
    const RawCandidate &best() const { return candidates.front(); }

    static constexpr double kRoughest = 24;
};

// The common sensor sizes, smallest first.
const std::vector<QSize> &commonFrameSizes();
// The most bytes that are judged as a frame: the largest common size at three bytes a pixel, and
// a marker before it.
qint64 maxJudgedBytes();

RawJudgement judgeRawFrame(QByteArrayView bytes);
// A reading's frame in the bytes it was judged from, and the frame's pixels as the reading has
// them.
QByteArrayView rawFrameIn(QByteArrayView bytes, const RawCandidate &reading);
QImage rawReadingImage(QByteArrayView bytes, const RawCandidate &reading);

// 这可能是一幅 160×120 的 RGB565 原始图像
QString rawGuessWords(const RawCandidate &candidate);
// The candidate's size and format in a few words: 160×120 RGB565
QString rawCandidateWords(const RawCandidate &candidate);

// A picture made from a raw frame: 由 160×120 RGB565 原始图像编码（把握 57%）, the certainty left
// out where it is 1 (the format chosen).
QString rawEncodedWords(const QString &formatName, QSize size, double certainty);

} // namespace hexjpg
