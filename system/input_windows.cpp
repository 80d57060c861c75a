#include "input.h"

#include "system_words.h"

#include "interruption.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

using namespace Qt::StringLiterals;

namespace hexjpg::system {

struct Input::Handle {
    QFile file;
    bool standardInput = false; // read with the C runtime: Qt's file reads a pipe poorly here
};

Input::Input()
    : m_handle(std::make_unique<Handle>())
{
}

Input::~Input() = default;

bool Input::open(const QString &name, const QByteArray &)
{
    m_name = name.isEmpty() || name == u"-" ? u"-"_s : name;
    QFile &file = m_handle->file;
    if (m_name == u"-") {
        // Bytes as they come: no CR LF made LF, no Ctrl+Z taken for the end.
        ::_setmode(::_fileno(stdin), _O_BINARY);
        m_handle->standardInput = true;
        return true;
    } else {
        file.setFileName(m_name);
        if (QFileInfo(m_name).isDir())
            return fail(Words::tr("是一个文件夹"));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return fail(file.errorString());
    }
    if (!file.isSequential())
        m_size = file.size();
    return true;
}

qint64 Input::read(char *data, qint64 max)
{
    if (interruptionRequested()) {
        fail(Words::tr("已中断"));
        return -1;
    }
    const qint64 got =
        m_handle->standardInput
            ? qint64(::_read(::_fileno(stdin), data, unsigned(std::min<qint64>(max, 1 << 30))))
            : m_handle->file.read(data, max);
    if (got < 0) {
        fail(m_handle->standardInput ? QString::fromLocal8Bit(std::strerror(errno))
                                     : m_handle->file.errorString());
        return -1;
    }
    m_total += got;
    return got;
}

} // namespace hexjpg::system
