#pragma once

// The console tool's input, read a block at a time: a file, or standard input, as bytes (no line
// ends changed, no end-of-file character honoured). A regular file is measured at the start, so
// that one that shrinks while it is read is noticed. One file for POSIX systems, one for Windows.

#include <QByteArray>
#include <QString>

#include <memory>

namespace hexjpg::system {

class Input {
public:
    Input();
    ~Input();
    Input(const Input &) = delete;
    Input &operator=(const Input &) = delete;

    // name: a path, or empty or "-" for standard input; raw: the path's bytes where they are not
    // text in the system's encoding (POSIX systems only).
    bool open(const QString &name, const QByteArray &raw = {});
    // Up to max bytes; 0 at the end, -1 on a failure (errorString() says why). A stop asked for
    // ends a read that waits.
    qint64 read(char *data, qint64 max);

    QString name() const { return m_name; }
    qint64 size() const { return m_size; } // -1: not a regular file
    qint64 total() const { return m_total; }
    QString errorString() const { return m_error; }
    bool fail(const QString &reason)
    {
        m_error = reason;
        return false;
    }

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    QString m_name;
    QString m_error;
    qint64 m_size = -1;
    qint64 m_total = 0;
};

} // namespace hexjpg::system
