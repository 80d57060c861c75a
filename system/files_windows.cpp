#include "files.h"

#include "system_words.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdint>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

using namespace Qt::StringLiterals;

namespace hexjpg::system {

namespace {

// Which file a handle is open on: its volume and its index there, which a rename keeps.
bool identify(HANDLE handle, qint64 (&id)[3])
{
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(handle, &info))
        return false;
    id[0] = info.dwVolumeSerialNumber;
    id[1] = info.nFileIndexHigh;
    id[2] = info.nFileIndexLow;
    return true;
}

} // namespace

// QSaveFile writes a file that nobody else may open, and no handle left open on it may stand in
// the way of its rename: what is kept is which file it is, and after the rename 1.jpg is opened
// for reading and taken only if it is still that file.
ReadBack::ReadBack(int fd)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE || !identify(handle, m_hold))
        m_hold[0] = -1;
}

ReadBack::~ReadBack() = default;

int ReadBack::open(const QString &path)
{
    if (m_hold[0] < 0)
        return -1;
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    qint64 id[3];
    if (!identify(file, id) || id[0] != m_hold[0] || id[1] != m_hold[1] || id[2] != m_hold[2]) {
        ::CloseHandle(file);
        return -1;
    }
    m_hold[0] = -1;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0)
        ::CloseHandle(file);
    return fd;
}

QString refusedLink(const QString &)
{
    return {}; // links are made by administrators only: none is planted by another user
}

QString whyNotReplaced(const QString &path, const QString &reason)
{
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE file = ::CreateFileW(name.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(file);
        return reason;
    }
    if (::GetLastError() == ERROR_SHARING_VIOLATION)
        return Words::tr("另一个程序正在使用这个文件（比如看图软件），请关掉它再试");
    return reason;
}

QByteArray rawPathArgument(const char *)
{
    return {};
}

QString enterRawFolder(const QByteArray &, QString &error)
{
    error = Words::tr("文件夹的名字不是文字");
    return {};
}

} // namespace hexjpg::system
