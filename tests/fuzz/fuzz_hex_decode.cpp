// Feeds the fast decoder arbitrary text and compares it with the reference, byte for byte and
// position for position.

#include "hex_decode.h"
#include "recording_sink.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class Collector : public hexjpg::ByteSink {
public:
    bool write(std::span<const std::uint8_t> block) override
    {
        bytes.append(reinterpret_cast<const char *>(block.data()), qsizetype(block.size()));
        return true;
    }
    QByteArray bytes;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first byte picks how the rest becomes text: raw UTF-16 code units, or bytes mapped
    // onto the characters a dump is made of (so that long runs of real pairs occur).
    const std::uint8_t mode = data[0];
    ++data, --size;
    std::u16string text;
    if (mode & 1) {
        text.resize(size / 2);
        std::memcpy(text.data(), data, text.size() * 2);
    } else {
        static const char16_t alphabet[] =
            u"0123456789ABCDEFabcdef  \r\n\t G\u3000\uff26\u00a0\u2028";
        for (std::size_t i = 0; i < size; ++i)
            text += alphabet[data[i] % (std::size(alphabet) - 1)];
    }
    const QStringView view(text.data(), qsizetype(text.size()));

    static const auto kernels = hexjpg::availableDecoderKernels();
    hexjpg::useDecoderKernel(kernels[(mode >> 1) % kernels.size()]);

    testing::RecordingSink referenceSink(mode >> 1), fastSink(mode >> 1);
    const QByteArray expected = hexjpg::decodeHexReference(view, &referenceSink);
    if (hexjpg::workingLength(view) != hexjpg::workingLengthReference(view))
        std::abort();
    const QByteArray actual = hexjpg::decodeHex(view, &fastSink);
    if (actual != expected || fastSink.positions != referenceSink.positions)
        std::abort();

    Collector collector;
    testing::RecordingSink streamSink(mode >> 1);
    hexjpg::decodeHex(view, collector, &streamSink, hexjpg::workingLength(view));
    if (collector.bytes != expected || streamSink.positions != referenceSink.positions)
        std::abort();

    // The raw bytes as Latin-1 text.
    const QLatin1StringView latin1(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray fromLatin1(hexjpg::decodedSize(hexjpg::workingLength(latin1)), '\0');
    fromLatin1.truncate(
        hexjpg::decodeHex(latin1, {reinterpret_cast<std::uint8_t *>(fromLatin1.data()),
                                   std::size_t(fromLatin1.size())}));
    if (fromLatin1 != hexjpg::decodeHexReference(QString(latin1)))
        std::abort();
    return 0;
}
