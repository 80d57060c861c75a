// The forgiving reading's driver: one Reader takes the text block by block, and the whole-text
// reading is the same Reader fed once.
//
// State and phases, as a block goes through (cf. zlib's inflate.h):
//
//   SAMPLING  Nothing is read until the layout can be judged: the blocks wait in the text window
//             until sample characters have come (4 KiB from a serial line, 64 KiB of a whole
//             text), or the text ends, or the line falls silent (a pause).
//   JUDGED    judgeLayout() looks at the sample once and fixes the layout, and for tokens the
//             shape of a typical line; from then on each block is read as it comes.
//   READING   The window frames the block: its whole lines are handed to the layout's reader
//             (tokens, column dumps, Python literals or base64), which puts the bytes in the
//             ledger and the characters it passes over among the skipped spans. A line under way
//             waits for the next block; one longer than TextWindow::kLongLine is read up to its
//             last blank. Each reader keeps what it carries between blocks (a line's tally, an open
//             comment, a column dump's last line and offset, a base64 run's bits).
//   TAKING    The bytes that no later line can take back are handed on (od's closing offset may
//             still trim the last line's filler), and the window lets go of what was read.
//   DONE      At the end of the text, when a stop is asked for (the ledger looks every 65,536
//             steps), when the '*' lines would stand for more than kMaxFill bytes, or when a line
//             passes TextWindow::kMaxLine without a blank. read().stopped says why in words.
//
// Every character is looked at a bounded number of times: the judgement reads the sample once,
// and each reader goes over each line once (a line of words is taken back to its mark, not read
// again).

#include "forgiving_reader.h"

#include "columns.h"
#include "layout.h"
#include "ledger.h"
#include "literals.h"
#include "text_window.h"
#include "tokens.h"

#include <QCoreApplication>

#include <new>

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(ForgivingReader)
};
} // namespace

namespace hexjpg {

namespace {

using namespace forgiving;

template <typename Unit> class Reader {
public:
    Reader(const std::atomic<bool> *cancel, qint64 sample)
        : m_ledger(m_window, cancel)
        , m_sample(sample)
    {
    }

    // Reads the whole lines that data completes, with what waited before it; with last or pause,
    // all of it.
    void feed(const Unit *data, qint64 size, bool last, bool pause = false)
    {
        if (m_done)
            return;
        const bool ended = last || pause;
        qint64 cut = m_window.frame(data, size, ended);
        if (cut < 0) {
            m_ledger.out().stopped =
                Words::tr("第 %1 行太长：%2 个字符中没有空白或换行，读到这里为止")
                    .arg(m_ledger.lineNumber(0))
                    .arg(m_window.size());
            m_done = true;
            m_window.drop();
            return;
        }
        if (!m_judged && !ended && m_window.size() < m_sample)
            cut = 0; // SAMPLING
        if (cut > 0 || last) {
            m_window.open(cut);
            m_ledger.reserveFor(cut);
            if (!m_judged) {
                m_judgement = judgeLayout(m_window, m_sample);
                m_judged = true;
            }
            read();
            ForgivingRead &out = m_ledger.out();
            out.layout = describe(m_judgement.layout, m_traits, out.wordLines);
            m_done = last || out.interrupted || !out.stopped.isEmpty();
        }
        if (last || m_done)
            return;
        m_ledger.rebase(cut);
        m_window.release(cut);
    }

    // The bytes read so far that no later line can take back, handed over; with all, every byte.
    QByteArray take(bool all = false)
    {
        const qsizetype count =
            m_ledger.size() - (all ? 0 : m_columns.heldBack(m_judgement.layout));
        m_columns.taken(count);
        return m_ledger.take(count);
    }

    bool done() const { return m_done; }
    ForgivingRead &result() { return m_ledger.out(); }
    ForgivingRead finish() { return m_ledger.finish(); }

private:
    void read()
    {
        switch (m_judgement.layout) {
        case Layout::Tokens:
        case Layout::Decimal:
            m_tokens.read(m_window, m_ledger, m_judgement, m_traits,
                          m_judgement.layout == Layout::Decimal);
            break;
        case Layout::Xxd:
        case Layout::Hexdump:
        case Layout::OdWords:
            m_columns.read(m_window, m_ledger, m_judgement.layout, m_traits);
            break;
        case Layout::PythonBytes:
            m_python.read(m_window, m_ledger);
            break;
        case Layout::Base64:
            m_base64.read(m_window, m_ledger);
            break;
        }
    }

    TextWindow<Unit> m_window;
    Ledger<Unit> m_ledger;
    qint64 m_sample;
    bool m_judged = false;
    bool m_done = false;
    Judgement m_judgement;
    Traits m_traits;
    TokenReader<Unit> m_tokens;
    ColumnReader<Unit> m_columns;
    PythonReader<Unit> m_python;
    Base64Reader<Unit> m_base64;
};

constexpr qint64 kWholeSample = 64 * 1024;

ForgivingRead outOfMemory()
{
    ForgivingRead read;
    read.outOfMemory = true;
    read.stopped = Words::tr("内存不足，无法读取这么长的文本");
    return read;
}

// A reading whose bytes do not fit in memory says so instead of ending the program.
template <typename Unit>
ForgivingRead readSafely(const Unit *data, qint64 size, const std::atomic<bool> *cancel)
{
    try {
        Reader<Unit> reader(cancel, kWholeSample);
        reader.feed(data, size, true);
        return reader.finish();
    } catch (const std::bad_alloc &) {
        return outOfMemory();
    }
}

} // namespace

ForgivingRead readForgiving(QStringView text, const std::atomic<bool> *cancel)
{
    return readSafely(text.utf16(), text.size(), cancel);
}

ForgivingRead readForgiving(QByteArrayView utf8, const std::atomic<bool> *cancel)
{
    return readSafely(reinterpret_cast<const unsigned char *>(utf8.data()), utf8.size(), cancel);
}

struct ForgivingStream::Private {
    Private(qint64 sample, const std::atomic<bool> *cancel)
        : reader(cancel, sample)
    {
    }
    Reader<unsigned char> reader;
};

ForgivingStream::ForgivingStream(qint64 sample, const std::atomic<bool> *cancel)
    : d(std::make_unique<Private>(sample, cancel))
{
}

ForgivingStream::~ForgivingStream() = default;
ForgivingStream::ForgivingStream(ForgivingStream &&) noexcept = default;
ForgivingStream &ForgivingStream::operator=(ForgivingStream &&) noexcept = default;

QByteArray ForgivingStream::feed(QByteArrayView utf8, bool pause)
{
    try {
        d->reader.feed(reinterpret_cast<const unsigned char *>(utf8.data()), utf8.size(), false,
                       pause);
        return d->reader.take();
    } catch (const std::bad_alloc &) {
        d->reader.result() = outOfMemory();
        return {};
    }
}

QByteArray ForgivingStream::finish()
{
    try {
        d->reader.feed(nullptr, 0, true);
        return d->reader.take(true);
    } catch (const std::bad_alloc &) {
        d->reader.result() = outOfMemory();
        return {};
    }
}

const ForgivingRead &ForgivingStream::read() const
{
    return d->reader.result();
}

bool ForgivingStream::ended() const
{
    return d->reader.done();
}

} // namespace hexjpg
