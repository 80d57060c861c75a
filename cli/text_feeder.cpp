#include "text_feeder.h"

#include <QString>

namespace {

bool isAscii(QByteArrayView bytes)
{
    // A plain loop the compiler turns into vector code: a block is a megabyte.
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    unsigned char any = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        any |= p[i];
    return any < 0x80;
}

// How much of bytes ends on a whole UTF-8 sequence: a sequence cut by the block's end waits for
// the next block.
qsizetype wholeUtf8(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype i = size - 1; i >= 0 && i >= size - 3; --i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if ((byte & 0xc0) == 0x80)
            continue; // a continuation byte: look further back for the lead
        const int length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 1;
        return size - i < length ? i : size;
    }
    return size;
}

} // namespace

ByteOrder sniffByteOrder(QByteArrayView first)
{
    if (first.startsWith("\xef\xbb\xbf"))
        return {QStringConverter::Utf8, 3};
    if (first.startsWith("\xff\xfe"))
        return {QStringConverter::Utf16LE, 2};
    if (first.startsWith("\xfe\xff"))
        return {QStringConverter::Utf16BE, 2};
    return {};
}

TextFeeder::TextFeeder(hexjpg::HexStreamDecoder &decoder, QStringConverter::Encoding encoding)
    : m_decoder(decoder)
    , m_decode(encoding)
    , m_utf16(encoding != QStringConverter::Utf8)
{
}

bool TextFeeder::feed(QByteArrayView block)
{
    if (m_utf16)
        return m_decoder.feed(QString(m_decode(block)));
    bool ok = true;
    if (!m_carry.isEmpty()) {
        // The sequence the last block cut, completed by this one's continuation bytes.
        qsizetype continued = 0;
        while (continued < block.size() && continued < 3 &&
               (static_cast<unsigned char>(block[continued]) & 0xc0) == 0x80)
            ++continued;
        m_carry.append(block.first(continued));
        ok = m_decoder.feed(QString::fromUtf8(m_carry));
        m_carry.clear();
        block = block.sliced(continued);
    }
    const qsizetype cut = wholeUtf8(block);
    const QByteArrayView head = block.first(cut);
    ok = (isAscii(head) ? m_decoder.feed(QLatin1StringView(head))
                        : m_decoder.feed(QString::fromUtf8(head))) &&
         ok;
    m_carry = block.sliced(cut).toByteArray();
    return ok;
}

bool TextFeeder::finish()
{
    // A sequence cut short by the end of the input counts as a character, not a digit.
    const bool ok = m_utf16 ? m_decoder.feed(QString(m_decode(QByteArrayView())))
                            : m_decoder.feed(QString::fromUtf8(m_carry));
    return ok && m_decoder.finish();
}
