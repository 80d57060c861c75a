#pragma once

// Bytes written as text, the way the tool and its users read it back: pairs as a board sends them,
// xxd's lines, a C array (an Arduino one in PROGMEM), a Python bytes literal, base64. Feed a block,
// get the text of the lines it completes; finish() closes what is open. Linear, a line held at
// most, and every line built in place from tables. QtCore only.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>
#include <span>

namespace hexjpg {

enum class DumpLayout {
    Pairs,   // FF D8 FF E0, sixteen to a line
    Xxd,     // 00000000: ffd8 ffe0 0010 4a46 4946 0001 0101 0048  ......JFIF.....H
    C,       // const unsigned char NAME[] = {0xFF, 0xD8, …}; const unsigned int NAME_len = N;
    Arduino, // the same, the array in PROGMEM
    Python,  // NAME = (b'\xff\xd8…' …)
    Base64,  // 76 characters to a line
};

std::span<const DumpLayout> dumpLayouts();
QString dumpLayoutName(DumpLayout layout); // pairs, xxd, c, arduino, python, base64
std::optional<DumpLayout> dumpLayoutNamed(QStringView name);
// Bytes to a line unless told otherwise: 16, 16, 12, 12, 16, 57 (76 characters of base64).
int defaultPerLine(DumpLayout layout);
// The most bytes to a line; base64 takes a multiple of 3 only.
inline constexpr int kMaxPerLine = 4096;
bool perLineFits(DumpLayout layout, int perLine);

// A C and Python name made from a file's name: photo.jpg → photo_jpg, 1.jpg → image_1_jpg.
QByteArray dumpName(QStringView fileName);

class DumpWriter {
public:
    // perLine must fit (perLineFits); name is used by the C, Arduino and Python layouts.
    DumpWriter(DumpLayout layout, int perLine, QByteArray name);

    // The text of the lines the block completes, appended to out.
    void feed(QByteArrayView block, QByteArray &out);
    // The last line, and what closes the array or literal.
    void finish(QByteArray &out);

private:
    void begin(QByteArray &out);
    void line(const uchar *bytes, int count, bool last, QByteArray &out);

    DumpLayout m_layout;
    int m_perLine;
    QByteArray m_name;
    QByteArray m_pending; // the bytes of a line not yet complete
    qint64 m_offset = 0;  // of the next line
    bool m_begun = false;
};

// The whole of bytes in layout.
QByteArray dumpBytes(QByteArrayView bytes, DumpLayout layout, int perLine, const QByteArray &name);

} // namespace hexjpg
