#include "foundation/FString.h"

#include <cstdio>
#include <cstring>

#include "foundation/FCLocale.h"
#include "foundation/FUnicode.h"

namespace {

// The string's own narrow-to-wide rule: sign extension, no code page.
char16_t WidenByte(char c)
{
    return static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(c)));
}

std::u16string WidenText(const char* text)
{
    std::u16string wide;
    if (text == nullptr)
        return wide;
    const size_t length = std::strlen(text);
    wide.resize(length);
    for (size_t i = 0; i < length; ++i)
        wide[i] = WidenByte(text[i]);
    return wide;
}

// Case folding of the C library in the "C" locale, for units below 128 only.
char16_t FoldUpper(char16_t unit)
{
    return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
}

char16_t FoldLower(char16_t unit)
{
    return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

template <typename NextUnit>
int CompareFolded(const char16_t* wide, NextUnit nextOther)
{
    for (size_t i = 0;; ++i) {
        const char16_t a = FoldUpper(wide[i]);
        const char16_t b = FoldUpper(nextOther(i));
        if (a != b)
            return static_cast<int>(a) - static_cast<int>(b);
        if (a == 0)
            return 0;
    }
}

const char16_t kEmptyWide[] = {0};

} // namespace

// ---- FString: construction and assignment

FString::FString() = default;

FString::FString(const char* text) : m_Text(WidenText(text)) {}

FString::FString(const char16_t* text)
{
    if (text != nullptr)
        m_Text.assign(text);
}

FString::FString(const char16_t* first, const char16_t* last)
{
    if (first != nullptr && last != nullptr && last >= first)
        m_Text.assign(first, static_cast<size_t>(last - first) + 1);
}

FString::FString(std::u16string_view text) : m_Text(text) {}

FString::FString(const FString& other) : m_Text(other.m_Text) {}

FString::FString(FString&& other) noexcept : m_Text(std::move(other.m_Text))
{
    other.m_Text.clear();
    other.ResetAscii();
}

FString::~FString() = default;

FString& FString::operator=(const FString& other)
{
    if (this != &other) {
        m_Text = other.m_Text;
        ResetAscii();
    }
    return *this;
}

FString& FString::operator=(FString&& other) noexcept
{
    if (this != &other) {
        m_Text = std::move(other.m_Text);
        other.m_Text.clear();
        other.ResetAscii();
        ResetAscii();
    }
    return *this;
}

FString& FString::operator=(const char* text)
{
    Set(text);
    return *this;
}

FString& FString::operator=(const char16_t* text)
{
    // Copied first: the text may be this string's own buffer.
    std::u16string copy = text != nullptr ? std::u16string(text) : std::u16string();
    m_Text.swap(copy);
    ResetAscii();
    return *this;
}

void FString::Set(const char* text)
{
    m_Text = WidenText(text);
    ResetAscii();
}

void FString::Empty()
{
    m_Text.clear();
    ResetAscii();
}

void FString::ResetAscii()
{
    m_Ascii.clear();
    m_iAsciiLength = 0;
}

// ---- appending

FString& FString::operator+=(char c)
{
    return *this += WidenByte(c);
}

FString& FString::operator+=(char16_t c)
{
    if (c == 0)
        return *this;
    if (c == 8) {
        if (!m_Text.empty())
            m_Text.pop_back();
        return *this;
    }
    m_Text += c;
    return *this;
}

FString& FString::operator+=(const char* text)
{
    if (text != nullptr && *text != 0)
        m_Text += WidenText(text);
    return *this;
}

FString& FString::operator+=(const char16_t* text)
{
    if (text != nullptr && *text != 0) {
        const std::u16string copy(text); // may point into this string
        m_Text += copy;
    }
    return *this;
}

FString& FString::operator+=(const FString& other)
{
    if (this == &other) {
        const std::u16string copy(other.m_Text);
        m_Text += copy;
    } else {
        m_Text += other.m_Text;
    }
    return *this;
}

void FString::RemoveLast(unsigned n)
{
    if (n <= m_Text.size())
        m_Text.resize(m_Text.size() - n);
}

