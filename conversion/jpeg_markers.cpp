#include "jpeg_markers.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>

using namespace Qt::StringLiterals;

namespace hexjpg {

namespace {

// Bytes in memory.
class MemoryReader {
public:
    explicit MemoryReader(QByteArrayView bytes)
        : m_data(reinterpret_cast<const unsigned char *>(bytes.data()))
        , m_size(bytes.size())
    {
    }
    int get() { return m_at < m_size ? m_data[m_at++] : -1; }
    bool skip(qint64 n)
    {
        if (n > m_size - m_at) {
            m_at = m_size;
            return false;
        }
        m_at += n;
        return true;
    }
    // Moves to the next FF byte, or to the end.
    void toNextFF()
    {
        const void *ff = std::memchr(m_data + m_at, 0xff, std::size_t(m_size - m_at));
        m_at = ff ? static_cast<const unsigned char *>(ff) - m_data : m_size;
    }
    qint64 position() const { return m_at; }

private:
    const unsigned char *m_data;
    qint64 m_size;
    qint64 m_at = 0;
};

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
    qint64 position() const { return m_position; }

private:
    bool fill()
    {
        m_have = std::max<qint64>(
            0, m_device.read(reinterpret_cast<char *>(m_buffer.data()), qint64(m_buffer.size())));
        m_at = 0;
        return m_have > 0;
    }

    QIODevice &m_device;
    std::array<unsigned char, 64 * 1024> m_buffer;
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

// The code of the marker that ends a scan's entropy-coded data (its FF and code read), or -1 at
// the end of the data. FF 00 is a stuffed FF, FF D0 to FF D7 restart markers: both are data.
template <typename Reader> int afterEntropyData(Reader &in)
{
    for (;;) {
        in.toNextFF();
        if (in.get() < 0)
            return -1;
        int code = in.get();
        while (code == 0xff)
            code = in.get();
        if (code != 0x00 && !(code >= 0xd0 && code <= 0xd7))
            return code;
    }
}

// The code of the next marker between segments, or -1 at the end of the data. Bytes before it
// that are not a marker are noted and skipped, as decoders skip them.
template <typename Reader> int nextMarker(Reader &in, JpegLayout &layout)
{
    if (in.get() != 0xff) {
        if (layout.problem.isEmpty())
            layout.problem = u"在第 %1 字节处，标记前有多余的数据"_s.arg(in.position() - 1);
        in.toNextFF();
        if (in.get() != 0xff)
            return -1;
    }
    int code = in.get();
    while (code == 0xff)
        code = in.get();
    return code;
}

template <typename Reader> JpegLayout walk(Reader &in)
{
    JpegLayout layout;
    auto two = [&] {
        const int hi = in.get(), lo = in.get();
        return hi < 0 || lo < 0 ? -1 : hi << 8 | lo;
    };
    if (in.get() != 0xff || in.get() != 0xd8) {
        layout.problem = u"不是以 FF D8 开始"_s;
        layout.end = in.position();
        return layout;
    }
    layout.startMarker = true;
    for (int marker = nextMarker(in, layout); marker >= 0;) {
        if (marker == 0xd9) {
            layout.endMarker = true;
            break;
        }
        if (marker == 0xd8) {
            // Another picture starts: this one ends before it.
            layout.problem = u"在第 %1 字节处又出现了开始标记 FF D8"_s.arg(in.position() - 2);
            layout.end = in.position() - 2;
            return layout;
        }
        if (standsAlone(marker)) {
            marker = nextMarker(in, layout);
            continue;
        }
        const int length = two();
        if (length < 2) {
            layout.problem = u"在第 %1 字节处，段的长度不对"_s.arg(in.position());
            break;
        }
        qint64 rest = length - 2;
        if (isFrameHeader(marker) && rest >= 6) {
            in.get(); // sample precision
            layout.height = two();
            layout.width = two();
            const int count = in.get();
            rest -= 6;
            layout.frame = layout.height > 0 && layout.width > 0 && count > 0;
            layout.progressive = (marker & 3) == 2;
            layout.components.clear();
            for (int i = 0; i < count && rest >= 3; ++i, rest -= 3) {
                in.get();
                const int sampling = in.get();
                in.get();
                layout.components.push_back(
                    {std::max(1, sampling >> 4), std::max(1, sampling & 15)});
            }
        }
        if (!in.skip(rest))
            break;
        if (marker == 0xda) {
            ++layout.scans;
            marker = afterEntropyData(in);
        } else {
            marker = nextMarker(in, layout);
        }
    }
    layout.end = in.position();
    return layout;
}

} // namespace

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
    MemoryReader reader(bytes);
    return walk(reader);
}

} // namespace hexjpg
