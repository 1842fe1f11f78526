#include "foundation/FWideText.h"

#include <memory>

FString WideFromSystemText(const char* text)
{
    if (!text)
        return FString();
    if (std::unique_ptr<char16_t[]> wide = AnsiToWide(text))
        return FString(wide.get());
    return FString(text);
}

FString ExceptionWideText(const char* source, const FException& exception)
{
    const FNarrowString text("%s: %s (%s)", source, exception.GetDescription(), exception.GetMessage());
    return WideFromSystemText(text.GetText());
}
