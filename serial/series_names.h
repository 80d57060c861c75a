#pragma once

// The names of a series of pictures received, one file each: the time each arrived, to the
// millisecond (20261209-235959-123.jpg), so that the names sort in the order of arrival. A name
// is never used twice, nor one a file in the folder already has. QtCore only.

#include <QDateTime>
#include <QString>

namespace hexjpg {

class SeriesNames {
public:
    explicit SeriesNames(QString folder)
        : m_folder(std::move(folder))
    {
    }
    // The name for a picture of format ("JPEG", "PNG", ...) arriving at now: a millisecond later
    // than the last one given where the clock has not moved on, or a file of that name exists.
    QString next(const QString &format, QDateTime now = QDateTime::currentDateTime());

private:
    QString m_folder;
    QDateTime m_last;
};

} // namespace hexjpg
