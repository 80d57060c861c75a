#include "dump_run.h"

#include "cli_words.h"
#include "options.h"
#include "output.h"

#include "console.h"
#include "dump_writer.h"
#include "input.h"
#include "interruption.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Read and written a block at a time: memory stays the same whatever the file's length.
constexpr qint64 kBlock = qint64(1) << 20;

bool writeOut(const QByteArray &text)
{
    return std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout) ==
           std::size_t(text.size());
}

} // namespace

int dumpFile(const Options &options, const Output &output)
{
    hexjpg::system::Input input;
    if (!input.open(options.input, options.inputRaw)) {
        output.say(Words::tr("无法读取文件：") + input.name() + u'\n' + input.errorString());
        return BadInput;
    }
    const bool standardInput = options.input.isEmpty() || options.input == u"-";
    const QByteArray name =
        hexjpg::dumpName(standardInput ? QString() : QFileInfo(options.input).fileName());
    hexjpg::DumpWriter writer(options.dumpLayout, options.perLine, name);
    std::vector<char> block(kBlock);
    QByteArray text;
    text.reserve(8 * kBlock);
    for (;;) {
        if (hexjpg::interruptionRequested())
            hexjpg::system::endByStop();
        const qint64 got = input.read(block.data(), kBlock);
        if (got < 0) {
            output.say(Words::tr("无法读取文件：") + input.name() + u'\n' + input.errorString());
            return BadInput;
        }
        text.clear();
        if (got == 0)
            writer.finish(text);
        else
            writer.feed(QByteArrayView(block.data(), got), text);
        if (!writeOut(text) || (got == 0 && std::fflush(stdout) != 0)) {
            output.say(Words::tr("无法写入标准输出：%1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return WriteFailed;
        }
        if (got == 0)
            return Picture;
    }
}
