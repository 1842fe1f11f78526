#pragma once
// The picture codecs' session and their list of encoders, in which the
// picture-file writers look up an encoder by its format name. The encoders are
// the project's own, on libjpeg, libtiff, libpng and giflib (BMP is written by
// the toolkit itself); the session needs no start-up of its own, so instances
// may be made and dropped freely, also in worker threads.

#include <cstdint>

// The class id that tells the writers which encoder to run.
enum class ImageEncoderId : std::uint32_t { Jpeg = 1, Tiff, Png, Bmp, Gif };

struct CET_ImageCodecInfo {
  ImageEncoderId Clsid;
  const char16_t* CodecName;
  const char16_t* FormatDescription; // "JPEG", "TIFF", "PNG", "BMP", "GIF"
  const char16_t* FilenameExtension;
  const char16_t* MimeType;
};

class CET_GDIPlus {
public:
  CET_GDIPlus();
  virtual ~CET_GDIPlus() = default;
  CET_GDIPlus(const CET_GDIPlus&) = delete;
  CET_GDIPlus& operator=(const CET_GDIPlus&) = delete;

  // The first encoder whose format description equals name exactly
  // (case-sensitive); null when none or name is null.
  const CET_ImageCodecInfo* GetEncoderClsid(const char16_t* name) const;

  unsigned m_nEncoders;
  const CET_ImageCodecInfo* m_pEncoders;
};
