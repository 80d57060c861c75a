#include "jpeg_encoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back.
struct Errors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<Errors *>(info->err)->jump, 1);
}

// Everything the encoding touches lives outside the function that calls setjmp, so that it is in
// a defined state after a longjmp.
struct Work {
    Errors errors;
    jpeg_compress_struct info{}; // destroyed whether or not it was created
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    ~Work()
    {
        jpeg_destroy_compress(&info);
        std::free(buffer);
    }
};

bool encode(Work &w, const QImage &rgb, int quality)
{
    if (setjmp(w.errors.jump))
        return false;
    jpeg_create_compress(&w.info);
    jpeg_mem_dest(&w.info, &w.buffer, &w.size);
    w.info.image_width = JDIMENSION(rgb.width());
    w.info.image_height = JDIMENSION(rgb.height());
    w.info.input_components = 3;
    w.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&w.info);
    jpeg_set_quality(&w.info, quality, TRUE);
    for (int c = 0; c < 3; ++c) // 4:4:4: no chroma halved
        w.info.comp_info[c].h_samp_factor = w.info.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&w.info, TRUE);
    while (w.info.next_scanline < w.info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(w.info.next_scanline)));
        jpeg_write_scanlines(&w.info, &row, 1);
    }
    jpeg_finish_compress(&w.info);
    return true;
}

} // namespace

namespace hexjpg {

QByteArray encodeJpeg(const QImage &image, int quality)
{
    if (image.isNull())
        return {};
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull())
        return {};
    Work w;
    w.info.err = jpeg_std_error(&w.errors.pub);
    w.errors.pub.error_exit = errorExit;
    if (!encode(w, rgb, quality))
        return {};
    return QByteArray(reinterpret_cast<const char *>(w.buffer), qsizetype(w.size));
}

} // namespace hexjpg
