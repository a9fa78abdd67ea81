#include "Artwork.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace {

// Larger pictures are refused rather than allocated: our artwork is tiny.
constexpr JDIMENSION MaxJpegSide = 8192;

struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

// Warnings (corrupt data, premature end) are counted, never printed.
void JpegEmitMessage(j_common_ptr info, int level)
{
    if (level < 0)
        ++info->err->num_warnings;
}

void JpegOutputMessage(j_common_ptr) {}

// Holds no object with a destructor, so the longjmp from libjpeg skips nothing.
// Writes into *out, which lives in the caller's frame.
bool DecodeJpegInto(const unsigned char* bytes, unsigned long size, QImage* out)
{
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    JpegErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JpegErrorExit;
    errors.base.emit_message = JpegEmitMessage;
    errors.base.output_message = JpegOutputMessage;

    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }

    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes, size);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }

    const bool gray = info.jpeg_color_space == JCS_GRAYSCALE;
    if (!gray && info.num_components != 3) {  // CMYK / YCCK and oddities
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);

    const int components = gray ? 1 : 3;
    if (info.output_components != components || info.output_width == 0 || info.output_height == 0
        || info.output_width > MaxJpegSide || info.output_height > MaxJpegSide) {
        jpeg_destroy_decompress(&info);
        return false;
    }

    *out = QImage(int(info.output_width), int(info.output_height),
                  gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (out->isNull()) {
        jpeg_destroy_decompress(&info);
        return false;
    }

    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->scanLine(int(info.output_scanline));
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            break;
    }
    const bool complete = info.output_scanline == info.output_height;
    if (complete)
        jpeg_finish_decompress(&info);
    // A premature end of data only raises a warning and pads the picture with grey.
    const bool clean = complete && errors.base.num_warnings == 0;
    jpeg_destroy_decompress(&info);
    return clean;
}

const char* IconPath(IconId id)
{
    switch (id) {
    case IconId::Bolt32: return ":/icons/bolt32.png";
    case IconId::Bolt16: return ":/icons/bolt16.png";
    case IconId::ArrowRight: return ":/icons/arrow_right.png";
    case IconId::ArrowLeft: return ":/icons/arrow_left.png";
    case IconId::Mascot: return ":/icons/mascot.png";
    case IconId::Question: return ":/icons/question.png";
    case IconId::Exclamation: return ":/icons/exclamation.png";
    }
    return "";
}

QImage LoadBackground()
{
    QFile file(QStringLiteral(":/artwork/background.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return DecodeJpeg(file.readAll());
}

}  // namespace

QImage DecodeJpeg(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    QImage image;
    if (!DecodeJpegInto(reinterpret_cast<const unsigned char*>(data.constData()),
                        static_cast<unsigned long>(data.size()), &image))
        return {};
    if (image.format() != QImage::Format_RGB888)
        image.convertTo(QImage::Format_RGB888);
    return image;
}

const QImage& BackgroundTexture()
{
    static const QImage texture = LoadBackground();
    return texture;
}

QPixmap IconPixmap(IconId id)
{
    return QPixmap(QString::fromLatin1(IconPath(id)));
}

QIcon AppIcon()
{
    QIcon icon;
    icon.addPixmap(IconPixmap(IconId::Bolt32));
    icon.addPixmap(IconPixmap(IconId::Bolt16));
    return icon;
}
