#include "dump_writer.h"

#include <algorithm>
#include <array>

namespace hexjpg {

namespace {

constexpr std::array kLayouts = {DumpLayout::Pairs,   DumpLayout::Xxd,    DumpLayout::C,
                                 DumpLayout::Arduino, DumpLayout::Python, DumpLayout::Base64};
constexpr char kUpper[] = "0123456789ABCDEF";
constexpr char kLower[] = "0123456789abcdef";
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The most characters a line of count bytes takes in any layout, its end included.
qsizetype lineRoom(int count)
{
    return qsizetype(count) * 7 + 64;
}

char *hexPair(char *w, uchar b, const char *digits)
{
    w[0] = digits[b >> 4];
    w[1] = digits[b & 15];
    return w + 2;
}

} // namespace

std::span<const DumpLayout> dumpLayouts()
{
    return kLayouts;
}

QString dumpLayoutName(DumpLayout layout)
{
    switch (layout) {
    case DumpLayout::Pairs:
        return QStringLiteral("pairs");
    case DumpLayout::Xxd:
        return QStringLiteral("xxd");
    case DumpLayout::C:
        return QStringLiteral("c");
    case DumpLayout::Arduino:
        return QStringLiteral("arduino");
    case DumpLayout::Python:
        return QStringLiteral("python");
    case DumpLayout::Base64:
        return QStringLiteral("base64");
    }
    return {};
}

std::optional<DumpLayout> dumpLayoutNamed(QStringView name)
{
    for (const DumpLayout layout : kLayouts)
        if (name.compare(dumpLayoutName(layout), Qt::CaseInsensitive) == 0)
            return layout;
    return std::nullopt;
}

int defaultPerLine(DumpLayout layout)
{
    switch (layout) {
    case DumpLayout::C:
    case DumpLayout::Arduino:
        return 12;
    case DumpLayout::Base64:
        return 57;
    default:
        return 16;
    }
}

bool perLineFits(DumpLayout layout, int perLine)
{
    return perLine >= 1 && perLine <= kMaxPerLine &&
           (layout != DumpLayout::Base64 || perLine % 3 == 0);
}

QByteArray dumpName(QStringView fileName)
{
    QByteArray name;
    for (const QChar c : fileName) {
        const char16_t u = c.unicode();
        const bool plain =
            (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_';
        name += plain ? char(u) : '_';
    }
    if (name.isEmpty() || (name[0] >= '0' && name[0] <= '9'))
        name.prepend(name.isEmpty() ? "image" : "image_");
    return name;
}

DumpWriter::DumpWriter(DumpLayout layout, int perLine, QByteArray name)
    : m_layout(layout)
    , m_perLine(perLine)
    , m_name(std::move(name))
{
}

void DumpWriter::begin(QByteArray &out)
{
    m_begun = true;
    switch (m_layout) {
    case DumpLayout::C:
        out += "const unsigned char " + m_name + "[] = {\n";
        break;
    case DumpLayout::Arduino:
        out += "const unsigned char " + m_name + "[] PROGMEM = {\n";
        break;
    case DumpLayout::Python:
        out += m_name + " = (\n";
        break;
    default:
        break;
    }
}

void DumpWriter::feed(QByteArrayView block, QByteArray &out)
{
    if (!m_begun)
        begin(out);
    const auto *p = reinterpret_cast<const uchar *>(block.data());
    qsizetype n = block.size();
    // The last line is held back until more comes or the end: a C array's last byte has no comma.
    if (!m_pending.isEmpty()) {
        const qsizetype take = std::min<qsizetype>(n, m_perLine - m_pending.size());
        m_pending.append(reinterpret_cast<const char *>(p), take);
        p += take;
        n -= take;
        if (n == 0)
            return;
        line(reinterpret_cast<const uchar *>(m_pending.constData()), m_perLine, false, out);
        m_pending.clear();
    }
    out.reserve(out.size() + (n / m_perLine + 1) * lineRoom(m_perLine));
    for (; n > m_perLine; p += m_perLine, n -= m_perLine)
        line(p, m_perLine, false, out);
    m_pending.append(reinterpret_cast<const char *>(p), n);
}

void DumpWriter::finish(QByteArray &out)
{
    if (!m_begun)
        begin(out);
    if (!m_pending.isEmpty())
        line(reinterpret_cast<const uchar *>(m_pending.constData()), int(m_pending.size()), true,
             out);
    m_pending.clear();
    switch (m_layout) {
    case DumpLayout::C:
    case DumpLayout::Arduino:
        out +=
            "};\nconst unsigned int " + m_name + "_len = " + QByteArray::number(m_offset) + ";\n";
        break;
    case DumpLayout::Python:
        if (m_offset == 0)
            out += "    b''\n";
        out += ")\n";
        break;
    default:
        break;
    }
}

void DumpWriter::line(const uchar *bytes, int count, bool last, QByteArray &out)
{
    const qsizetype at = out.size();
    out.resize(at + lineRoom(m_perLine));
    char *const start = out.data() + at;
    char *w = start;
    switch (m_layout) {
    case DumpLayout::Pairs:
        for (int i = 0; i < count; ++i) {
            w = hexPair(w, bytes[i], kUpper);
            *w++ = ' ';
        }
        w[-1] = '\n';
        break;
    case DumpLayout::Xxd: {
        // As xxd lays it out: the offset, the bytes in groups of two, the text from a fixed column.
        char address[24];
        int digits = 8;
        while (digits < 16 && (m_offset >> (4 * digits)) != 0)
            ++digits;
        for (int d = 0; d < digits; ++d)
            address[d] = kLower[(m_offset >> (4 * (digits - 1 - d))) & 15];
        const int hexFrom = digits + 2, textFrom = digits + 4 + (5 * m_perLine - 1) / 2;
        std::fill(start, start + textFrom + count, ' ');
        std::copy(address, address + digits, start);
        start[digits] = ':';
        for (int i = 0; i < count; ++i) {
            hexPair(start + hexFrom + (5 * i) / 2, bytes[i], kLower);
            start[textFrom + i] = bytes[i] >= 0x20 && bytes[i] < 0x7f ? char(bytes[i]) : '.';
        }
        w = start + textFrom + count;
        *w++ = '\n';
        break;
    }
    case DumpLayout::C:
    case DumpLayout::Arduino:
        *w++ = ' ';
        *w++ = ' ';
        for (int i = 0; i < count; ++i) {
            *w++ = '0';
            *w++ = 'x';
            w = hexPair(w, bytes[i], kUpper);
            if (i + 1 < count || !last)
                *w++ = ',';
            *w++ = ' ';
        }
        w[-1] = '\n';
        break;
    case DumpLayout::Python:
        w = std::copy_n("    b'", 6, w);
        for (int i = 0; i < count; ++i) {
            *w++ = '\\';
            *w++ = 'x';
            w = hexPair(w, bytes[i], kLower);
        }
        *w++ = '\'';
        *w++ = '\n';
        break;
    case DumpLayout::Base64:
        for (int i = 0; i < count; i += 3) {
            const int left = count - i;
            const unsigned v = unsigned(bytes[i]) << 16 |
                               (left > 1 ? unsigned(bytes[i + 1]) << 8 : 0) |
                               (left > 2 ? bytes[i + 2] : 0);
            *w++ = kBase64[v >> 18];
            *w++ = kBase64[(v >> 12) & 63];
            *w++ = left > 1 ? kBase64[(v >> 6) & 63] : '=';
            *w++ = left > 2 ? kBase64[v & 63] : '=';
        }
        *w++ = '\n';
        break;
    }
    out.resize(w - out.data());
    m_offset += count;
}

QByteArray dumpBytes(QByteArrayView bytes, DumpLayout layout, int perLine, const QByteArray &name)
{
    DumpWriter writer(layout, perLine, name);
    QByteArray out;
    writer.feed(bytes, out);
    writer.finish(out);
    return out;
}

} // namespace hexjpg
