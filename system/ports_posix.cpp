#include "ports.h"

#include "system_words.h"

#include <QCoreApplication>
#include <QFile>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace hexjpg::system {

QString whyPortRefused(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::access(name.constData(), R_OK | W_OK) == 0)
        return Words::tr("串口 %1 正被另一个程序使用（比如还开着的串口监视器）：请先关闭那个程序")
            .arg(path);
    // The group that may use the device: dialout on Debian and Ubuntu, uucp elsewhere.
    QString group = u"dialout"_s;
    struct stat st {};
    if (::stat(name.constData(), &st) == 0)
        if (const struct group *g = ::getgrgid(st.st_gid))
            group = QString::fromLocal8Bit(g->gr_name);
    return Words::tr("没有权限使用串口 %1：请把用户加入 %2 组（sudo usermod -aG %2 $USER），"
                     "然后重新登录")
        .arg(path, group);
}

} // namespace hexjpg::system
