#pragma once

// Choosing another reading of a raw camera frame: each reading shown small, as its pixels would
// look, with its size, format and how rough it is; the best one chosen to begin with.

#include "raw_judge.h"

#include <QDialog>
#include <QImage>

#include <vector>

class QListWidget;

class RawChooser : public QDialog {
    Q_OBJECT

public:
    // The side of a thumbnail, in pixels: a frame larger than it is shown smaller.
    static constexpr int kThumbnailSide = 128;

    // readings and thumbnails go together, the best first.
    RawChooser(const std::vector<hexjpg::RawCandidate> &readings,
               const std::vector<QImage> &thumbnails, QWidget *parent = nullptr);

    // The reading chosen, as an index into readings.
    int chosen() const;

    // The frame as a thumbnail: its pixels in reading, at most kThumbnailSide a side.
    static QImage thumbnail(QByteArrayView bytes, const hexjpg::RawCandidate &reading);

    QListWidget *readings;
};
