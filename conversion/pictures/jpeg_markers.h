#pragma once

// The marker structure of a JPEG file, walked without decoding it: the start marker, the segments
// with their lengths, the frame header, the scans with their entropy-coded data, and the end
// marker. Linear in the bytes, with a constant amount of memory. QtCore only.

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <map>
#include <vector>

class QIODevice;

namespace hexjpg {

struct JpegLayout {
    struct Component {
        int h = 1, v = 1; // sampling factors
    };

    bool startMarker = false; // the data starts with FF D8
    bool frame = false;       // a frame header (SOFn) was found
    bool progressive = false;
    int width = 0, height = 0;
    std::vector<Component> components;
    int scans = 0;
    bool endMarker = false; // FF D9 was reached
    qint64 end = 0;  // just past the end marker, before a new start marker, or where the data ended
    QString problem; // where the structure is broken, in words; empty when it is whole

    // What a decoder holds to buffer the whole picture's coefficients: progressive and other
    // multi-scan pictures need it, and a hostile header can make it enormous.
    qint64 coefficientBytes() const;
};

// Walks from the device's current position, or over bytes in memory, to the end marker or the end
// of the data; stops at a start marker that is not one, and at a marker code that no JPEG uses.
JpegLayout walkJpeg(QIODevice &device);
JpegLayout walkJpeg(QByteArrayView bytes);

// The bytes that the walks and the picture finder of this thread have looked
// at, one by one: their work, as a count that tests can hold against the length of the input.
qint64 &bytesExamined();

namespace jpeg {

// What a walk meets, told to whoever walks: see walk() in jpeg_markers.cpp.
enum class Problem { None, ExtraBytes, BadLength, NewStart, NotAMarker };
// NewStartInSegment: a start marker inside a segment that cannot hold one (newPictureIn()).
enum class End { Going, EndMarker, NewStart, NewStartInSegment, DataEnd, Broken };

// The words for a problem at a position counted from the picture's first byte.
QString problemText(Problem problem, qint64 at);

// Bytes in memory, read from a position that a walk may leave and come back to. Finding the next
// FF, or the end of a run of FF, remembers the long stretches it crossed, so that walks that land
// in the same stretch look at its bytes once between them.
class MemoryReader {
public:
    explicit MemoryReader(QByteArrayView bytes);
    int get()
    {
        if (m_at >= m_size)
            return -1;
        ++bytesExamined();
        return m_data[m_at++];
    }
    bool skip(qint64 n)
    {
        if (n > m_size - m_at) {
            m_at = m_size;
            return false;
        }
        m_at += n;
        return true;
    }
    void toNextFF();
    void skipFill(); // past FF bytes, as many as there are
    // Stretches that end before at are forgotten: no walk comes back to them.
    void forgetBefore(qint64 at);
    qint64 position() const { return m_at; }
    void seek(qint64 at) { m_at = at; }
    qint64 size() const { return m_size; }
    int byteAt(qint64 i) const { return m_data[i]; }
    // Where the first start marker (FF D8 FF) among the next n bytes begins, counted from here;
    // -1 when none does. Asked from positions that only grow, as walks go, the bytes are looked at
    // once between all the asking.
    qint64 startAhead(qint64 n);
    // The byte k bytes ahead, or -1 past the end.
    int ahead(qint64 k) const { return k < m_size - m_at ? m_data[m_at + k] : -1; }

private:
    const unsigned char *m_data;
    qint64 m_size;
    qint64 m_at = 0;
    // Long stretches crossed: [from, to] maps from to to, where to is the stretch's end.
    std::map<qint64, qint64> m_clear; // no FF before to, and an FF (or the end) at to
    std::map<qint64, qint64> m_fill;  // only FF before to, and no FF at to
    // No start marker begins in [m_startFrom, m_startScanned), but perhaps the one at m_startAt.
    qint64 m_startFrom = 0, m_startScanned = 0, m_startAt = -1;
    template <typename Scan> void cross(std::map<qint64, qint64> &known, Scan scan);
};

struct Frame {
    int width = 0, height = 0;
    bool progressive = false;
};

// Receives what one step of a walk meets.
class Listener {
public:
    virtual void frame(const Frame &frame,
                       const std::vector<JpegLayout::Component> &components) = 0;
    virtual void scan() = 0;
    virtual void problem(Problem problem, qint64 at) = 0;
    // Whether frame() needs the components: reading them is most of a frame header's bytes.
    virtual bool wantsComponents() const { return true; }

protected:
    ~Listener() = default;
};

// Reads the first marker after the start marker at the reader's position; its code, or -1.
int start(MemoryReader &in, Listener &listener);
// One step of a walk: the segment of the marker whose code was just read, up to and including the
// code of the next marker. Returns that code, or -1 with end set to how and where the walk ended.
// Where the reader is after a code is all a walk's future depends on: two walks that reach the
// same position go on alike.
int step(MemoryReader &in, int marker, Listener &listener, End &end, qint64 &endAt);

} // namespace jpeg

} // namespace hexjpg
