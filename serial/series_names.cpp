#include "series_names.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace hexjpg {

QString SeriesNames::next(const QString &format, QDateTime now)
{
    const QString extension = format.isEmpty() || format == u"JPEG" ? u"jpg"_s : format.toLower();
    if (m_last.isValid() && now <= m_last)
        now = m_last.addMSecs(1);
    for (;;) {
        const QString name = now.toString(u"yyyyMMdd-HHmmss-zzz."_s) + extension;
        if (!QFileInfo::exists(QDir(m_folder).filePath(name))) {
            m_last = now;
            return name;
        }
        now = now.addMSecs(1);
    }
}

} // namespace hexjpg
