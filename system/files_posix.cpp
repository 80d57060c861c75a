#include "files.h"

#include "system_words.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace hexjpg::system {

// A second descriptor on the open file: it goes on naming the same file however it is renamed.
ReadBack::ReadBack(int fd)
{
    m_hold[0] = ::dup(fd);
}

ReadBack::~ReadBack()
{
    if (m_hold[0] >= 0)
        ::close(int(m_hold[0]));
}

int ReadBack::open(const QString &)
{
    const int fd = int(m_hold[0]);
    m_hold[0] = -1;
    if (fd >= 0 && ::lseek(fd, 0, SEEK_SET) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QString refusedLink(const QString &path)
{
    const QByteArray local = QFile::encodeName(path);
    struct stat link = {};
    if (::lstat(local.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return {};
    struct stat folder = {};
    if (::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) != 0)
        return {};
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    if (!shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid)
        return {};
    return Words::tr("它是别人建立的符号链接");
}

QString whyNotReplaced(const QString &, const QString &reason)
{
    return reason; // a file open elsewhere is replaced all the same
}

QByteArray rawPathArgument(const char *argument)
{
    const QByteArray raw(argument);
    return QFile::encodeName(QFile::decodeName(raw)) == raw ? QByteArray() : raw;
}

// QSaveFile makes the folder absolute through getcwd, which Qt decodes as text: the kernel's
// name for the working folder is text.
QString enterRawFolder(const QByteArray &folder, QString &error)
{
    if (::chdir(folder.constData()) == 0)
        return kWorkingFolder;
    error = QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

} // namespace hexjpg::system
