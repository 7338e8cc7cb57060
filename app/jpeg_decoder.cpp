#include "jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace ortiva {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;  // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

// Warnings (data that ends early, damaged segments) count as failures: the
// picture is either whole or not shown. Trace messages are ignored.
void OnMessage(j_common_ptr cinfo, int level)
{
    if (level < 0) OnError(cinfo);
}

void Silent(j_common_ptr) {}

// Everything between setjmp and a possible longjmp lives behind pointers that
// do not change, so nothing read after the jump is indeterminate.
bool Decode(jpeg_decompress_struct* cinfo, ErrorManager* err, std::span<const uint8_t> data, DecodedPicture* out)
{
    if (setjmp(err->jump)) return false;

    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data.data(), static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
    if (cinfo->image_width == 0 || cinfo->image_height == 0 || cinfo->image_width > kMaxPictureSide ||
        cinfo->image_height > kMaxPictureSide)
        return false;
    cinfo->out_color_space = JCS_RGB;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != 3) return false;

    out->width = static_cast<int>(cinfo->output_width);
    out->height = static_cast<int>(cinfo->output_height);
    const size_t stride = static_cast<size_t>(out->width) * 3;
    out->rgb.resize(stride * static_cast<size_t>(out->height));
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = out->rgb.data() + stride * cinfo->output_scanline;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

}  // namespace

DecodedPicture DecodeJpeg(std::span<const uint8_t> data)
{
    DecodedPicture picture;
    if (data.size() < 4) return picture;

    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    err.pub.output_message = Silent;

    const bool ok = Decode(&cinfo, &err, data, &picture);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) picture = DecodedPicture{};
    return picture;
}

}  // namespace ortiva
