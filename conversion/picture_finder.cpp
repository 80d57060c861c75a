#include "picture_finder.h"

#include "jpeg_markers.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>

using namespace Qt::StringLiterals;

namespace hexjpg {

namespace {

class Bytes {
public:
    explicit Bytes(QByteArrayView bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.data()))
        , m_size(bytes.size())
    {
    }
    qint64 size() const { return m_size; }
    bool has(qint64 at, qint64 count) const { return at >= 0 && count <= m_size - at; }
    uchar at(qint64 i) const { return m_data[i]; }
    bool startsWith(qint64 at, const char *text, qint64 length) const
    {
        return has(at, length) && std::memcmp(m_data + at, text, std::size_t(length)) == 0;
    }
    quint32 be32(qint64 i) const
    {
        return quint32(m_data[i]) << 24 | quint32(m_data[i + 1]) << 16 |
               quint32(m_data[i + 2]) << 8 | m_data[i + 3];
    }
    quint32 le32(qint64 i) const { return quint32(le16(i)) | quint32(le16(i + 2)) << 16; }
    quint16 le16(qint64 i) const { return quint16(m_data[i] | m_data[i + 1] << 8); }

private:
    const uchar *m_data;
    qint64 m_size;
};

// The picture ends where its structure says, or, cut short, with the bytes.
void cut(FoundPicture &p, const Bytes &b, qint64 start, qint64 end, bool whole,
         QString problem = {})
{
    p.whole = whole && end <= b.size();
    p.length = std::min(end, b.size()) - start;
    if (!p.whole && problem.isEmpty())
        problem = u"数据在图片的结构完整之前就结束了"_s;
    p.problem = problem;
}

bool jpegAt(const Bytes &b, QByteArrayView bytes, qint64 at, FoundPicture &p)
{
    if (!b.startsWith(at, "\xff\xd8\xff", 3))
        return false;
    const JpegLayout layout = walkJpeg(bytes.sliced(at));
    if (!layout.frame)
        return false;
    p.format = u"JPEG"_s;
    p.size = QSize(layout.width, layout.height);
    p.progressive = layout.progressive;
    cut(p, b, at, at + layout.end, layout.endMarker, layout.endMarker ? QString() : layout.problem);
    return true;
}

bool pngAt(const Bytes &b, qint64 at, FoundPicture &p)
{
    if (!b.startsWith(at, "\x89PNG\r\n\x1a\n", 8) || !b.has(at + 8, 8 + 13) ||
        !b.startsWith(at + 12, "IHDR", 4) || b.be32(at + 8) != 13)
        return false;
    p.format = u"PNG"_s;
    p.size = QSize(int(b.be32(at + 16)), int(b.be32(at + 20)));
    qint64 pos = at + 8;
    while (b.has(pos, 8)) {
        const qint64 length = b.be32(pos);
        const bool end = b.startsWith(pos + 4, "IEND", 4);
        pos += 12 + length;
        if (end) {
            cut(p, b, at, pos, true);
            return true;
        }
    }
    cut(p, b, at, std::max(pos, b.size()), false);
    return true;
}

// A GIF's data sub-blocks: sizes, each followed by that many bytes, up to a size of 0.
qint64 skipSubBlocks(const Bytes &b, qint64 pos)
{
    while (b.has(pos, 1)) {
        const int size = b.at(pos);
        pos += 1 + size;
        if (size == 0)
            break;
    }
    return pos;
}

bool gifAt(const Bytes &b, qint64 at, FoundPicture &p)
{
    if (!(b.startsWith(at, "GIF87a", 6) || b.startsWith(at, "GIF89a", 6)) || !b.has(at, 13))
        return false;
    p.format = u"GIF"_s;
    p.size = QSize(b.le16(at + 6), b.le16(at + 8));
    const int flags = b.at(at + 10);
    qint64 pos = at + 13 + ((flags & 0x80) ? 3 << ((flags & 7) + 1) : 0);
    while (b.has(pos, 1)) {
        const int block = b.at(pos);
        if (block == 0x3b) {
            cut(p, b, at, pos + 1, true);
            return true;
        }
        if (block == 0x21) {
            pos = skipSubBlocks(b, pos + 2);
        } else if (block == 0x2c && b.has(pos, 10)) {
            const int local = b.at(pos + 9);
            pos += 10 + ((local & 0x80) ? 3 << ((local & 7) + 1) : 0) + 1;
            pos = skipSubBlocks(b, pos);
        } else if (block == 0x2c) {
            break;
        } else {
            cut(p, b, at, pos, false, u"GIF 的数据块在第 %1 字节处不对"_s.arg(pos - at));
            return true;
        }
    }
    cut(p, b, at, std::max(pos, b.size()), false);
    return true;
}

bool bmpAt(const Bytes &b, qint64 at, FoundPicture &p)
{
    if (!b.startsWith(at, "BM", 2) || !b.has(at, 30) || b.le16(at + 6) != 0 || b.le16(at + 8) != 0)
        return false;
    const quint32 fileSize = b.le32(at + 2), dataOffset = b.le32(at + 10), header = b.le32(at + 14);
    static const quint32 headers[] = {12, 40, 52, 56, 64, 108, 124};
    if (std::find(std::begin(headers), std::end(headers), header) == std::end(headers) ||
        fileSize < 14 + header || dataOffset >= fileSize)
        return false;
    int width, height, planes, bits;
    if (header == 12) {
        width = b.le16(at + 18), height = b.le16(at + 20);
        planes = b.le16(at + 22), bits = b.le16(at + 24);
    } else {
        width = int(b.le32(at + 18)), height = int(b.le32(at + 22));
        planes = b.le16(at + 26), bits = b.le16(at + 28);
    }
    static const int depths[] = {1, 4, 8, 16, 24, 32};
    if (planes != 1 || width <= 0 || height == 0 || height == INT_MIN ||
        std::find(std::begin(depths), std::end(depths), bits) == std::end(depths))
        return false;
    p.format = u"BMP"_s;
    p.size = QSize(width, std::abs(height));
    cut(p, b, at, at + fileSize, true);
    return true;
}

} // namespace

