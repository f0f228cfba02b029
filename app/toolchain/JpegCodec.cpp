// JPEG decoding and encoding with libjpeg; its errors come back as messages instead of ending the program.
#include "app/toolchain/JpegCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace quarvo {

namespace {

// libjpeg's default handler ends the process; this one jumps back with the message.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr, int) {}  // warnings of a slightly damaged file are not shown

}  // namespace

JpegDecodeResult DecodeJpeg(std::string_view bytes) {
    JpegDecodeResult result;
    if (bytes.empty()) {
        result.error = "Image JPEG vide.";
        return result;
    }
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = OnMessage;
    // Everything the jump may skip lives in result or info, declared before setjmp.
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        result.picture = RgbPicture{};
        result.error = std::string("Image JPEG illisible : ") + errors.message;
        return result;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const std::int64_t pixels = std::int64_t{info.output_width} * info.output_height;
    if (info.output_components != 3 || pixels <= 0 || pixels > MaxJpegPixels) {
        jpeg_destroy_decompress(&info);
        result.error = "Image JPEG trop grande ou de format non pris en charge.";
        return result;
    }
    result.picture.width = static_cast<int>(info.output_width);
    result.picture.height = static_cast<int>(info.output_height);
    const std::size_t stride = std::size_t{info.output_width} * 3;
    result.picture.pixels.assign(stride * info.output_height, 0xff);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = result.picture.pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return result;
}

std::string EncodeJpeg(const RgbPicture& picture, int quality) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != std::size_t(picture.width) * std::size_t(picture.height) * 3)
        return {};
    jpeg_compress_struct info{};
    ErrorManager errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = OnMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = std::size_t(picture.width) * 3;
    while (info.next_scanline < info.image_height) {
        // libjpeg takes rows as non-const pointers but does not write to them.
        JSAMPROW row = const_cast<std::uint8_t*>(picture.pixels.data() + stride * info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

}  // namespace quarvo
