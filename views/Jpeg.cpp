#include "Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace Jpeg {

namespace {

// libjpeg's default error handler calls exit(): ours jumps back to the caller instead.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void onError(j_common_ptr info)
{
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (a truncated picture, say) are counted, not printed on the console.
extern "C" void onMessage(j_common_ptr info, int level)
{
    if (level < 0)
        ++info->err->num_warnings;
}

void setError(QString* error, const char* text)
{
    if (error)
        *error = QString::fromLocal8Bit(text);
}

} // namespace

QImage Decode(const QByteArray& data, QString* error)
{
    if (data.isEmpty()) {
        setError(error, "no picture data");
        return QImage();
    }
    jpeg_decompress_struct info{};
    ErrorManager err{};
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    // Everything that must survive the jump lives outside this frame's registers.
    auto* image = new QImage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        delete image;
        setError(error, err.message);
        return QImage();
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || info.output_width == 0 || info.output_height == 0
        || info.output_width > 16384 || info.output_height > 16384) {
        jpeg_destroy_decompress(&info);
        delete image;
        setError(error, "unsupported picture size or colours");
        return QImage();
    }
    *image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGB888);
    if (image->isNull()) {
        jpeg_destroy_decompress(&info);
        delete image;
        setError(error, "out of memory");
        return QImage();
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    // A truncated or damaged picture decodes with warnings and grey or garbled parts: it is
    // not the picture, so it is refused like one that cannot be read.
    const bool damaged = err.pub.num_warnings > 0;
    jpeg_destroy_decompress(&info);
    if (damaged) {
        delete image;
        setError(error, "damaged picture");
        return QImage();
    }
    QImage result = *image;
    delete image;
    return result;
}

QByteArray Encode(const QImage& source, int quality, QString* error)
{
    if (source.isNull()) {
        setError(error, "no picture");
        return QByteArray();
    }
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    ErrorManager err{};
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        setError(error, err.message);
        return QByteArray();
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(rgb.width());
    info.image_height = static_cast<JDIMENSION>(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

} // namespace Jpeg
