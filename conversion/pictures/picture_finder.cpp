#include "picture_finder.h"

#include "interruption.h"
#include "jpeg_markers.h"

#include <QCoreApplication>
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <queue>
#include <unordered_map>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(PictureFinder)
};
} // namespace

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
    p.runsOn = !p.whole && problem.isEmpty();
    if (p.runsOn)
        problem = Words::tr("数据在图片的结构完整之前就结束了");
    p.problem = problem;
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
        bytesExamined() += 8;
        const qint64 length = b.be32(pos);
        for (qint64 i = pos + 4; i < pos + 8; ++i)
            if (!std::isalpha(b.at(i))) {
                cut(p, b, at, pos, false,
                    Words::tr("PNG 的数据块在第 %1 字节处不对").arg(pos - at));
                return true;
            }
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
        ++bytesExamined();
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
        ++bytesExamined();
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
            cut(p, b, at, pos, false, Words::tr("GIF 的数据块在第 %1 字节处不对").arg(pos - at));
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

// The pictures as they are found, in order: those inside a whole one are left out, the first and
// the last are kept, and all are counted.
class Collector {
public:
    void add(FoundPicture &&p)
    {
        if (p.format.isEmpty() || p.offset < m_wholeEnd)
            return;
        if (p.whole)
            m_wholeEnd = p.offset + p.length;
        p.number = ++m_found.total;
        if (m_found.size() < FoundPictures::kKeptFirst) {
            m_found.push_back(std::move(p));
            return;
        }
        m_last.push_back(std::move(p));
        if (m_last.size() > FoundPictures::kKeptLast)
            m_last.pop_front();
    }
    FoundPictures take()
    {
        for (FoundPicture &p : m_last)
            m_found.push_back(std::move(p));
        return std::move(m_found);
    }
    FoundPictures &found() { return m_found; }

private:
    FoundPictures m_found;
    std::deque<FoundPicture> m_last;
    qint64 m_wholeEnd = 0;
};

// The search: a picture in the making at each signature, in the order of their positions, and
// the JPEG walks of every start marker run side by side in the order of the positions they have
// reached. A walk is a member of a group, the walks at one position, which go on alike from
// there; what a group meets is told to its members lazily (a frame by a count, a problem to those
// without one yet), so that each position is stepped once however many walks reach it.
class Search {
    struct Group;
    using Waiting = std::unordered_map<qint64, Group>;

public:
    explicit Search(QByteArrayView bytes)
        : m_in(bytes)
    {
    }

    // A picture that its header alone has cut (PNG, GIF, BMP).
    void add(FoundPicture &&picture)
    {
        Slot &slot = m_slots.emplace_back();
        slot.offset = picture.offset;
        slot.other = std::make_unique<FoundPicture>(std::move(picture));
        handOn();
    }

    // A JPEG walk from the start marker at, which FF follows. Walks whose structures nest into one
    // another past kMaxGoing are not started: memory stays bounded however many the bytes hold.
    static constexpr std::size_t kMaxGoing = std::size_t(1) << 20;
    void startJpeg(qint64 at)
    {
        if (m_slots.size() >= kMaxGoing) {
            m_collector.found().skippedStarts++;
            return;
        }
        const qint64 id = m_first + qint64(m_slots.size());
        Slot &slot = m_slots.emplace_back();
        slot.offset = at;
        slot.going = true;
        m_in.seek(at);
        // Nothing happens between the start marker and the first marker, which follows it.
        NoListener none;
        if (jpeg::start(m_in, none) < 0) {
            slot.going = false;
            slot.end = m_in.position();
            return handOn();
        }
        const qint64 first = m_in.position();
        if (const auto found = m_waiting.find(first); found != m_waiting.end()) {
            slot.framesSeen = found->second.frames;
            found->second.members.push_back(id);
            found->second.clean.push_back(id);
            return;
        }
        Group single;
        single.members = {id};
        single.clean = {id};
        m_waiting.emplace(first, std::move(single));
        m_queue.push(first);
    }

    // The position of the next step of a walk, past the end of the bytes when none is going.
    qint64 next() const { return m_queue.empty() ? m_in.size() + 1 : m_queue.top(); }

