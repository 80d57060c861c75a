#include "jpeg_markers.h"

#include <QCoreApplication>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(JpegMarkers)
};
} // namespace

namespace hexjpg {

qint64 &bytesExamined()
{
    thread_local qint64 count = 0;
    return count;
}

namespace jpeg {

MemoryReader::MemoryReader(QByteArrayView bytes)
    : m_data(reinterpret_cast<const unsigned char *>(bytes.data()))
    , m_size(bytes.size())
{
}

// Moves to where the stretch from here ends (scan(from, limit) finds that end before limit, or
// gives limit), through the stretches known to lead there; a long stretch crossed becomes known.
template <typename Scan> void MemoryReader::cross(std::map<qint64, qint64> &known, Scan scan)
{
    constexpr qint64 kRemembered = 16;
    auto after = known.upper_bound(m_at);
    if (after != known.begin()) {
        const auto before = std::prev(after);
        if (m_at <= before->second) {
            m_at = before->second;
            return;
        }
    }
    // Up to the next known stretch at most: from there on, the way is known.
    const qint64 from = m_at;
    const qint64 limit = after == known.end() ? m_size : after->first;
    m_at = scan(m_at, limit);
    bytesExamined() += m_at - from + (m_at < m_size);
    if (m_at == limit && after != known.end()) {
        m_at = after->second;
        known.erase(after);
    }
    if (m_at - from >= kRemembered)
        known.emplace(from, m_at);
}

void MemoryReader::toNextFF()
{
    cross(m_clear, [this](qint64 from, qint64 limit) {
        const void *ff = std::memchr(m_data + from, 0xff, std::size_t(limit - from));
        return ff ? static_cast<const unsigned char *>(ff) - m_data : limit;
    });
}

void MemoryReader::skipFill()
{
    cross(m_fill, [this](qint64 from, qint64 limit) {
        while (from < limit && m_data[from] == 0xff)
            ++from;
        return from;
    });
}

namespace {

// Where FF D8 FF first begins in [from, to) of data, whose size is size; to when nowhere.
qint64 findStart(const unsigned char *data, qint64 size, qint64 from, qint64 to)
{
    while (from < to) {
        const void *ff = std::memchr(data + from, 0xff, std::size_t(to - from));
        if (!ff)
            return to;
        const qint64 at = static_cast<const unsigned char *>(ff) - data;
        if (at + 2 < size && data[at + 1] == 0xd8 && data[at + 2] == 0xff)
            return at;
        from = at + 1;
    }
    return to;
}

} // namespace

qint64 MemoryReader::startAhead(qint64 n)
{
    const qint64 from = m_at, to = std::min(m_size, m_at + std::max<qint64>(0, n));
    if (from < m_startFrom || from > m_startScanned) { // not where the last asking left off
        m_startFrom = m_startScanned = from;
        m_startAt = -1;
    }
    if (m_startAt < from) {
        m_startAt = -1;
        if (m_startScanned < to) {
            const qint64 found = findStart(m_data, m_size, m_startScanned, to);
            bytesExamined() += found - m_startScanned;
            m_startAt = found < to ? found : -1;
            m_startScanned = found < to ? found + 1 : to;
        }
    }
    m_startFrom = from;
    return m_startAt >= from && m_startAt < to ? m_startAt - from : -1;
}

void MemoryReader::forgetBefore(qint64 at)
{
    for (auto *known : {&m_clear, &m_fill})
        while (!known->empty() && known->begin()->second < at)
            known->erase(known->begin());
}

QString problemText(Problem problem, qint64 at)
{
    switch (problem) {
    case Problem::None:
        break;
    case Problem::ExtraBytes:
        return Words::tr("在第 %1 字节处，标记前有多余的数据").arg(at);
    case Problem::BadLength:
        return Words::tr("在第 %1 字节处，段的长度不对").arg(at);
    case Problem::NewStart:
        return Words::tr("在第 %1 字节处又出现了开始标记 FF D8").arg(at);
    case Problem::NotAMarker:
        return Words::tr("在第 %1 字节处，FF 后面不是 JPEG 的标记").arg(at);
    }
    return {};
}

} // namespace jpeg

namespace {

using jpeg::End;
using jpeg::Problem;

// A device, read a block at a time.
class DeviceReader {
public:
    explicit DeviceReader(QIODevice &device)
        : m_device(device)
    {
    }
    int get()
    {
        if (m_at == m_have && !fill())
            return -1;
        ++m_position;
        return m_buffer[m_at++];
    }
    bool skip(qint64 n)
    {
        while (n > 0) {
            if (m_at == m_have && !fill())
                return false;
            const qint64 step = std::min<qint64>(n, m_have - m_at);
            m_at += step;
            m_position += step;
            n -= step;
        }
        return true;
    }
    void toNextFF()
    {
        for (;;) {
            if (m_at == m_have && !fill())
                return;
            const void *ff = std::memchr(m_buffer.data() + m_at, 0xff, std::size_t(m_have - m_at));
            const qint64 to =
                ff ? static_cast<const unsigned char *>(ff) - m_buffer.data() : m_have;
            m_position += to - m_at;
            m_at = to;
            if (ff)
                return;
        }
    }
    void skipFill()
    {
        for (;;) {
            if (m_at == m_have && !fill())
                return;
            if (m_buffer[m_at] != 0xff)
                return;
            ++m_at;
            ++m_position;
        }
    }
    qint64 position() const { return m_position; }
    qint64 startAhead(qint64 n)
    {
        peek(n + 4);
        const qint64 to = std::min(n, m_have - m_at);
        const qint64 found = jpeg::findStart(m_buffer.data() + m_at, m_have - m_at, 0, to);
        bytesExamined() += found;
        return found < to ? found : -1;
    }
    int ahead(qint64 k) const { return k < m_have - m_at ? m_buffer[std::size_t(m_at + k)] : -1; }

private:
    // The next n bytes in the buffer, as many as the device has.
    void peek(qint64 n)
    {
        if (m_have - m_at >= n)
            return;
        std::memmove(m_buffer.data(), m_buffer.data() + m_at, std::size_t(m_have - m_at));
        m_have -= m_at;
        m_at = 0;
        while (m_have < std::min<qint64>(n, qint64(m_buffer.size()))) {
            const qint64 got = m_device.read(reinterpret_cast<char *>(m_buffer.data()) + m_have,
                                             qint64(m_buffer.size()) - m_have);
            if (got <= 0)
                break;
            m_have += got;
        }
    }

