#include "command.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(SerialCommand)
};

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}
} // namespace

namespace hexjpg {

std::optional<QByteArray> commandFromText(QStringView text, QString *problem)
{
    QByteArray bytes;
    QString plain;
    auto flush = [&] {
        bytes += plain.toUtf8();
        plain.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            plain += text[i];
            continue;
        }
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        flush();
        if (next == u'r' || next == u'n' || next == u't' || next == u'\\' || next == u'0') {
            bytes += next == u'r'    ? '\r'
                     : next == u'n'  ? '\n'
                     : next == u't'  ? '\t'
                     : next == u'\\' ? '\\'
                                     : '\0';
            ++i;
        } else if (next == u'x' && i + 3 < text.size() && hexDigit(text[i + 2]) >= 0 &&
                   hexDigit(text[i + 3]) >= 0) {
            bytes += char(hexDigit(text[i + 2]) << 4 | hexDigit(text[i + 3]));
            i += 3;
        } else {
            if (problem)
                *problem = Words::tr("命令里的转义不对（在第 %1 个字符处）：可以用 \\r、\\n、\\t、"
                                     "\\\\、\\0 和 \\x 加两位十六进制数")
                               .arg(i + 1);
            return std::nullopt;
        }
    }
    flush();
    return bytes;
}

std::optional<QByteArray> commandFromHex(QStringView text, QString *problem)
{
    QByteArray bytes;
    int high = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isSpace() || c == u',')
            continue;
        const int digit = hexDigit(c);
        if (digit < 0) {
            if (problem)
                *problem = Words::tr("“%1”不是十六进制数字（在第 %2 个字符处）").arg(c).arg(i + 1);
            return std::nullopt;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes += char(high << 4 | digit);
            high = -1;
        }
    }
    if (high >= 0) {
        if (problem)
            *problem = Words::tr("十六进制数字的个数是单数：最后一个字节只有一位");
        return std::nullopt;
    }
    return bytes;
}

QString shownCommand(QByteArrayView bytes)
{
    QString shown;
    for (const char c : bytes) {
        const uchar u = uchar(c);
        if (c == '\r')
            shown += u"\\r"_s;
        else if (c == '\n')
            shown += u"\\n"_s;
        else if (c == '\\')
            shown += u"\\\\"_s;
        else if (u >= 0x20 && u < 0x7f)
            shown += QChar(u);
        else
            shown += u"\\x%1"_s.arg(u, 2, 16, QChar(u'0'));
    }
    return shown;
}

} // namespace hexjpg