    void step()
    {
        const qint64 at = m_queue.top();
        m_queue.pop();
        auto node = m_waiting.extract(at);
        m_in.forgetBefore(at);
        m_in.seek(at);
        GroupListener listener(*this, node.mapped());
        jpeg::End end = jpeg::End::Going;
        qint64 endAt = 0;
        if (jpeg::step(m_in, m_in.byteAt(at - 1), listener, end, endAt) >= 0)
            return arrive(std::move(node), m_in.position());
        if (end == jpeg::End::Going)
            end = jpeg::End::DataEnd, endAt = m_in.position();
        finish(node.mapped(), end, endAt);
    }

    FoundPictures take(bool interrupted)
    {
        if (!interrupted)
            handOn();
        m_collector.found().interrupted = interrupted;
        m_collector.found().runsOnFirst = m_runsOnFirst;
        m_collector.found().runsOnLast = m_runsOnLast;
        return m_collector.take();
    }

private:
    // A picture in the making; a JPEG walk's own state, kept small, as there may be very many.
    struct Slot {
        qint64 offset = 0;
        qint64 end = 0;
        std::unique_ptr<FoundPicture> other; // a PNG, GIF or BMP, cut already
        jpeg::Frame last;      // the walk's own last frame, from before it joined its group
        qint64 framesSeen = 0; // the group's count of frames when the walk joined it
        qint64 problemAt = 0;
        jpeg::Problem problem = jpeg::Problem::None;
        jpeg::End how = jpeg::End::Going;
        bool going = false; // its JPEG walk has not ended
        bool frame = false;
    };
    struct Group {
        std::vector<qint64> members;
        std::vector<qint64> clean; // members that have met no problem yet
        qint64 frames = 0;
        jpeg::Frame last;
    };

    class NoListener : public jpeg::Listener {
    public:
        void frame(const jpeg::Frame &, const std::vector<JpegLayout::Component> &) override {}
        void scan() override {}
        void problem(jpeg::Problem, qint64) override {}
    };

    class GroupListener : public jpeg::Listener {
    public:
        GroupListener(Search &search, Group &group)
            : m_search(search)
            , m_group(group)
        {
        }
        void frame(const jpeg::Frame &frame, const std::vector<JpegLayout::Component> &) override
        {
            ++m_group.frames;
            m_group.last = frame;
        }
        void scan() override {}
        bool wantsComponents() const override { return false; }
        void problem(jpeg::Problem problem, qint64 at) override
        {
            for (const qint64 id : m_group.clean) {
                Slot &s = m_search.slot(id);
                s.problem = problem;
                s.problemAt = at;
            }
            m_group.clean.clear();
        }

    private:
        Search &m_search;
        Group &m_group;
    };

    Slot &slot(qint64 id) { return m_slots[std::size_t(id - m_first)]; }

    // What the group met since the walk joined it becomes the walk's own.
    static void settle(Slot &s, const Group &group)
    {
        if (group.frames > s.framesSeen) {
            s.frame = true;
            s.last = group.last;
        }
    }

    // The group moves on to at, or joins the one waiting there.
    void arrive(Waiting::node_type &&node, qint64 at)
    {
        const auto found = m_waiting.find(at);
        if (found == m_waiting.end()) {
            node.key() = at;
            m_waiting.insert(std::move(node));
            m_queue.push(at);
            return;
        }
        Group &group = node.mapped();
        // Two groups at one position go on as one: the smaller joins the larger.
        Group &there = found->second;
        if (there.members.size() < group.members.size())
            std::swap(there, group);
        for (const qint64 id : group.members) {
            Slot &s = slot(id);
            settle(s, group);
            s.framesSeen = there.frames;
        }
        there.members.insert(there.members.end(), group.members.begin(), group.members.end());
        there.clean.insert(there.clean.end(), group.clean.begin(), group.clean.end());
    }

    void finish(const Group &group, jpeg::End end, qint64 endAt)
    {
        for (const qint64 id : group.members) {
            Slot &s = slot(id);
            settle(s, group);
            s.going = false;
            s.how = end;
            s.end = endAt;
        }
        handOn();
    }

