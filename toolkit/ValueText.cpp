#include "toolkit/ValueText.h"

#include "foundation/FCLocale.h"

#include <algorithm>
#include <cstdio>

namespace {

// The narrow copy of format when it holds exactly one conversion whose letter
// is in `letters` (flags, width and precision allowed; "%%" is a percent sign).
bool Narrow(const std::u16string& format, const char* letters, std::string& out) {
  out.clear();
  int conversions = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c == 0 || c > 0x7E) return false;
    out.push_back(static_cast<char>(c));
    if (c != u'%') continue;
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == u'%') {
      out.push_back('%');
      i = j;
      continue;
    }
    while (j < format.size() && std::u16string_view(u"-+ #0").find(format[j]) != std::u16string_view::npos) ++j;
    while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') ++j;
    if (j < format.size() && format[j] == u'.') {
      ++j;
      while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') ++j;
    }
    if (j >= format.size() || j - i > 8) return false;
    bool known = false;
    for (const char* l = letters; *l; ++l) known = known || format[j] == static_cast<char16_t>(*l);
    if (!known) return false;
    for (std::size_t k = i + 1; k <= j; ++k) out.push_back(static_cast<char>(format[k]));
    i = j;
    ++conversions;
  }
  return conversions == 1;
}

std::u16string Widen(const char* text, int length) {
  std::u16string out;
  for (int i = 0; i < length && text[i]; ++i) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i])));
  return out;
}

} // namespace

std::u16string FormatRealValue(const std::u16string& format, double value) {
  std::string narrow;
  if (!Narrow(format, "fFeEgG", narrow)) return {};
  char buffer[128];
  FScopedCLocale c;
  const int n = std::snprintf(buffer, sizeof buffer, narrow.c_str(), value);
  return n < 0 ? std::u16string() : Widen(buffer, std::min<int>(n, sizeof buffer - 1));
}

std::u16string FormatIntegerValue(const std::u16string& format, int value) {
  std::string narrow;
  if (!Narrow(format, "di", narrow)) return {};
  char buffer[128];
  const int n = std::snprintf(buffer, sizeof buffer, narrow.c_str(), value);
  return n < 0 ? std::u16string() : Widen(buffer, std::min<int>(n, sizeof buffer - 1));
}