int FString::TextLength(const char16_t* text)
{
    return text == nullptr ? 0 : static_cast<int>(WideLength(text));
}

const char* FString::GetAscii() const
{
    const size_t length = m_Text.size();
    if (static_cast<size_t>(m_iAsciiLength) != length || m_Ascii.size() != length)
        m_Ascii.resize(length);
    for (size_t i = 0; i < length; ++i)
        m_Ascii[i] = m_Text[i] < 0x7F ? static_cast<char>(m_Text[i]) : '?';
    m_iAsciiLength = static_cast<int>(length);
    return m_Ascii.c_str();
}

// ---- comparison

bool FString::operator==(const char16_t* text) const
{
    if (text == nullptr)
        return m_Text.empty();
    return m_Text == std::u16string_view(text);
}

bool FString::operator==(const FString& other) const
{
    return m_Text == other.m_Text;
}

bool FString::operator==(const char* text) const
{
    if (text == nullptr)
        text = "";
    if (m_Text.empty())
        return *text == 0;
    // Up to and including the terminator; the terminator of the shorter text
    // stops the walk at the first difference.
    const char16_t* wide = GetText();
    for (size_t i = 0;; ++i) {
        if (wide[i] != WidenByte(text[i]))
            return false;
        if (wide[i] == 0)
            return i == m_Text.size();
    }
}

