#pragma once

// The operating system's part in writing 1.jpg: a second handle on a file being written, to read
// it back once it has replaced 1.jpg; the rule for following a planted symbolic link; and the words
// for a replacement the system refused. One file for POSIX systems, one for Windows.

#include <QString>

namespace hexjpg::system {

// The file being written, read back once it has replaced 1.jpg: the very bytes this run wrote,
// whatever another program has done to the path since. Taken hold of while the file is open for
// writing (fd); opened for reading after the replacement.
class ReadBack {
public:
    explicit ReadBack(int fd);
    ~ReadBack();
    ReadBack(const ReadBack &) = delete;
    ReadBack &operator=(const ReadBack &) = delete;

    // A descriptor for reading the file written, now named path, from its first byte; -1 when
    // that file cannot be had (it was replaced by another in the meantime, say). Once only.
    int open(const QString &path);

private:
    qint64 m_hold[3] = {-1, -1, -1};
};

// Why following path, a symbolic link, would be refused by the protected-symlinks rule; empty
// when it is no link, or one that may be followed.
QString refusedLink(const QString &path);

// The reason to give when path could not be replaced, from the library's own words: where another
// program holds the file open (an image viewer, say), that is said.
QString whyNotReplaced(const QString &path, const QString &reason);

// Paths given as bytes that are not text: the argument's bytes where decoding them as text would
// lose them, else empty (always on Windows, whose command line is text).
QByteArray rawPathArgument(const char *argument);
// Makes folder the working folder, and returns a name of plain text for it; empty on a failure,
// with the system's reason in error.
inline const QString kWorkingFolder = QStringLiteral("/proc/self/cwd");
QString enterRawFolder(const QByteArray &folder, QString &error);

} // namespace hexjpg::system
