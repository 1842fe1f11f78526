// GIF files on giflib: the first frame decoded onto the logical screen, and a
// picture encoded as one frame of at most 256 colours.
#include "toolkit/PictureCodecs.h"

#include "foundation/FIFile.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace {

struct MemoryInput {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
  auto* input = static_cast<MemoryInput*>(gif->UserData);
  const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)), input->size - input->position);
  std::memcpy(out, input->data + input->position, take);
  input->position += take;
  return static_cast<int>(take);
}

int WriteToFile(GifFileType* gif, const GifByteType* bytes, int count) {
  auto* file = static_cast<FIFile*>(gif->UserData);
  return file->Write(bytes, count) ? count : 0;
}

struct DecoderCloser {
  void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
struct EncoderCloser {
  void operator()(GifFileType* gif) const {
    if (gif) {
      EGifCloseFile(gif, nullptr);
    }
  }
};

// The rows of an interlaced frame come in four passes.
std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> order;
  if (!interlaced) {
    for (int y = 0; y < height; ++y) {
      order.push_back(y);
    }
    return order;
  }
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = kStart[pass]; y < height; y += kStep[pass]) {
      order.push_back(y);
    }
  }
  return order;
}

// Reads the records up to the first frame; the transparent colour of a
// graphics control block on the way.
bool SkipToFirstFrame(GifFileType* gif, int& transparent) {
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
      return false;
    }
    if (type == IMAGE_DESC_RECORD_TYPE) {
      return DGifGetImageDesc(gif) != GIF_ERROR;
    }
    if (type == TERMINATE_RECORD_TYPE) {
      return false;
    }
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
        return false;
      }
      while (block) {
        if (code == GRAPHICS_EXT_FUNC_CODE && block[0] >= 4) {
          GraphicsControlBlock control;
          if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
            transparent = control.TransparentColor;
          }
        }
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
          return false;
        }
      }
    }
  }
}

} // namespace

DecodedPicture DecodeGif(const std::uint8_t* data, std::size_t size) {
  if (!data) {
    return {};
  }
  MemoryInput input{data, size, 0};
  int error = 0;
  std::unique_ptr<GifFileType, DecoderCloser> gif(DGifOpen(&input, ReadFromMemory, &error));
  int transparent = NO_TRANSPARENT_COLOR;
  if (!gif || !SkipToFirstFrame(gif.get(), transparent)) {
    return {};
  }
  const GifImageDesc& frame = gif->Image;
  const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (!colours || frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0) {
    return {};
  }
  const int width = gif->SWidth > 0 ? gif->SWidth : frame.Width;
  const int height = gif->SHeight > 0 ? gif->SHeight : frame.Height;
  DecodedPicture picture = AllocatePicture(width, height);
  if (!picture) {
    return picture;
  }
  std::memset(picture.bits.get(), 0xFF, picture.ByteSize());
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  for (const int row : RowOrder(frame.Height, frame.Interlace)) {
    if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) {
      return {};
    }
    const int y = frame.Top + row;
    if (y >= height) {
      continue;
    }
    BYTE* out = picture.Row(y);
    for (int x = 0; x < frame.Width && frame.Left + x < width; ++x) {
      const int index = line[static_cast<std::size_t>(x)];
      if (index == transparent) {
        continue;
      }
      // An index beyond the colour table: the file is broken.
      if (index >= colours->ColorCount) {
        return {};
      }
      const GifColorType& c = colours->Colors[index];
      BYTE* p = out + std::int64_t{frame.Left + x} * 4;
      p[0] = c.Blue;
      p[1] = c.Green;
      p[2] = c.Red;
    }
  }
  return picture;
}

bool EncodeGif(FIFile* file, const EncoderPicture& picture) {
  if (!file || picture.width <= 0 || picture.height <= 0 || picture.width > 0xFFFF || picture.height > 0xFFFF ||
      (picture.bytesPerPixel != 3 && picture.bytesPerPixel != 4)) {
    return false;
  }
  const std::size_t pixels = std::size_t(picture.width) * std::size_t(picture.height);
  std::vector<GifPixelType> indices(pixels);
  std::vector<GifColorType> palette;
  // The picture's own colours when they are few enough.
  std::map<std::uint32_t, int> seen;
  bool few = true;
  for (int y = 0; y < picture.height && few; ++y) {
    const BYTE* p = picture.Row(y);
    for (int x = 0; x < picture.width; ++x, p += picture.bytesPerPixel) {
      const std::uint32_t key = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
      auto [at, added] = seen.emplace(key, static_cast<int>(seen.size()));
      if (added && seen.size() > 256) {
        few = false;
        break;
      }
      indices[std::size_t(y) * picture.width + x] = static_cast<GifPixelType>(at->second);
    }
  }
  if (few) {
    palette.resize(seen.size());
    for (const auto& [key, index] : seen) {
      palette[static_cast<std::size_t>(index)] = {static_cast<GifByteType>(key >> 16), static_cast<GifByteType>(key >> 8),
                                                  static_cast<GifByteType>(key)};
    }
  } else {
    std::vector<GifByteType> red(pixels), green(pixels), blue(pixels);
    for (int y = 0; y < picture.height; ++y) {
      const BYTE* p = picture.Row(y);
      for (int x = 0; x < picture.width; ++x, p += picture.bytesPerPixel) {
        const std::size_t i = std::size_t(y) * picture.width + x;
        blue[i] = p[0];
        green[i] = p[1];
        red[i] = p[2];
      }
    }
    int colourCount = 256;
    palette.resize(256);
    if (GifQuantizeBuffer(static_cast<unsigned>(picture.width), static_cast<unsigned>(picture.height), &colourCount,
                          red.data(), green.data(), blue.data(), indices.data(), palette.data()) == GIF_ERROR) {
      return false;
    }
    palette.resize(static_cast<std::size_t>(std::max(colourCount, 1)));
  }
  // A colour map holds a power of two entries.
  int bits = 1;
  while ((1 << bits) < static_cast<int>(palette.size())) {
    ++bits;
  }
  palette.resize(std::size_t{1} << bits);
  std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(GifMakeMapObject(1 << bits, palette.data()),
                                                                 GifFreeMapObject);
  int error = 0;
  std::unique_ptr<GifFileType, EncoderCloser> gif(EGifOpen(file, WriteToFile, &error));
  if (!gif || !map) {
    return false;
  }
  if (EGifPutScreenDesc(gif.get(), picture.width, picture.height, bits, 0, map.get()) == GIF_ERROR ||
      EGifPutImageDesc(gif.get(), 0, 0, picture.width, picture.height, false, nullptr) == GIF_ERROR) {
    return false;
  }
  for (int y = 0; y < picture.height; ++y) {
    if (EGifPutLine(gif.get(), &indices[std::size_t(y) * picture.width], picture.width) == GIF_ERROR) {
      return false;
    }
  }
  GifFileType* done = gif.release();
  return EGifCloseFile(done, &error) == GIF_OK;
}
