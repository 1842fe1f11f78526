// JPEG files on libjpeg(-turbo): decoding from memory straight into 32-bit
// rows (the codec's own scaled decoding for reduced sizes), and encoding
// through the core's stream binding.
#include "toolkit/PictureCodecs.h"

#include "toolkit/ExifItemBlock.h"

#include "fileio/codecs/JPEGIO.h"
#include "foundation/FException.h"

#include <jerror.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kApp1DataMax = 65533;
constexpr char kExifIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};

// What the decoder's message hook learnt about the stream.
struct DecodeState {
  bool endOfData = false;
  void (*defaultEmit)(j_common_ptr, int) = nullptr;
};

void EmitMessage(j_common_ptr cinfo, int level) {
  auto* state = static_cast<DecodeState*>(cinfo->client_data);
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
    state->endOfData = true;
  }
  state->defaultEmit(cinfo, level);
}

// A decompressor over bytes in memory, with the core's error hooks (a codec
// error throws FExceptionJPEG) and a note of a stream that ended early.
class MemoryDecompressor {
public:
  MemoryDecompressor(const std::uint8_t* data, std::size_t size) {
    jpeg_std_error(&m_Error);
    m_Error.error_exit = JPEGErrorExit;
    m_Error.output_message = JPEGOutputMessage;
    m_State.defaultEmit = m_Error.emit_message;
    m_Error.emit_message = EmitMessage;
    m_Info.err = &m_Error;
    m_Info.client_data = &m_State;
    jpeg_create_decompress(&m_Info);
    jpeg_mem_src(&m_Info, data, static_cast<unsigned long>(size));
  }
  ~MemoryDecompressor() { jpeg_destroy_decompress(&m_Info); }
  MemoryDecompressor(const MemoryDecompressor&) = delete;
  MemoryDecompressor& operator=(const MemoryDecompressor&) = delete;

  jpeg_decompress_struct* Get() { return &m_Info; }
  bool EndedEarly() const { return m_State.endOfData; }

private:
  jpeg_error_mgr m_Error{};
  jpeg_decompress_struct m_Info{};
  DecodeState m_State;
};

// A multi-scan picture is decoded from a buffer of all its coefficients,
// whatever scale is read: that buffer counts against the picture limit too.
std::uint64_t CoefficientBytes(jpeg_decompress_struct* info) {
  if (!jpeg_has_multiple_scans(info)) {
    return 0;
  }
  std::uint64_t bytes = 0;
  for (int c = 0; c < info->num_components; ++c) {
    bytes += std::uint64_t{info->comp_info[c].width_in_blocks} * info->comp_info[c].height_in_blocks * sizeof(JBLOCK);
  }
  return bytes;
}

BYTE Mul255(int a, int b) { return static_cast<BYTE>((a * b + 127) / 255); }

// CMYK rows (inverted when an Adobe marker says so) to blue, green, red.
void CmykToBgrx(const JSAMPLE* in, BYTE* out, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 4) {
    const int c = inverted ? in[0] : 255 - in[0];
    const int m = inverted ? in[1] : 255 - in[1];
    const int y = inverted ? in[2] : 255 - in[2];
    const int k = inverted ? in[3] : 255 - in[3];
    out[0] = Mul255(y, k);
    out[1] = Mul255(m, k);
    out[2] = Mul255(c, k);
    out[3] = 0xFF;
  }
}

void ChooseScale(jpeg_decompress_struct* info, int minWidth, int minHeight) {
  info->scale_num = 1;
  info->scale_denom = 1;
  if (minWidth <= 0 && minHeight <= 0) {
    return;
  }
  for (unsigned denom : {8u, 4u, 2u}) {
    const std::uint64_t w = (std::uint64_t{info->image_width} + denom - 1) / denom;
    const std::uint64_t h = (std::uint64_t{info->image_height} + denom - 1) / denom;
    if (w >= std::uint64_t(std::max(minWidth, 1)) && h >= std::uint64_t(std::max(minHeight, 1))) {
      info->scale_denom = denom;
      return;
    }
  }
}