    // Where the first segment after a walk's start marker ends, as its length says.
    qint64 firstSegmentEnd(const Slot &s) const
    {
        const qint64 at = s.offset + 2;
        if (at + 4 > m_in.size() || m_in.byteAt(at) != 0xff)
            return m_in.size() + 1;
        return at + 2 + (m_in.byteAt(at + 2) << 8 | m_in.byteAt(at + 3));
    }

    // The picture a slot holds, if any.
    FoundPicture picture(Slot &s) const
    {
        if (s.other)
            return std::move(*s.other);
        FoundPicture p;
        p.offset = s.offset;
        // No frame header: no picture, unless another picture's start cut it short inside a
        // segment after its first (a capture that broke off, then began again).
        if (!s.frame && !(s.how == jpeg::End::NewStartInSegment && s.end >= firstSegmentEnd(s)))
            return p;
        p.format = u"JPEG"_s;
        if (s.frame)
            p.size = QSize(s.last.width, s.last.height);
        p.progressive = s.last.progressive;
        p.length = s.end - s.offset;
        p.whole = s.how == jpeg::End::EndMarker && s.problem == jpeg::Problem::None;
        p.runsOn = s.how == jpeg::End::DataEnd && s.problem == jpeg::Problem::None;
        if (s.problem != jpeg::Problem::None)
            p.problem = jpeg::problemText(s.problem, s.problemAt - s.offset);
        else if (!p.whole)
            p.problem = Words::tr("数据在图片的结构完整之前就结束了");
        return p;
    }

    // The pictures whose walks, and all walks before them, have ended go to the collector.
    void handOn()
    {
        while (!m_slots.empty() && !m_slots.front().going) {
            const Slot &s = m_slots.front();
            if (s.other ? s.other->runsOn
                        : s.how == jpeg::End::DataEnd && s.problem == jpeg::Problem::None) {
                if (m_runsOnFirst < 0)
                    m_runsOnFirst = s.offset;
                m_runsOnLast = s.offset;
            }
            m_collector.add(picture(m_slots.front()));
            m_slots.pop_front();
            ++m_first;
        }
    }

    jpeg::MemoryReader m_in;
    std::deque<Slot> m_slots;
    qint64 m_first = 0; // the number of the first slot
    Waiting m_waiting;
    std::priority_queue<qint64, std::vector<qint64>, std::greater<>> m_queue;
    Collector m_collector;
    qint64 m_runsOnFirst = -1, m_runsOnLast = -1;
};

} // namespace

FoundPictures findPictures(QByteArrayView bytes, const std::atomic<bool> *cancel)
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
        const qint64 i = at ? static_cast<const uchar *>(at) - data : b.size();
        bytesExamined() += i - from;
        return i;
    };
    for (std::size_t k = 0; k < std::size(kFirst); ++k)
        next[k] = find(k, 0);

    Search search(bytes);
    // A PNG, GIF or BMP is cut by a walk of its own: together they may look at this many bytes,
    // so that headers crafted to chain into one another cannot make the search quadratic.
    qint64 otherBudget = 4 * b.size() + 65536;
    for (std::uint32_t round = 1;; ++round) {
        if ((round & 0xfff) == 0 && stopRequested(cancel))
            return search.take(true);
        const std::size_t k =
            std::size_t(std::min_element(std::begin(next), std::end(next)) - next);
        const qint64 i = next[k];
        if (search.next() <= i || (i + 1 >= b.size() && search.next() <= b.size())) {
            search.step();
            continue;
        }
        if (i + 1 >= b.size())
            break;
        next[k] = find(k, i + 1);
        if (k == 0) {
            if (b.startsWith(i, "\xff\xd8\xff", 3))
                search.startJpeg(i);
            continue;
        }
        FoundPicture p;
        p.offset = i;
        const qint64 before = bytesExamined();
        const bool here =
            otherBudget > 0 && ((k == 1 && pngAt(b, i, p)) || (k == 2 && gifAt(b, i, p)) ||
                                (k == 3 && bmpAt(b, i, p)));
        otherBudget -= bytesExamined() - before;
        if (here)
            search.add(std::move(p));
    }
    return search.take(false);
}

