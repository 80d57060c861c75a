#include "ports.h"
#include <QCoreApplication>

using namespace Qt::StringLiterals;

// The texts a person reads, in the Chinese they are written in: Qt's translation system gives them
// in the user's language.
namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(System)
};
} // namespace

namespace hexjpg::system {

// Windows refuses a COM port that another program has open, whoever the user is.
QString whyPortRefused(const QString &path)
{
    return Words::tr("串口 %1 正被另一个程序使用（比如还开着的串口监视器）：请先关闭那个程序")
        .arg(path);
}

} // namespace hexjpg::system
