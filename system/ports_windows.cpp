#include "ports.h"

#include "system_words.h"
#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace hexjpg::system {

// Windows refuses a COM port that another program has open, whoever the user is.
QString whyPortRefused(const QString &path)
{
    return Words::tr("串口 %1 正被另一个程序使用（比如还开着的串口监视器）：请先关闭那个程序")
        .arg(path);
}

} // namespace hexjpg::system
