#include "files.h"

#include <QDir>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

using namespace Qt::StringLiterals;

namespace hexjpg::system {

// A new handle on the same file that shares deleting: the rename that makes the file 1.jpg is not
// blocked by it, and it goes on reading the bytes written whatever is done to the path.
int readBackDescriptor(int fd)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    const HANDLE reopened = ::ReOpenFile(handle, GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (reopened == INVALID_HANDLE_VALUE)
        return -1;
    const int duplicate = ::_open_osfhandle(reinterpret_cast<intptr_t>(reopened), _O_RDONLY);
    if (duplicate < 0)
        ::CloseHandle(reopened);
    return duplicate;
}

void closeDescriptor(int fd)
{
    ::_close(fd);
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
        return u"另一个程序正在使用这个文件（比如看图软件），请关掉它再试"_s;
    return reason;
}

QByteArray rawPathArgument(const char *)
{
    return {};
}

QString enterRawFolder(const QByteArray &, QString &error)
{
    error = u"文件夹的名字不是文字"_s;
    return {};
}

} // namespace hexjpg::system
