#include "toolkit/PictureFileTypes.h"

#include <string_view>

namespace {

struct ExtensionType {
  std::u16string_view extension;
  emETFILETYPE type;
};

constexpr ExtensionType kExtensions[] = {
    {u"JPEG", ETFILETYPE_JPEG}, {u"JPG", ETFILETYPE_JPEG}, {u"JFIF", ETFILETYPE_JPEG},
    {u"TIFF", ETFILETYPE_TIFF}, {u"TIF", ETFILETYPE_TIFF}, {u"PNG", ETFILETYPE_PNG},
    {u"BMP", ETFILETYPE_BMP},   {u"GIF", ETFILETYPE_GIF},  {u"KVR", ETFILETYPE_KVR},
    {u"AVI", ETFILETYPE_AVI},   {u"MPG", ETFILETYPE_MPEG}, {u"MPEG", ETFILETYPE_MPEG},
    {u"WMV", ETFILETYPE_WMV},   {u"MP4", ETFILETYPE_MP4},
};

char16_t FoldCase(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) {
      return false;
    }
  }
  return true;
}

} // namespace

FString GetFileExtension(const FString& path) {
  const std::u16string_view text = path.View();
  const size_t dot = text.rfind(u'.');
  return dot == std::u16string_view::npos ? FString() : FString(text.substr(dot + 1));
}

emETFILETYPE GetFileType(const FString& path) {
  const FString extension = GetFileExtension(path);
  for (const ExtensionType& entry : kExtensions) {
    if (EqualNoCase(extension.View(), entry.extension)) {
      return entry.type;
    }
  }
  return ETFILETYPE_UNKNOWN;
}

bool IsStillFileType(int type) {
  switch (type) {
  case ETFILETYPE_JPEG:
  case ETFILETYPE_TIFF:
  case ETFILETYPE_TIFF48:
  case ETFILETYPE_BMP:
  case ETFILETYPE_GIF:
  case ETFILETYPE_KVR:
    return true;
  default:
    return false;
  }
}
