#include "jpeg_decoder.h"

#include "interruption.h"
#include "jpeg_markers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>

#include <cmath>
#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(JpegDecoder)
};
} // namespace

namespace hexjpg {

namespace {

constexpr std::size_t kSourceBlock = 64 * 1024;
constexpr int kMaxWarnings = 50;

// libjpeg reads from the device a block at a time.
struct Source {
    jpeg_source_mgr pub;
    QIODevice *device;
    JOCTET buffer[kSourceBlock];
};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo)
{
    auto *source = reinterpret_cast<Source *>(cinfo->src);
    qint64 got = source->device->read(reinterpret_cast<char *>(source->buffer), kSourceBlock);
    if (got <= 0) {
        // The data ran out: libjpeg goes on as if the end marker came, and says so.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source->buffer[0] = 0xff;
        source->buffer[1] = JPEG_EOI;
        got = 2;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = std::size_t(got);
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count)
{
    auto *source = reinterpret_cast<Source *>(cinfo->src);
    if (count <= 0)
        return;
    while (std::size_t(count) > source->pub.bytes_in_buffer) {
        count -= long(source->pub.bytes_in_buffer);
        fillInput(cinfo);
    }
    source->pub.next_input_byte += count;
    source->pub.bytes_in_buffer -= std::size_t(count);
}

// Everything the decoding touches lives here, outside the function that calls setjmp, so that it
// is in a defined state after a longjmp.
struct Work {
    jpeg_decompress_struct cinfo;
    struct Errors {
        jpeg_error_mgr pub;
        Work *work;
        std::jmp_buf jump;
        char reason[JMSG_LENGTH_MAX + 64]; // libjpeg's own words
        QString why;                       // ours, where the decoding was stopped
        int eofRow = -1;
    } errors;
    struct Progress {
        jpeg_progress_mgr pub;
        Work *work;
    } progress;
    QElapsedTimer timer;
    DecodeLimits limits;
    QSize display;
    bool progressive = false;
    JpegDecoded *out = nullptr;
};

[[noreturn]] void failWith(j_common_ptr cinfo)
{
    auto *errors = reinterpret_cast<Work::Errors *>(cinfo->err);
    std::longjmp(errors->jump, 1);
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    auto *errors = reinterpret_cast<Work::Errors *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->reason);
    failWith(cinfo);
}

void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace messages
    auto *errors = reinterpret_cast<Work::Errors *>(cinfo->err);
    Work *work = errors->work;
    // The data ran out, or a scan's data stopped short at a marker (bytes lost on the way, with
    // FF D9 kept): the rows from here on are made up.
    const int code = cinfo->err->msg_code;
    if ((code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) && errors->eofRow < 0)
        errors->eofRow = int(work->cinfo.output_scanline);
    if (work->out->warnings.size() < kMaxWarnings) {
        char text[JMSG_LENGTH_MAX];
        (*cinfo->err->format_message)(cinfo, text);
        work->out->warnings << QString::fromLocal8Bit(text);
    }
    ++cinfo->err->num_warnings;
}

// Called as the decoding goes on, once a row: too many scans, too long, or a stop ends it.
void onProgress(j_common_ptr cinfo)
{
    Work *work = reinterpret_cast<Work::Progress *>(cinfo->progress)->work;
    auto *errors = &work->errors;
    if (stopRequested(work->limits.cancel)) {
        errors->why = Words::tr("已中断");
        failWith(cinfo);
    }
    if (work->limits.deadline.hasExpired()) {
        errors->why = Words::tr("解码的时间已用完");
        failWith(cinfo);
    }
    if (work->cinfo.input_scan_number > work->limits.scans) {
        errors->why = Words::tr("扫描太多：超过 %1 次").arg(work->limits.scans);
        failWith(cinfo);
    }
    if (work->timer.elapsed() > work->limits.milliseconds) {
        errors->why = Words::tr("解码超时：超过 %1 秒").arg(work->limits.milliseconds / 1000);
        failWith(cinfo);
    }
}

// The smallest scale, in eighths, at which the picture still covers the display size.
int scaleNumerator(QSize picture, QSize display)
{
    if (!display.isValid() || display.isEmpty())
        return 8;
    for (int num = 1; num < 8; ++num)
        if (std::ceil(picture.width() * num / 8.0) >= display.width() &&
            std::ceil(picture.height() * num / 8.0) >= display.height())
            return num;
    return 8;
}

