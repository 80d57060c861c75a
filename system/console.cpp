#include "console.h"

#include <algorithm>

namespace hexjpg::system {

namespace {

// The columns the status line takes now: a CJK character takes two.
qsizetype g_statusWidth = 0;

qsizetype columns(const QString &text)
{
    qsizetype width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x1100 ? 2 : 1;
    return width;
}

void eraseStatus()
{
    if (g_statusWidth == 0)
        return;
    writeText(stderr, u'\r' + QString(g_statusWidth, u' ') + u'\r');
    g_statusWidth = 0;
}

} // namespace

void printLine(std::FILE *to, const QString &text)
{
    if (to == stderr || isTerminal(to)) // a terminal's lines go above the status line
        eraseStatus();
    writeText(to, text + u'\n');
}

void showStatus(const QString &text)
{
    if (!isTerminal(stderr))
        return;
    const qsizetype width = columns(text);
    const qsizetype left = std::max<qsizetype>(0, g_statusWidth - width);
    writeText(stderr, u'\r' + text + QString(left, u' ') + QString(left, u'\b'));
    g_statusWidth = width;
}

} // namespace hexjpg::system
