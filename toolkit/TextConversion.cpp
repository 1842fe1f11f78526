#include "toolkit/TextConversion.h"

#include "foundation/FUnicode.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

bool IsUtf8CodePage(UINT codePage) { return codePage <= 3 || codePage == 65001; }

// iconv's name of a code page.
std::string IconvName(UINT codePage) {
  if (codePage == 20127) {
    return "ASCII";
  }
  if (codePage >= 28591 && codePage <= 28599) {
    return "ISO-8859-" + std::to_string(codePage - 28590);
  }
  return "CP" + std::to_string(codePage);
}

// The whole text converted, or nothing when iconv refuses any of it.
std::optional<std::string> Iconv(const char* to, const char* from, const std::string& text) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return std::nullopt;
  }
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  const bool finished = done != static_cast<std::size_t>(-1) && iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!finished || inLeft != 0) {
    return std::nullopt;
  }
  out.resize(out.size() - outLeft);
  return out;
}

std::optional<std::u16string> ToUtf16(const std::string& text, UINT codePage) {
  if (IsUtf8CodePage(codePage)) {
    return Utf8ToUtf16(text);
  }
  const std::optional<std::string> units = Iconv("UTF-16LE", IconvName(codePage).c_str(), text);
  if (!units || units->size() % 2 != 0) {
    return std::nullopt;
  }
  std::u16string wide(units->size() / 2, u'\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<char16_t>(static_cast<unsigned char>((*units)[2 * i]) |
                                    static_cast<unsigned char>((*units)[2 * i + 1]) << 8);
  }
  return wide;
}

std::optional<std::string> FromUtf16(const std::u16string& text, UINT codePage) {
  if (IsUtf8CodePage(codePage)) {
    return Utf16ToUtf8(text);
  }
  std::string units;
  for (const char16_t unit : text) {
    units.push_back(static_cast<char>(unit & 0xFF));
    units.push_back(static_cast<char>(unit >> 8));
  }
  return Iconv(IconvName(codePage).c_str(), "UTF-16LE", units);
}

} // namespace

char16_t* MultiByteToWideAlloc(const char* text, UINT codePage) {
  if (!text) {
    return nullptr;
  }
  const std::optional<std::u16string> wide = ToUtf16(text, codePage);
  if (!wide) {
    return nullptr;
  }
  // The length with the terminator, plus one, all zeroed.
  char16_t* result = new char16_t[wide->size() + 2]();
  std::memcpy(result, wide->data(), wide->size() * sizeof(char16_t));
  return result;
}

char* Utf16ToMultiByte(int charCount, const BYTE* utf16, UINT codePage) {
  std::u16string units;
  if (utf16 && charCount > 0) {
    const bool bigEndian = utf16[0] == 0xFE && utf16[1] == 0xFF;
    const bool mark = bigEndian || (utf16[0] == 0xFF && utf16[1] == 0xFE);
    for (int i = mark ? 1 : 0; i < charCount; ++i) {
      const BYTE* p = utf16 + 2 * i;
      const char16_t unit = static_cast<char16_t>(bigEndian ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
      if (unit == 0) {
        break;
      }
      units.push_back(unit);
    }
  }
  const std::string narrow = FromUtf16(units, codePage).value_or(std::string());
  const std::size_t size = std::max(narrow.size(), static_cast<std::size_t>(std::max(charCount, 0)) * 4) + 1;
  char* result = static_cast<char*>(std::calloc(size, 1));
  if (result) {
    std::memcpy(result, narrow.data(), narrow.size());
  }
  return result;
}