DecodedPicture Decode(MemoryDecompressor& codec, int minWidth, int minHeight, std::vector<std::uint8_t>* icc) {
  jpeg_decompress_struct* info = codec.Get();
  if (icc) {
    jpeg_save_markers(info, JPEG_APP0 + 2, 0xFFFF);
  }
  if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) {
    return {};
  }
  const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
  if (info->num_components != 1 && info->num_components != 3 && !cmyk) {
    return {};
  }
  info->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
  info->dct_method = JDCT_ISLOW;
  ChooseScale(info, minWidth, minHeight);
  jpeg_calc_output_dimensions(info);
  if (CoefficientBytes(info) > GetMaxPictureBytes()) {
    return {};
  }
  DecodedPicture picture = AllocatePicture(info->output_width, info->output_height);
  if (!picture) {
    return picture;
  }
  if (icc) {
    JOCTET* profile = nullptr;
    unsigned int length = 0;
    if (jpeg_read_icc_profile(info, &profile, &length) && profile) {
      icc->assign(profile, profile + length);
      std::free(profile);
    }
  }
  jpeg_start_decompress(info);
  std::vector<JSAMPLE> cmykRow(cmyk ? std::size_t{info->output_width} * 4 : 0);
  while (info->output_scanline < info->output_height) {
    const int y = static_cast<int>(info->output_scanline);
    JSAMPROW row = cmyk ? cmykRow.data() : picture.Row(y);
    if (jpeg_read_scanlines(info, &row, 1) != 1) {
      return {};
    }
    if (cmyk) {
      CmykToBgrx(row, picture.Row(y), info->output_width, info->saw_Adobe_marker);
    }
  }
  jpeg_finish_decompress(info);
  if (codec.EndedEarly()) {
    return {};
  }
  return picture;
}

std::uint16_t BigEndian16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

} // namespace

bool ReadJpegSize(const std::uint8_t* data, std::size_t size, int& width, int& height) {
  if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
    return false;
  }
  std::size_t position = 2;
  while (position + 4 <= size) {
    if (data[position] != 0xFF) {
      return false;
    }
    const std::uint8_t marker = data[position + 1];
    if (marker == 0xFF) { // fill byte
      ++position;
      continue;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      position += 2;
      continue;
    }
    const std::size_t length = BigEndian16(data + position + 2);
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7 || position + 2 + 7 > size) {
        return false;
      }
      height = BigEndian16(data + position + 5);
      width = BigEndian16(data + position + 7);
      return width > 0 && height > 0;
    }
    if (marker == 0xDA || marker == 0xD9 || length < 2) {
      return false;
    }
    position += 2 + length;
  }
  return false;
}

DecodedPicture DecodeJpeg(const std::uint8_t* data, std::size_t size, int minWidth, int minHeight,
                          std::vector<std::uint8_t>* iccProfile) {
  if (!data || size == 0) {
    return {};
  }
  try {
    MemoryDecompressor codec(data, size);
    return Decode(codec, minWidth, minHeight, iccProfile);
  } catch (const FException&) {
    return {};
  }
}

bool EncodeJpeg(FIFile* file, const EncoderPicture& picture, const EncoderExtras& extras) {
  if (!file || (picture.bytesPerPixel != 3 && picture.bytesPerPixel != 4)) {
    return false;
  }
  std::vector<std::uint8_t> app1;
  if (extras.exif) {
    const std::vector<std::uint8_t> block = BuildExifTiffBlockWithin(*extras.exif, kApp1DataMax - sizeof kExifIdentifier);
    if (!block.empty()) {
      app1.assign(kExifIdentifier, kExifIdentifier + sizeof kExifIdentifier);
      app1.insert(app1.end(), block.begin(), block.end());
    }
  }
  try {
    FJPEGCompressor codec(file);
    jpeg_compress_struct* info = codec.Get();
    info->image_width = static_cast<JDIMENSION>(picture.width);
    info->image_height = static_cast<JDIMENSION>(picture.height);
    info->input_components = picture.bytesPerPixel;
    info->in_color_space = picture.bytesPerPixel == 3 ? JCS_EXT_BGR : JCS_EXT_BGRX;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, std::clamp(extras.jpegQuality, 0, 100), TRUE);
    info->dct_method = JDCT_ISLOW;
    // An EXIF file starts with its APP1 segment.
    info->write_JFIF_header = app1.empty() ? TRUE : FALSE;
    jpeg_start_compress(info, TRUE);
    if (!app1.empty()) {
      jpeg_write_marker(info, JPEG_APP0 + 1, app1.data(), static_cast<unsigned>(app1.size()));
    }
    if (!extras.iccProfile.empty()) {
      jpeg_write_icc_profile(info, extras.iccProfile.data(), static_cast<unsigned>(extras.iccProfile.size()));
    }
    while (info->next_scanline < info->image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(picture.Row(static_cast<int>(info->next_scanline)));
      jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
  } catch (const FException&) {
    return false;
  }
}
