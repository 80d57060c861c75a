#pragma once

// How hexjpg-cli checks a picture it wrote: by decoding it, under a time budget, to a size that
// keeps the check quick and its memory small whatever the picture's own size (every row is still
// decoded).

#include "picture_loader.h"

#include <QDeadlineTimer>
#include <QSize>

inline constexpr QSize kCheckSize{425, 345};

inline hexjpg::PictureLoader checkingLoader(int budgetMs)
{
    hexjpg::DecodeLimits limits;
    limits.deadline = QDeadlineTimer(budgetMs);
    return hexjpg::PictureLoader(kCheckSize, limits);
}
