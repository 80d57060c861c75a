#include "motion.h"

namespace panel {

namespace {

// The character classes that word movement steps over: blanks, word characters, the rest.
int wordClass(char16_t c)
{
    if (QChar::isSpace(c))
        return 0;
    if (QChar::isLetterOrNumber(c) || c == u'_' || QChar::isSurrogate(c))
        return 1;
    return 2;
}

bool isMark(QStringView text, qint64 i)
{
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::isMark(QChar::surrogateToUcs4(c, text[i + 1].unicode()));
    return QChar::isMark(c);
}

} // namespace

bool splitsPair(QStringView text, qint64 position)
{
    return position > 0 && position < text.size() && text[position].isLowSurrogate() &&
           text[position - 1].isHighSurrogate();
}

// The next place for the caret: past a surrogate pair and the marks that follow a character.
qint64 nextCharacter(QStringView t, qint64 position)
{
    if (position >= t.size())
        return t.size();
    qint64 next = position + 1;
    if (t[position].isHighSurrogate() && next < t.size() && t[next].isLowSurrogate())
        ++next;
    while (next < t.size() && t[next] != u'\n' && isMark(t, next))
        next += t[next].isHighSurrogate() && next + 1 < t.size() ? 2 : 1;
    return std::min(next, qint64(t.size()));
}

qint64 previousCharacter(QStringView t, qint64 position)
{
    qint64 at = std::min<qint64>(position, t.size());
    while (at > 0) {
        --at;
        if (splitsPair(t, at))
            --at;
        if (at == 0 || t[at] == u'\n' || !isMark(t, at))
            break;
    }
    return at;
}

qint64 nextWord(QStringView t, qint64 position)
{
    qint64 p = position;
    if (p < t.size()) {
        const int cls = wordClass(t[p].unicode());
        while (cls != 0 && p < t.size() && wordClass(t[p].unicode()) == cls)
            ++p;
    }
    while (p < t.size() && wordClass(t[p].unicode()) == 0)
        ++p;
    return p;
}

qint64 previousWord(QStringView t, qint64 position)
{
    qint64 p = position;
    while (p > 0 && wordClass(t[p - 1].unicode()) == 0)
        --p;
    if (p > 0) {
        const int cls = wordClass(t[p - 1].unicode());
        while (p > 0 && wordClass(t[p - 1].unicode()) == cls)
            --p;
    }
    return p;
}

Span wordAt(QStringView t, qint64 position)
{
    if (t.isEmpty())
        return {};
    qint64 at = std::min<qint64>(position, t.size() - 1);
    if (at > 0 && at == position && wordClass(t[at].unicode()) == 0 &&
        wordClass(t[at - 1].unicode()) != 0)
        --at; // a click just past a word's end takes that word
    const int cls = wordClass(t[at].unicode());
    qint64 start = at, end = at + 1;
    while (start > 0 && t[start - 1] != u'\n' && wordClass(t[start - 1].unicode()) == cls)
        --start;
    while (end < t.size() && t[end] != u'\n' && wordClass(t[end].unicode()) == cls)
        ++end;
    return {start, end};
}

qint64 displayLine(const Document &document, qint64 position, bool atLineEnd)
{
    const qint64 line = document.lineAt(position);
    if (atLineEnd && line > 0 && position == document.lineStart(line) &&
        !document.startsParagraph(line))
        return line - 1;
    return line;
}

qint64 caretEnd(const Document &document, qint64 line)
{
    const qint64 start = document.lineStart(line);
    const qint64 end = document.lineEnd(line);
    const bool wraps = line + 1 < document.lineCount() && !document.startsParagraph(line + 1);
    if (wraps && end > start && document.text()[end - 1] == u' ')
        return end - 1;
    return end;
}

bool atSeam(const Document &document, qint64 line, qint64 position)
{
    return line + 1 < document.lineCount() && position == document.lineStart(line + 1);
}

} // namespace panel
