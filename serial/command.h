#pragma once

// A command for the board, as the user writes it: text with \r, \n, \t, \\ and \xNN escapes
// ("c\r\n"), or hex pairs ("56 00 36 01 00"). QtCore only.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace hexjpg {

// The bytes of text with its escapes read (the rest as UTF-8); nothing, with problem set, when
// an escape is broken.
std::optional<QByteArray> commandFromText(QStringView text, QString *problem = nullptr);
// The bytes of hex pairs, blanks between them or not; nothing, with problem set, when a
// character is not a hex digit or a digit is left over.
std::optional<QByteArray> commandFromHex(QStringView text, QString *problem = nullptr);
// The bytes as they are shown on a line marked as sent: printable ASCII as it is, the rest as
// escapes.
QString shownCommand(QByteArrayView bytes);

} // namespace hexjpg