int FString::CompareN(const char16_t* a, const char16_t* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

int FString::CompareNoCase(const char16_t* text) const
{
    if (text == nullptr)
        text = kEmptyWide;
    return CompareFolded(GetText(), [text](size_t i) { return text[i]; });
}

int FString::CompareNoCase(const char* text) const
{
    return WideCompareNoCase(GetText(), text);
}

int WideCompareNoCase(const char16_t* wide, const char* narrow)
{
    if (wide == nullptr)
        wide = kEmptyWide;
    if (narrow == nullptr)
        narrow = "";
    return CompareFolded(wide, [narrow](size_t i) { return WidenByte(narrow[i]); });
}

void FString::MakeUpper()
{
    for (char16_t& unit : m_Text)
        unit = FoldUpper(unit);
    if (m_iAsciiLength != 0)
        GetAscii();
}

void FString::MakeLower()
{
    for (char16_t& unit : m_Text)
        unit = FoldLower(unit);
    if (m_iAsciiLength != 0)
        GetAscii();
}

const char16_t* FString::Find(const FString& other) const
{
    if (m_Text.empty() || other.m_Text.empty())
        return nullptr;
    const size_t at = m_Text.find(other.m_Text);
    return at == std::u16string::npos ? nullptr : GetText() + at;
}

bool FString::Split(const char16_t* separator, FString& before, FString& after) const
{
    return Split(FString(separator), before, after);
}

bool FString::Split(const FString& separator, FString& before, FString& after) const
{
    if (m_Text.empty() || separator.m_Text.empty())
        return false;
    // Worked on copies: either output may be this string or the separator.
    const std::u16string text = m_Text;
    const std::u16string sep = separator.m_Text;
    before.Empty();
    after.Empty();
    const size_t at = text.find(sep);
    if (at == std::u16string::npos)
        return false;
    before.m_Text = text.substr(0, at);
    after.m_Text = text.substr(at + sep.size());
    return true;
}

void FString::Format(const char* format, ...)
{
    char buffer[kFormatLimit + 1];
    buffer[0] = 0;
    if (format != nullptr) {
        FScopedCLocale cLocale;
        va_list args;
        va_start(args, format);
        if (std::vsnprintf(buffer, sizeof buffer, format, args) < 0)
            buffer[0] = 0;
        va_end(args);
    }
    Set(buffer);
}

// ---- free functions

char16_t* WideCopy(char16_t* destination, const char16_t* source)
{
    size_t i = 0;
    do {
        destination[i] = source[i];
    } while (source[i++] != 0);
    return destination;
}

size_t WideLength(const char16_t* text)
{
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

int WideToAscii(const char16_t* text, char* buffer, int size)
{
    if (buffer == nullptr || size < 1)
        return 0;
    int count = 0;
    if (text != nullptr && size >= 2) {
        for (; count < size - 1 && text[count] != 0; ++count)
            buffer[count] = text[count] < 0x80 ? static_cast<char>(text[count]) : '?';
    }
    buffer[count] = 0;
    return count;
}

std::unique_ptr<char[]> WideToAnsi(const char16_t* text)
{
    if (text == nullptr)
        return nullptr;
    const std::optional<std::string> narrow = Utf16ToUtf8(std::u16string_view(text, WideLength(text)));
    if (!narrow)
        return nullptr;
    auto result = std::make_unique<char[]>(narrow->size() + 1);
    std::memcpy(result.get(), narrow->c_str(), narrow->size() + 1);
    return result;
}

std::unique_ptr<char16_t[]> AnsiToWide(const char* text)
{
    if (text == nullptr)
        return nullptr;
    const std::optional<std::u16string> wide = Utf8ToUtf16(text);
    if (!wide)
        return nullptr;
    auto result = std::make_unique<char16_t[]>(wide->size() + 1);
    std::memcpy(result.get(), wide->c_str(), (wide->size() + 1) * sizeof(char16_t));
    return result;
}

bool IsWindowsNT()
{
    return true;
}

// ---- FNarrowString

FNarrowString::FNarrowString() : m_Chars(1, '\0') {}

FNarrowString::FNarrowString(const char* text) : FNarrowString()
{
    if (text != nullptr)
        Assign(text, std::strlen(text));
}

void FNarrowString::FormatUnchecked(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

FNarrowString::FNarrowString(const FNarrowString& other) : FNarrowString()
{
    Assign(other.GetText(), other.m_Length);
}

FNarrowString::FNarrowString(FNarrowString&& other) noexcept
    : m_Chars(std::move(other.m_Chars)), m_Length(other.m_Length)
{
    other.m_Chars.assign(1, '\0');
    other.m_Length = 0;
}

FNarrowString::~FNarrowString() = default;

FNarrowString& FNarrowString::operator=(const FNarrowString& other)
{
    if (this != &other)
        Assign(other.GetText(), other.m_Length);
    return *this;
}

FNarrowString& FNarrowString::operator=(FNarrowString&& other) noexcept
{
    if (this != &other) {
        m_Chars = std::move(other.m_Chars);
        m_Length = other.m_Length;
        other.m_Chars.assign(1, '\0');
        other.m_Length = 0;
        if (m_Chars.empty())
            m_Chars.assign(1, '\0');
    }
    return *this;
}

FNarrowString& FNarrowString::operator=(const char* text)
{
    if (text == nullptr)
        Assign("", 0);
    else
        Assign(text, std::strlen(text));
    return *this;
}

void FNarrowString::Assign(const char* text, size_t length)
{
    std::vector<char> chars(text, text + length); // text may lie in m_Chars
    chars.push_back('\0');
    m_Chars.swap(chars);
    m_Length = length;
}

FNarrowString& FNarrowString::operator+=(const char* text)
{
    if (text == nullptr || *text == 0)
        return *this;
    const std::string copy(text); // may point into this string
    m_Chars.resize(m_Length); // drop terminator and any spare room
    m_Chars.insert(m_Chars.end(), copy.begin(), copy.end());
    m_Chars.push_back('\0');
    m_Length += copy.size();
    return *this;
}

FNarrowString& FNarrowString::operator+=(char c)
{
    const char text[2] = {c, 0};
    return *this += text;
}

void FNarrowString::FormatV(const char* format, va_list args)
{
    if (format == nullptr) {
        Assign("", 0);
        return;
    }
    std::vector<char> buffer(kFormatLimit + 1);
    int written;
    {
        FScopedCLocale cLocale;
        written = std::vsnprintf(buffer.data(), buffer.size(), format, args);
    }
    if (written < 0)
        Assign("", 0);
    else
        Assign(buffer.data(), std::strlen(buffer.data()));
}

void FNarrowString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

int FNarrowString::Compare(const char* text) const
{
    const int result = std::strcmp(GetText(), text != nullptr ? text : "");
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

char* FNarrowString::GetBuffer(size_t n)
{
    if (m_Chars.size() < n + 1)
        m_Chars.resize(n + 1, '\0');
    return m_Chars.data();
}
