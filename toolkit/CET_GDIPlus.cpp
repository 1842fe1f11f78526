#include "toolkit/CET_GDIPlus.h"

#include <iterator>
#include <string_view>

namespace {

constexpr CET_ImageCodecInfo kEncoders[] = {
    {ImageEncoderId::Bmp, u"Built-in BMP Codec", u"BMP", u"*.BMP;*.DIB;*.RLE", u"image/bmp"},
    {ImageEncoderId::Jpeg, u"Built-in JPEG Codec", u"JPEG", u"*.JPG;*.JPEG;*.JPE;*.JFIF", u"image/jpeg"},
    {ImageEncoderId::Gif, u"Built-in GIF Codec", u"GIF", u"*.GIF", u"image/gif"},
    {ImageEncoderId::Tiff, u"Built-in TIFF Codec", u"TIFF", u"*.TIF;*.TIFF", u"image/tiff"},
    {ImageEncoderId::Png, u"Built-in PNG Codec", u"PNG", u"*.PNG", u"image/png"},
};

} // namespace

CET_GDIPlus::CET_GDIPlus() : m_nEncoders(static_cast<unsigned>(std::size(kEncoders))), m_pEncoders(kEncoders) {}

const CET_ImageCodecInfo* CET_GDIPlus::GetEncoderClsid(const char16_t* name) const {
  if (!name) {
    return nullptr;
  }
  const std::u16string_view wanted(name);
  for (unsigned i = 0; i < m_nEncoders; ++i) {
    if (wanted == m_pEncoders[i].FormatDescription) {
      return &m_pEncoders[i];
    }
  }
  return nullptr;
}
