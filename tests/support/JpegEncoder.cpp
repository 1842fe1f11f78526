#include "support/JpegEncoder.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace testsupport {

namespace {

[[noreturn]] void ThrowJpegError(j_common_ptr info)
{
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    throw std::runtime_error(message);
}

void IgnoreJpegMessage(j_common_ptr) {}

struct MemoryBuffer {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    ~MemoryBuffer() { std::free(data); }
};

using Bytes = std::vector<uint8_t>;

} // namespace

Bytes EncodeJpeg(const Bytes& pixels, int columns, int rows, int components, const JpegEncodeOptions& options)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    error.error_exit = ThrowJpegError;
    error.output_message = IgnoreJpegMessage;
    jpeg_create_compress(&info);
    MemoryBuffer buffer;
    try {
        jpeg_mem_dest(&info, &buffer.data, &buffer.size);
        info.image_width = static_cast<JDIMENSION>(columns);
        info.image_height = static_cast<JDIMENSION>(rows);
        info.input_components = components;
        info.in_color_space = static_cast<J_COLOR_SPACE>(options.colorSpace);
        jpeg_set_defaults(&info);
        info.dct_method = options.accurate ? JDCT_ISLOW : JDCT_IFAST;
        if (options.fullColour) {
            info.comp_info[0].h_samp_factor = 1;
            info.comp_info[0].v_samp_factor = 1;
        }
        jpeg_set_quality(&info, options.quality, TRUE);
        if (options.progressive)
            jpeg_simple_progression(&info);
        jpeg_start_compress(&info, TRUE);
        for (int y = 0; y < rows; ++y) {
            JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + size_t(y) * size_t(columns) * size_t(components));
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
    } catch (...) {
        jpeg_destroy_compress(&info);
        throw;
    }
    jpeg_destroy_compress(&info);
    return Bytes(buffer.data, buffer.data + buffer.size);
}

std::vector<uint8_t> PhotoLikeRgb(int columns, int rows)
{
    std::vector<uint8_t> pixels(size_t(columns) * size_t(rows) * 3);
    uint32_t state = 12345;
    size_t at = 0;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            for (int c = 0; c < 3; ++c) {
                state = state * 1664525u + 1013904223u;
                pixels[at++] = uint8_t((x / 9 + y / 7) * (c + 1) + (x * y >> 13) + (state >> 29));
            }
        }
    }
    return pixels;
}

} // namespace testsupport