// CMYK rows as libjpeg gives them, to RGB: Adobe's files store the inks inverted.
void cmykToRgb(QImage &image, int row, bool inverted)
{
    auto *pixel = reinterpret_cast<QRgb *>(image.scanLine(row));
    const auto *ink = reinterpret_cast<const uchar *>(pixel);
    for (int x = 0; x < image.width(); ++x, ink += 4) {
        int c = ink[0], m = ink[1], y = ink[2], k = ink[3];
        if (!inverted)
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        pixel[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
    }
}

bool run(Work &w)
{
    jpeg_decompress_struct &cinfo = w.cinfo;
    if (setjmp(w.errors.jump))
        return false;

    jpeg_read_header(&cinfo, TRUE);
    w.out->size = QSize(int(cinfo.image_width), int(cinfo.image_height));
    w.progressive = cinfo.progressive_mode;
    cinfo.scale_num = unsigned(scaleNumerator(w.out->size, w.display));
    cinfo.scale_denom = 8;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space =
        cmyk ? JCS_CMYK : (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB);
    jpeg_calc_output_dimensions(&cinfo);
    const qint64 imageBytes = qint64(cinfo.output_width) * cinfo.output_height * 4;
    if (imageBytes > w.limits.memoryBytes) {
        w.errors.why =
            Words::tr("图片太大：%1×%2 像素").arg(cinfo.image_width).arg(cinfo.image_height);
        failWith(reinterpret_cast<j_common_ptr>(&cinfo));
    }
    cinfo.mem->max_memory_to_use = long(w.limits.memoryBytes - imageBytes);
    w.out->image = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (w.out->image.isNull()) {
        w.errors.why = Words::tr("内存不足");
        failWith(reinterpret_cast<j_common_ptr>(&cinfo));
    }

    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int row = int(cinfo.output_scanline);
        JSAMPROW line = w.out->image.scanLine(row);
        jpeg_read_scanlines(&cinfo, &line, 1);
        if (cmyk)
            cmykToRgb(w.out->image, row, cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

} // namespace

JpegDecoded decodeJpeg(QIODevice &device, QSize displaySize, const DecodeLimits &limits)
{
    JpegDecoded result;
    if (stopRequested(limits.cancel) || limits.deadline.hasExpired()) {
        result.notStarted = true;
        result.error = stopRequested(limits.cancel) ? Words::tr("已中断")
                                                    : Words::tr("没有检查：解码的时间已用完");
        return result;
    }
    auto work = std::make_unique<Work>();
    work->timer.start();

    // The marker structure first: a header that would take more memory or more scans than the
    // limits allow is refused before the decoder allocates anything.
    const qint64 start = device.pos();
    if (!device.isSequential() && limits.walkFirst) {
        result.layout = walkJpeg(device);
        const JpegLayout &layout = result.layout;
        device.seek(start);
        if (layout.scans > limits.scans) {
            result.error =
                Words::tr("扫描太多：%1 次，最多 %2 次").arg(layout.scans).arg(limits.scans);
            return result;
        }
        const qint64 buffered =
            layout.progressive || layout.scans > 1 ? layout.coefficientBytes() : 0;
        if (buffered > limits.memoryBytes) {
            result.error = Words::tr("图片太大：%1×%2 像素，解码需要 %3 MB 内存，最多 %4 MB")
                               .arg(layout.width)
                               .arg(layout.height)
                               .arg(buffered >> 20)
                               .arg(limits.memoryBytes >> 20);
            return result;
        }
    }

    work->limits = limits;
    work->display = displaySize;
    work->out = &result;
    jpeg_decompress_struct &cinfo = work->cinfo;
    cinfo.err = jpeg_std_error(&work->errors.pub);
    work->errors.pub.error_exit = errorExit;
    work->errors.pub.emit_message = emitMessage;
    work->errors.work = work.get();
    jpeg_create_decompress(&cinfo);
    work->progress.pub.progress_monitor = onProgress;
    work->progress.work = work.get();
    cinfo.progress = &work->progress.pub;

    auto *source = static_cast<Source *>((*cinfo.mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_PERMANENT, sizeof(Source)));
    source->device = &device;
    source->pub.init_source = initSource;
    source->pub.fill_input_buffer = fillInput;
    source->pub.skip_input_data = skipInput;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = termSource;
    source->pub.bytes_in_buffer = 0;
    source->pub.next_input_byte = nullptr;
    cinfo.src = &source->pub;

    const bool decoded = run(*work);
    jpeg_destroy_decompress(&cinfo);
    if (!decoded) {
        result.image = QImage();
        result.error =
            work->errors.why.isEmpty() ? QString::fromUtf8(work->errors.reason) : work->errors.why;
        return result;
    }
    // Rows at the decoding scale, told as rows of the picture.
    result.rows = result.size.height();
    result.dataRanOut = work->errors.eofRow >= 0;
    const int decodedRows = result.image.height();
    if (!result.dataRanOut)
        result.rowsWithData = result.rows;
    else if (work->progressive)
        result.rowsWithData = -1;
    else
        result.rowsWithData =
            int(qint64(work->errors.eofRow) * result.rows / std::max(1, decodedRows));
    if (displaySize.isValid() && !displaySize.isEmpty() && result.image.size() != displaySize)
        result.image =
            result.image.scaled(displaySize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return result;
}

} // namespace hexjpg