std::vector<FoundPicture> findPictures(QByteArrayView bytes)
{
    const Bytes b(bytes);
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    // The first byte of each signature, and where it next occurs: memchr leaps to it.
    static constexpr uchar kFirst[] = {0xff, 0x89, 'G', 'B'};
    qint64 next[std::size(kFirst)];
    auto find = [&](std::size_t k, qint64 from) {
        const void *at = from < b.size()
                             ? std::memchr(data + from, kFirst[k], std::size_t(b.size() - from))
                             : nullptr;
        return at ? static_cast<const uchar *>(at) - data : b.size();
    };
    for (std::size_t k = 0; k < std::size(kFirst); ++k)
        next[k] = find(k, 0);

    std::vector<FoundPicture> found;
    for (;;) {
        const std::size_t k =
            std::size_t(std::min_element(std::begin(next), std::end(next)) - next);
        const qint64 i = next[k];
        if (i + 1 >= b.size())
            break;
        FoundPicture p;
        const bool here = (k == 0 && jpegAt(b, bytes, i, p)) || (k == 1 && pngAt(b, i, p)) ||
                          (k == 2 && gifAt(b, i, p)) || (k == 3 && bmpAt(b, i, p));
        if (!here) {
            next[k] = find(k, i + 1);
            continue;
        }
        p.offset = i;
        found.push_back(p);
        const qint64 after = i + std::max<qint64>(1, p.length);
        for (std::size_t j = 0; j < std::size(kFirst); ++j)
            if (next[j] < after)
                next[j] = find(j, after);
    }
    return found;
}

} // namespace hexjpg