    bool fill()
    {
        m_have = std::max<qint64>(
            0, m_device.read(reinterpret_cast<char *>(m_buffer.data()), qint64(m_buffer.size())));
        m_at = 0;
        return m_have > 0;
    }

    QIODevice &m_device;
    std::array<unsigned char, 64 * 1024 + 64> m_buffer; // a whole segment, and a little more
    qint64 m_have = 0, m_at = 0, m_position = 0;
};

bool isFrameHeader(int marker)
{
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

bool standsAlone(int marker)
{
    return (marker >= 0xd0 && marker <= 0xd7) || marker == 0x01; // RSTn, TEM: no segment
}

// Codes 02 to BF are reserved, and 00 is a stuffed FF: no JPEG has such a marker.
bool isMarker(int code)
{
    return code == 0x01 || code >= 0xc0;
}

// The code of the marker that ends a scan's entropy-coded data (its FF and code read), or -1 at
// the end of the data. FF 00 is a stuffed FF, FF D0 to FF D7 restart markers: both are data.
template <typename Reader> int afterEntropyData(Reader &in)
{
    for (;;) {
        in.toNextFF();
        if (in.get() < 0)
            return -1;
        in.skipFill();
        const int code = in.get();
        if (code != 0x00 && !(code >= 0xd0 && code <= 0xd7))
            return code;
    }
}

// The code of the next marker between segments, or -1 at the end of the data. Bytes before it
// that are not a marker are noted and skipped, as decoders skip them.
template <typename Reader> int nextMarker(Reader &in, jpeg::Listener &listener)
{
    if (in.get() != 0xff) {
        listener.problem(Problem::ExtraBytes, in.position() - 1);
        in.toNextFF();
        if (in.get() != 0xff)
            return -1;
    }
    in.skipFill();
    return in.get();
}

// Past the start marker, which the caller has seen, to the first marker's code.
template <typename Reader> int readStart(Reader &in, jpeg::Listener &listener)
{
    in.get();
    in.get();
    return nextMarker(in, listener);
}

// A start marker s bytes into a segment (the marker's): a new picture, which has cut this one
// short, rather than a picture the segment holds. Tables and frame and scan headers hold none; an
// APPn may after its identifier (EXIF's thumbnail), though not inside JFIF's fixed fields; a
// comment may hold anything. A picture's start marker is followed by another marker.
template <typename Reader> bool newPictureIn(const Reader &in, int marker, qint64 s)
{
    const int next = in.ahead(s + 3);
    if (next >= 0 && next != 0xff &&
        (next < 0xc0 || next == 0xd8 || next == 0xd9 || (next >= 0xd0 && next <= 0xd7)))
        return false;
    if (marker == 0xfe)
        return false;
    if (marker < 0xe0 || marker > 0xef)
        return true;
    constexpr qint64 kLongestIdentifier = 64;
    QByteArray identifier;
    for (qint64 k = 0; k < s && k < kLongestIdentifier; ++k) {
        const int c = in.ahead(k);
        if (c == 0)
            return marker == 0xe0 && identifier == "JFIF" && s < 14;
        identifier += char(c);
    }
    return s <= kLongestIdentifier;
}

template <typename Reader>
int walkStep(Reader &in, int marker, jpeg::Listener &listener, End &end, qint64 &endAt)
{
    auto two = [&] {
        const int hi = in.get(), lo = in.get();
        return hi < 0 || lo < 0 ? -1 : hi << 8 | lo;
    };
    auto finish = [&](End how, qint64 at) {
        end = how;
        endAt = at;
        return -1;
    };
    if (marker < 0)
        return finish(End::DataEnd, in.position());
    if (marker == 0xd9)
        return finish(End::EndMarker, in.position());
    if (marker == 0xd8) {
        // Another picture starts: this one ends before it.
        listener.problem(Problem::NewStart, in.position() - 2);
        return finish(End::NewStart, in.position() - 2);
    }
    if (!isMarker(marker)) {
        listener.problem(Problem::NotAMarker, in.position() - 2);
        return finish(End::Broken, in.position() - 2);
    }
    if (standsAlone(marker))
        return nextMarker(in, listener);
    const int length = two();
    if (length < 2) {
        if (length >= 0)
            listener.problem(Problem::BadLength, in.position());
        return finish(length < 0 ? End::DataEnd : End::Broken, in.position());
    }
    qint64 rest = length - 2;
    if (const qint64 s = in.startAhead(rest); s >= 0 && newPictureIn(in, marker, s)) {
        in.skip(s);
        listener.problem(Problem::NewStart, in.position());
        return finish(End::NewStartInSegment, in.position());
    }
    if (isFrameHeader(marker) && rest >= 6) {
        in.get(); // sample precision
        jpeg::Frame frame;
        frame.height = two();
        frame.width = two();
        const int count = in.get();
        rest -= 6;
        frame.progressive = (marker & 3) == 2;
        std::vector<JpegLayout::Component> components;
        // libjpeg takes at most 10 components; a header that claims more is not read further.
        const int read = listener.wantsComponents() ? std::min(count, 10) : 0;
        for (int i = 0; i < read && rest >= 3; ++i, rest -= 3) {
            in.get();
            const int sampling = in.get();
            in.get();
            components.push_back({std::max(1, sampling >> 4), std::max(1, sampling & 15)});
        }
        if (frame.height > 0 && frame.width > 0 && count > 0)
            listener.frame(frame, components);
    }
    if (!in.skip(rest))
        return finish(End::DataEnd, in.position());
    if (marker != 0xda)
        return nextMarker(in, listener);
    listener.scan();
    return afterEntropyData(in);
}

// Fills a layout with what a walk meets.
class LayoutListener : public jpeg::Listener {
public:
    explicit LayoutListener(JpegLayout &layout)
        : m_layout(layout)
    {
    }
    void frame(const jpeg::Frame &frame,
               const std::vector<JpegLayout::Component> &components) override
    {
        m_layout.frame = true;
        m_layout.width = frame.width;
        m_layout.height = frame.height;
        m_layout.progressive = frame.progressive;
        m_layout.components = components;
    }
    void scan() override { ++m_layout.scans; }
    void problem(Problem problem, qint64 at) override
    {
        if (m_layout.problem.isEmpty())
            m_layout.problem = jpeg::problemText(problem, at);
    }

private:
    JpegLayout &m_layout;
};

template <typename Reader> JpegLayout walk(Reader &in)
{
    JpegLayout layout;
    LayoutListener listener(layout);
    if (in.get() != 0xff || in.get() != 0xd8) {
        layout.problem = Words::tr("不是以 FF D8 开始");
        layout.end = in.position();
        return layout;
    }
    layout.startMarker = true;
    int marker = nextMarker(in, listener);
    End end = End::Going;
    qint64 endAt = 0;
    while (end == End::Going)
        marker = walkStep(in, marker, listener, end, endAt);
    layout.endMarker = end == End::EndMarker;
    layout.end = endAt;
    return layout;
}

} // namespace

namespace jpeg {

int start(MemoryReader &in, Listener &listener)
{
    return readStart(in, listener);
}

int step(MemoryReader &in, int marker, Listener &listener, End &end, qint64 &endAt)
{
    return walkStep(in, marker, listener, end, endAt);
}

} // namespace jpeg

qint64 JpegLayout::coefficientBytes() const
{
    if (!frame || components.empty())
        return 0;
    int hMax = 1, vMax = 1;
    for (const Component &c : components) {
        hMax = std::max(hMax, c.h);
        vMax = std::max(vMax, c.v);
    }
    auto up = [](qint64 n, qint64 d) { return (n + d - 1) / d; };
    qint64 bytes = 0;
    for (const Component &c : components) {
        const qint64 across = up(up(qint64(width) * c.h, hMax), 8);
        const qint64 down = up(up(qint64(height) * c.v, vMax), 8);
        bytes += up(across, c.h) * c.h * up(down, c.v) * c.v * 64 * 2;
    }
    return bytes;
}

JpegLayout walkJpeg(QIODevice &device)
{
    DeviceReader reader(device);
    return walk(reader);
}

JpegLayout walkJpeg(QByteArrayView bytes)
{
    jpeg::MemoryReader reader(bytes);
    return walk(reader);
}

} // namespace hexjpg
