#pragma once

// The local files a drop on the text panel carries, read as text: UTF-8, or UTF-16 where a
// byte-order mark says so. Only regular files are opened (a named pipe would wait for a writer,
// a device could read on without end), and none larger than the room the panel has left.

#include <QString>

#include <optional>

class QMimeData;

namespace panel {

struct DroppedText {
    QString text;    // the files' text, one after another on lines of their own
    QString refusal; // why the drop cannot be taken, in words; empty when it can
};

// Nothing when the drop carries no local file.
std::optional<DroppedText> readDroppedFiles(const QMimeData *mime, qint64 room);

// One file's text, or why it cannot be taken.
DroppedText readTextFile(const QString &path, qint64 room);

} // namespace panel
