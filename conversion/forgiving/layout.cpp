#include "layout.h"

#include "columns.h"
#include "literals.h"
#include "tokens.h"

#include <QCoreApplication>

#include <algorithm>
#include <map>
#include <utility>

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(ForgivingReader)
};
} // namespace

namespace hexjpg::forgiving {

template <typename Unit> Judgement judgeLayout(const TextWindow<Unit> &text, qint64 sampleEnd)
{
    sampleEnd = std::min(text.size(), sampleEnd);
    qint64 lines = 0, xxd = 0, hexdump = 0, od = 0, letters = 0, decimalBig = 0, tokens = 0;
    qint64 fullLines = 0, leadLines = 0;
    // The bytes of Python literals against those of tokens.
    qint64 pythonBytes = 0, tokenBytes = 0;
    std::map<qint64, qint64> prefixes, suffixes; // non-byte tokens before and after the bytes
    for (qint64 start = 0; start < sampleEnd;) {
        // A line longer than the sample (a dump on one line) is judged by its start.
        const qint64 end = text.lineEnd(start, sampleEnd);
        const qint64 next = text.nextLine(end);
        qint64 offset;
        qint64 marks = 0, blanks = 0;
        for (qint64 i = start; i < end; ++i) {
            marks += text.at(i) == '*';
            blanks += isSeparator(text.at(i));
        }
        // A blank line, or a column dump's '*', tells nothing of the layout.
        if (blanks == end - start || (marks == 1 && blanks == end - start - 1)) {
            start = next;
            continue;
        }
        ++lines;
        xxd += offsetColumn(text, Layout::Xxd, start, end, offset) >= 0;
        od += odWords(text, start, end);
        hexdump += hexdumpPairs(text, start, end);
        qint64 data = 0, prefix = 0, after = 0, pairs = 0, firstLength = 0, escapes = 0;
        bool python = false;
        for (qint64 i = start; i < end;) {
            if (isSeparator(text.at(i))) {
                ++i;
                continue;
            }
            qint64 j = i;
            while (j < end && !isSeparator(text.at(j)))
                ++j;
            for (qint64 k = i; k + 2 < j && !python; ++k)
                python = (text.at(k) == 'b' || text.at(k) == 'B') &&
                         (text.at(k + 1) == '\'' || text.at(k + 1) == '"') &&
                         text.at(k + 2) == '\\';
            for (qint64 k = i; k + 1 < j; ++k)
                escapes += text.at(k) == '\\' && (text.at(k + 1) == 'x' || text.at(k + 1) == 'X');
            const unsigned form = tokenForm(text, i, j, false);
            const unsigned asDecimal = tokenForm(text, i, j, true);
            ++tokens;
            if (form || asDecimal) {
                if (!data)
                    firstLength = j - i;
                ++data;
                after = 0;
                pairs += j - i == 2;
                for (qint64 k = i; k < j; ++k)
                    letters += (classOf(text.at(k)) & (Hex | Digit)) == Hex &&
                               (form & (Pair | Single | Run));
                decimalBig += asDecimal && j - i == 3;
            } else if (!data) {
                ++prefix;
            } else {
                ++after;
            }
            i = j;
        }
        if (python)
            pythonBytes += escapes;
        else
            tokenBytes += data;
        if (data >= 8) {
            ++fullLines;
            // A first column of another width than the pairs that follow it.
            const bool lead = firstLength != 2 && pairs >= data - 1;
            leadLines += lead;
            ++prefixes[prefix + lead];
            ++suffixes[after];
        }
        start = next;
    }
    auto mostOften = [](const std::map<qint64, qint64> &counts) {
        return counts.empty()
                   ? 0
                   : std::max_element(counts.begin(), counts.end(), [](auto &a, auto &b) {
                         return a.second < b.second;
                     })->first;
    };
    Judgement judged;
    judged.leadColumn = fullLines > 0 && leadLines * 2 > fullLines;
    judged.prefix = mostOften(prefixes);
    judged.suffix = mostOften(suffixes);
    const qint64 most = std::max<qint64>(1, (lines + 1) / 2);
    if (pythonBytes > 0 && pythonBytes >= tokenBytes)
        judged.layout = Layout::PythonBytes;
    else if (xxd >= most)
        judged.layout = Layout::Xxd;
    else if (od >= most)
        judged.layout = Layout::OdWords;
    else if (hexdump >= most)
        judged.layout = Layout::Hexdump;
    else if (findSignature(text, 0, sampleEnd) < sampleEnd && tokens < 4 * lines + 8)
        judged.layout = Layout::Base64;
    else if (decimalBig > 0 && letters == 0)
        judged.layout = Layout::Decimal;
    return judged;
}

template Judgement judgeLayout(const TextWindow<char16_t> &, qint64);
template Judgement judgeLayout(const TextWindow<unsigned char> &, qint64);

QString describe(Layout layout, const Traits &traits, qint64 wordLines)
{
    QString words;
    switch (layout) {
    case Layout::Tokens: {
        // The first of these forms that the text used names the reading.
        static constexpr std::pair<unsigned, const char *> kFormWords[] = {
            {ZeroX, QT_TRANSLATE_NOOP("ForgivingReader", "按每个字节一个记号读取（带 0x 前缀）")},
            {BackslashX,
             QT_TRANSLATE_NOOP("ForgivingReader", "按每个字节一个记号读取（\\x 转义）")},
            {AmpersandH,
             QT_TRANSLATE_NOOP("ForgivingReader", "按每个字节一个记号读取（带 &H 前缀）")},
            {HexSuffix,
             QT_TRANSLATE_NOOP("ForgivingReader", "按每个字节一个记号读取（带 h 后缀）")},
            {Dollar, QT_TRANSLATE_NOOP("ForgivingReader", "按每个字节一个记号读取（带 $ 前缀）")},
            {Single, QT_TRANSLATE_NOOP("ForgivingReader",
                                       "按每个字节一个记号读取（单个数字也算一个字节）")},
            {Run, QT_TRANSLATE_NOOP("ForgivingReader", "十六进制数字连写，每两个一个字节")},
        };
        words = Words::tr("每两个十六进制数字一个字节");
        for (const auto &[form, text] : kFormWords) {
            if (traits.forms & form) {
                words = Words::tr(text);
                break;
            }
        }
        break;
    }
    case Layout::Decimal:
        words = Words::tr("十进制数字列表，每个数一个字节");
        break;
    case Layout::Xxd:
        words = Words::tr("xxd 的输出，跳过了偏移列和文字列");
        break;
    case Layout::Hexdump:
        words = traits.zeroXOffsets ? Words::tr("ESP-IDF 的十六进制转储，跳过了偏移列和文字列")
                                    : Words::tr("hexdump -C 的输出，跳过了偏移列和文字列");
        break;
    case Layout::OdWords:
        words = Words::tr("od -x 的输出，每两个字节交换回原来的顺序");
        break;
    case Layout::PythonBytes:
        words = Words::tr("Python 的 bytes 字面量（b'…'）");
        break;
    case Layout::Base64:
        words = Words::tr("Base64 编码");
        break;
    }
    if (traits.prefixSeen)
        words += Words::tr("，跳过了每行开头的时间戳或日志前缀");
    if (traits.filled)
        words += Words::tr("，按偏移补上了 * 行省略的重复字节");
    if (wordLines > 0)
        words += Words::tr("，跳过了 %1 行文字").arg(wordLines);
    return words;
}

} // namespace hexjpg::forgiving
