#include "input.h"

#include "system_words.h"

#include "interruption.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace hexjpg::system {

struct Input::Handle {
    int fd = -1;
    ~Handle()
    {
        if (fd > STDIN_FILENO)
            ::close(fd);
    }
};

Input::Input()
    : m_handle(std::make_unique<Handle>())
{
}

Input::~Input() = default;

bool Input::open(const QString &name, const QByteArray &raw)
{
    m_name = name.isEmpty() || name == u"-" ? u"-"_s : name;
    int &fd = m_handle->fd;
    if (m_name == u"-") {
        fd = STDIN_FILENO;
    } else {
        fd = ::open(raw.isEmpty() ? QFile::encodeName(m_name).constData() : raw.constData(),
                    O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(info.st_mode))
        return fail(QString::fromLocal8Bit(std::strerror(EISDIR)));
    if (S_ISREG(info.st_mode))
        m_size = info.st_size;
    return true;
}

qint64 Input::read(char *data, qint64 max)
{
    for (;;) {
        const ssize_t got = ::read(m_handle->fd, data, std::size_t(max));
        if (got >= 0) {
            m_total += got;
            return got;
        }
        if (errno == EINTR && !interruptionRequested())
            continue;
        fail(errno == EINTR ? Words::tr("已中断") : QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
}

} // namespace hexjpg::system
