#include "raw_frame_stream.h"

#include "jpeg_encoder.h"

#include <algorithm>

namespace hexjpg {

RawFrameStream::RawFrameStream(qint64 frameBytes, QByteArray marker)
    : m_frameBytes(frameBytes)
    , m_marker(std::move(marker))
    , m_searching(!m_marker.isEmpty())
{
}

std::vector<QByteArray> RawFrameStream::feed(QByteArrayView block)
{
    std::vector<QByteArray> frames;
    m_received += block.size();
    qsizetype pos = 0;
    while (pos < block.size()) {
        if (m_searching) {
            // The marker may have begun in the tail kept from the last block.
            const QByteArray seen = m_tail + block.sliced(pos).toByteArray();
            const qsizetype at = seen.indexOf(m_marker);
            if (at < 0) {
                m_tail = seen.right(std::min(seen.size(), m_marker.size() - 1));
                return frames;
            }
            pos += at + m_marker.size() - m_tail.size();
            m_tail.clear();
            m_searching = false;
            continue;
        }
        const qsizetype take =
            qsizetype(std::min<qint64>(m_frameBytes - m_frame.size(), block.size() - pos));
        if (m_frame.isEmpty())
            m_frame.reserve(qsizetype(m_frameBytes));
        m_frame.append(block.sliced(pos, take));
        pos += take;
        if (m_frame.size() == m_frameBytes) {
            frames.push_back(std::move(m_frame));
            m_frame = QByteArray();
            m_searching = !m_marker.isEmpty();
        }
    }
    return frames;
}

ArrivedPicture rawFramePicture(QByteArrayView frame, RawFormat format, QSize size, double certainty)
{
    ArrivedPicture picture;
    picture.bytes = encodeJpeg(rawFrameImage(frame, format, size));
    picture.found.length = picture.bytes.size();
    picture.found.format = QStringLiteral("JPEG");
    picture.found.size = size;
    picture.found.whole = !picture.bytes.isEmpty();
    picture.rawFormat = rawFormatName(format);
    picture.rawCertainty = certainty;
    return picture;
}

} // namespace hexjpg
