#pragma once

// A serial line's rate, as both programs take it from their command line and the window from its
// dialog. QtCore only.

#include <QStringView>

namespace hexjpg {

inline constexpr qint32 kDefaultBaud = 115200;
inline constexpr qint64 kMaxBaud = 100'000'000;

// The rate text gives: a whole number from 1 to kMaxBaud; 0 when it is none.
inline qint32 baudRate(QStringView text)
{
    bool ok = false;
    const qint64 rate = text.trimmed().toLongLong(&ok);
    return ok && rate > 0 && rate <= kMaxBaud ? qint32(rate) : 0;
}

} // namespace hexjpg