namespace {

// Bytes kept after a search that found nothing under way: a signature that the block's end cut
// (a BMP's header is 30 bytes).
constexpr qint64 kTail = 64;
// Searching may look at this many times the bytes that arrived, and this much more.
constexpr qint64 kSearchesPerByte = 4;
constexpr qint64 kFreeSearch = qint64(1) << 20;
// Without an end marker, the bytes under way are searched again each time they have doubled
// (a BMP, a GIF, a picture broken on the way), from this size on.
constexpr qint64 kRegrowth = 64 * 1024;

// An end marker (JPEG's FF D9, PNG's IEND) in block, or across its start where it meets before.
bool endMarkerIn(QByteArrayView before, QByteArrayView block)
{
    const QByteArray joint = before.last(std::min<qsizetype>(3, before.size())).toByteArray() +
                             block.first(std::min<qsizetype>(3, block.size())).toByteArray();
    return block.contains("\xff\xd9") || block.contains("IEND") || joint.contains("\xff\xd9") ||
           joint.contains("IEND");
}

} // namespace

std::vector<ArrivedPicture> PictureStream::feed(QByteArrayView block)
{
    std::vector<ArrivedPicture> out;
    // A search lists the first kKeptFirst pictures it finds: a large block goes in parts, each too
    // short to hold that many (the smallest picture has 17 bytes).
    constexpr qsizetype kPart = 16 * 1024;
    for (qsizetype at = 0; at < block.size(); at += kPart)
        feedPart(block.sliced(at, std::min(kPart, block.size() - at)), out);
    return out;
}

void PictureStream::feedPart(QByteArrayView block, std::vector<ArrivedPicture> &out)
{
    m_received += block.size();
    m_endSeen = m_endSeen || endMarkerIn(m_buffer, block);
    m_buffer.append(block);
    const bool affordable =
        m_searched + m_buffer.size() <= kSearchesPerByte * m_received + kFreeSearch;
    const bool regrown = m_buffer.size() >= std::max(kRegrowth, 2 * m_searchedSize);
    if ((m_endSeen && affordable) || regrown)
        search(false, out);
    if (m_buffer.size() > kMaxInFlight)
        search(true, out);
}

std::vector<ArrivedPicture> PictureStream::cut()
{
    std::vector<ArrivedPicture> out;
    search(true, out);
    return out;
}

void PictureStream::search(bool cutting, std::vector<ArrivedPicture> &out)
{
    m_searched += m_buffer.size();
    m_endSeen = false;
    const FoundPictures found = findPictures(m_buffer);
    qint64 keepFrom = std::max<qint64>(0, m_buffer.size() - kTail);
    qint64 lastOffset = -1;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const FoundPicture &p = found[i];
        // A picture inside a structure that is still arriving (a thumbnail in an EXIF segment
        // whose picture has not shown its frame header yet) waits for it.
        if (!cutting && found.runsOnFirst >= 0 && found.runsOnFirst < p.offset)
            break;
        // The last picture, not whole, is still arriving unless a start marker has come after it.
        const bool last = i + 1 == found.size() && found.runsOnLast <= p.offset;
        if (!p.whole && last && !cutting) {
            keepFrom = p.offset;
            break;
        }
        ArrivedPicture &arrived = out.emplace_back();
        arrived.found = p;
        arrived.found.offset += m_base;
        arrived.found.number = ++m_total;
        arrived.bytes = m_buffer.mid(p.offset, p.length);
        lastOffset = p.offset;
        keepFrom = std::max(keepFrom, p.whole ? p.offset + p.length : p.offset + 1);
    }
    // A start marker whose picture has not shown its header yet stays, unless it is let go.
    if (!cutting && found.runsOnLast > lastOffset)
        keepFrom = std::min(keepFrom,
                            found.runsOnFirst > lastOffset ? found.runsOnFirst : found.runsOnLast);
    if (cutting)
        keepFrom = m_buffer.size();
    m_buffer.remove(0, keepFrom);
    m_base += keepFrom;
    m_searchedSize = m_buffer.size();
    // A PNG ends four bytes after its IEND: the bytes that bring them search again.
    m_endSeen = m_buffer.right(8).contains("IEND");
}

} // namespace hexjpg
