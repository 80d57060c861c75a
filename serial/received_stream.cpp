#include "received_stream.h"

#include "raw_frame_stream.h"
#include "raw_judge.h"

#include <algorithm>
#include <utility>

namespace hexjpg {

namespace {

constexpr QByteArrayView kStart("\xff\xd8\xff");
constexpr int kPairsPerLine = 16;

qint64 notText(QByteArrayView bytes)
{
    qint64 count = 0;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        count += (b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7f || b >= 0xf8;
    }
    return count;
}

} // namespace

ReceivedStream::Arrival ReceivedStream::feed(QByteArrayView block)
{
    Arrival arrival;
    m_received += block.size();
    m_notText += notText(block);
    if (m_binary) {
        fromBytes(block, arrival);
        return arrival;
    }
    m_frameBytes.keep(block);
    // The block, after the end of the one before where a start marker may have been cut (only
    // then is it copied).
    QByteArray joined;
    QByteArrayView text = block;
    if (!m_carry.isEmpty()) {
        joined = std::exchange(m_carry, {}) + block.toByteArray();
        text = joined;
    }
    const qsizetype start = text.indexOf(kStart);
    if (start < 0) {
        // Only the first bytes of a start marker wait for the next block: no text holds them.
        const qsizetype keep = text.endsWith("\xff\xd8") ? 2 : text.endsWith('\xff') ? 1 : 0;
        fromText(text.first(text.size() - keep), arrival);
        m_carry = text.last(keep).toByteArray();
        return arrival;
    }
    // The pictures' own bytes from here on; the text before them ends as text.
    fromText(text.first(start), arrival);
    const QByteArray rest = m_text.finish();
    take(m_pictures.feed(rest), arrival);
    m_binary = true;
    fromBytes(text.sliced(start), arrival);
    return arrival;
}

ReceivedStream::Arrival ReceivedStream::pause()
{
    Arrival arrival;
    if (!m_binary) {
        // The bytes that may begin a start marker stay: they are no text.
        const QByteArray bytes = m_text.feed({}, true);
        m_startSeen = m_startSeen || bytes.contains(kStart);
        m_frameText.keep(bytes);
        take(m_pictures.feed(bytes), arrival);
    }
    take(m_pictures.cut(), arrival);
    judgeFrame(arrival);
    return arrival;
}

ReceivedStream::Arrival ReceivedStream::finish()
{
    Arrival arrival;
    if (!m_binary) {
        arrival.text = std::exchange(m_carry, {});
        const QByteArray bytes = m_text.feed(arrival.text) + m_text.finish();
        m_startSeen = m_startSeen || bytes.contains(kStart);
        m_frameText.keep(bytes);
        take(m_pictures.feed(bytes), arrival);
    }
    take(m_pictures.cut(), arrival);
    judgeFrame(arrival);
    return arrival;
}

void ReceivedStream::FrameKept::keep(QByteArrayView more)
{
    if (closed || more.isEmpty())
        return;
    if (bytes.size() + more.size() > maxJudgedBytes())
        close();
    else
        bytes += more;
}

// What came since the last pause with no picture in it, as text read and as bytes: the first that
// reads as a raw frame becomes a picture.
void ReceivedStream::judgeFrame(Arrival &arrival)
{
    const qint64 start = m_received - m_frameBytes.bytes.size();
    for (const QByteArray *kept : {&m_frameText.bytes, &m_frameBytes.bytes}) {
        if (m_binary || kept->isEmpty())
            continue;
        const RawJudgement judged = judgeRawFrame(*kept);
        if (!judged.offered())
            continue;
        const RawCandidate &best = judged.best();
        ArrivedPicture picture =
            rawFramePicture(rawFrameIn(*kept, best), best.format, best.size, judged.certainty);
        picture.found.offset = start + (kept == &m_frameBytes.bytes ? best.offset : 0);
        picture.found.number = m_pictures.total() + 1;
        arrival.pictures.push_back(std::move(picture));
        break;
    }
    m_frameBytes.reopen();
    m_frameText.reopen();
}

bool ReceivedStream::garbled() const
{
    return m_received >= kGarbleCheck && !m_startSeen && m_notText * 10 > m_received;
}

void ReceivedStream::fromText(QByteArrayView text, Arrival &arrival)
{
    arrival.text += text;
    const QByteArray bytes = m_text.feed(text);
    m_startSeen = m_startSeen || bytes.contains(kStart);
    m_frameText.keep(bytes);
    take(m_pictures.feed(bytes), arrival);
}

void ReceivedStream::fromBytes(QByteArrayView bytes, Arrival &arrival)
{
    m_startSeen = m_startSeen || bytes.contains(kStart);
    // Shown as the window shows a dump: pairs, sixteen to a line.
    QByteArray &text = arrival.text;
    text.reserve(text.size() + bytes.size() * 3 + bytes.size() / kPairsPerLine + 2);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (m_column > 0)
            text += ' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
        if (++m_column == kPairsPerLine) {
            text += "\r\n";
            m_column = 0;
        }
    }
    take(m_pictures.feed(bytes), arrival);
}

void ReceivedStream::take(std::vector<ArrivedPicture> &&pictures, Arrival &arrival)
{
    if (!pictures.empty()) {
        m_frameBytes.close();
        m_frameText.close();
    }
    for (ArrivedPicture &picture : pictures)
        arrival.pictures.push_back(std::move(picture));
}

} // namespace hexjpg
