#include "shell/dialogs/RenameNames.h"

#include <limits>
#include <string>
#include <string_view>

namespace {

constexpr std::u16string_view kForbidden = u"\\/*?:<>\"|";

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

} // namespace

FString RenameExtensionOf(const FString& name) {
  const std::u16string_view text = name.View();
  const size_t dot = text.rfind(u'.');
  return dot == std::u16string_view::npos ? FString() : FString(text.substr(dot));
}

FString RenameStemOf(const FString& name) {
  const std::u16string_view text = name.View();
  const size_t dot = text.rfind(u'.');
  return FString(dot == std::u16string_view::npos ? text : text.substr(0, dot));
}

bool HasForbiddenNameCharacter(const FString& text) {
  return text.View().find_first_of(kForbidden) != std::u16string_view::npos;
}

TypedNameFault CheckTypedName(const FString& typed, const FString& extension) {
  if (HasForbiddenNameCharacter(typed)) return TypedNameFault::ForbiddenCharacter;
  if (typed.GetLength() == 0) return TypedNameFault::Empty;
  FString name = typed;
  name += extension;
  if (name == u"." || name == u"..") return TypedNameFault::DotsOnly;
  return TypedNameFault::None;
}

int RenameStartNumber(const FString& digits) {
  int64_t value = 0;
  for (const char16_t c : digits.View()) {
    if (!IsDigit(c)) break;
    value = value * 10 + (c - u'0');
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  }
  return static_cast<int>(value);
}

FString RenameBatchName(const FString& base, int64_t start, int row, const FString& extension) {
  FString name = base;
  const std::string number = std::to_string(start + row);
  name += number.c_str();
  name += extension;
  return name;
}

CleanedDigits RenameCleanStartNumber(const FString& text) {
  CleanedDigits cleaned;
  std::u16string digits;
  for (const char16_t c : text.View()) {
    if (IsDigit(c)) {
      digits += c;
    } else {
      cleaned.caret = static_cast<int>(digits.size());
    }
  }
  cleaned.text = FString(std::u16string_view(digits));
  return cleaned;
}
