#include "toolkit/TextConversion.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Freed {
  void operator()(char* p) const { std::free(p); }
};

std::u16string Wide(const char* text, UINT codePage) {
  std::unique_ptr<char16_t[]> wide(MultiByteToWideAlloc(text, codePage));
  return wide ? std::u16string(wide.get()) : u"<null>";
}

std::string Narrow(const std::vector<BYTE>& bytes, int count, UINT codePage) {
  std::unique_ptr<char, Freed> narrow(Utf16ToMultiByte(count, bytes.data(), codePage));
  return narrow ? std::string(narrow.get()) : "<null>";
}

std::vector<BYTE> Le(const std::u16string& text) {
  std::vector<BYTE> bytes;
  for (char16_t c : text) {
    bytes.push_back(BYTE(c));
    bytes.push_back(BYTE(c >> 8));
  }
  return bytes;
}

TEST(TextConversionTest, NarrowTextOfACodePageToWide) {
  EXPECT_EQ(Wide("Daylight", 0), u"Daylight");
  EXPECT_EQ(Wide("Tageslicht \xC3\xBC", 65001), u"Tageslicht \u00FC");
  EXPECT_EQ(Wide("\x93\xFA\x8C\xF5", 932), u"\u65E5\u5149"); // Shift-JIS "daylight"
  EXPECT_EQ(Wide("caf\xE9", 1252), u"caf\u00E9");
  EXPECT_EQ(Wide("", 0), u"");
  EXPECT_EQ(Wide(nullptr, 0), u"<null>");
  EXPECT_EQ(Wide("\xC3", 65001), u"<null>"); // cut UTF-8
  EXPECT_EQ(Wide("x", 99999), u"<null>");
}

TEST(TextConversionTest, WideTextToACodePageWithinItsCount) {
  EXPECT_EQ(Narrow(Le(u"Flash"), 5, 0), "Flash");
  EXPECT_EQ(Narrow(Le(u"Flash"), 3, 0), "Fla");
  EXPECT_EQ(Narrow(Le(u"\uFEFFShade"), 6, 0), "Shade"); // the mark counts among the units
  EXPECT_EQ(Narrow(Le(u"\uFEFF"), 1, 0), "");
  EXPECT_EQ(Narrow({0xFE, 0xFF, 0x00, 'B', 0x00, 'E'}, 3, 0), "BE");
  EXPECT_EQ(Narrow(Le(std::u16string(u"a\0b", 3)), 3, 0), "a");
  EXPECT_EQ(Narrow(Le(u"\u65E5\u5149"), 2, 932), "\x93\xFA\x8C\xF5");
  EXPECT_EQ(Narrow(Le(u"\u65E5"), 1, 1252), ""); // not in the code page
  EXPECT_EQ(Narrow({0x00, 0xD8}, 1, 0), "");      // a lone surrogate
  EXPECT_EQ(Narrow({}, 0, 0), "");
}

} // namespace
