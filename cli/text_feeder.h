#pragma once

// The console tool's input text, fed to the strict decoder as it is read, a block at a time: ASCII
// straight, UTF-8 and UTF-16 through Qt's decoders, a character cut by a block's end completed by
// the next. Memory stays the same whatever the input's length.

#include "hex_decode.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringDecoder>

// What the first bytes of a text say of its encoding: UTF-8 unless a byte-order mark says UTF-16
// (as Windows Notepad saves "Unicode"); mark is the length of a byte-order mark, of UTF-8 too.
struct ByteOrder {
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    qsizetype mark = 0;
};
ByteOrder sniffByteOrder(QByteArrayView first);

class TextFeeder {
public:
    explicit TextFeeder(hexjpg::HexStreamDecoder &decoder, QStringConverter::Encoding encoding);

    bool feed(QByteArrayView block);
    bool finish();

private:
    hexjpg::HexStreamDecoder &m_decoder;
    QStringDecoder m_decode;
    bool m_utf16 = false;
    QByteArray m_carry;
};
