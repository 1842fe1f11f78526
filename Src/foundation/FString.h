#pragma once
// The core's two string classes.
//
// FString is the wide string of every path, URL, name and property: UTF-16 in
// char16_t, with a cached 7-bit narrow copy for the places that need char text.
// Its own narrow<->wide rules are deliberately lossy (see the comments below);
// text that must survive non-ASCII characters goes through AnsiToWide and
// WideToAnsi, whose "ANSI" code page is UTF-8.
//
// FNarrowString is the narrow string of exception messages, formatted texts and
// property-map keys and values.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#if defined(__GNUC__)
#define FSTRING_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define FSTRING_PRINTF_LIKE(fmt, args)
#endif

class FString {
public:
    // Longest text FString::Format produces; longer results are cut.
    static constexpr int kFormatLimit = 8191;

    FString();
    // Each byte becomes one unit by sign extension (0x80-0xFF -> 0xFF80-0xFFFF).
    // Null gives the empty string.
    FString(const char* text);
    FString(const char16_t* text);
    // Units from first to last, both inclusive; last == first - 1 gives "".
    FString(const char16_t* first, const char16_t* last);
    // Every unit of the view, embedded zeros included.
    explicit FString(std::u16string_view text);
    FString(const FString& other);
    FString(FString&& other) noexcept;
    ~FString();

    FString& operator=(const FString& other);
    FString& operator=(FString&& other) noexcept;
    FString& operator=(const char* text);
    FString& operator=(const char16_t* text);
    void Set(const char* text);
    void Empty();

    // Character 0 appends nothing; character 8 (backspace) removes the last unit.
    FString& operator+=(char c);
    FString& operator+=(char16_t c);
    // Appends every unit (no backspace handling); null or "" appends nothing.
    FString& operator+=(const char* text);
    FString& operator+=(const char16_t* text);
    FString& operator+=(const FString& other);

    // Drops the last n units when n <= length, otherwise nothing.
    void RemoveLast(unsigned n);

    const char16_t* GetText() const { return m_Text.c_str(); }
    int GetLength() const { return static_cast<int>(m_Text.size()); }
    std::u16string_view View() const { return m_Text; }
    static int TextLength(const char16_t* text);

    // 7-bit narrow copy: units below 0x7F keep their low byte, all others give '?'.
    // Valid until the string changes or GetAscii runs again.
    const char* GetAscii() const;

    bool operator==(const char16_t* text) const;
    bool operator==(const FString& other) const;
    // Compares with the sign-extended bytes of the narrow text.
    bool operator==(const char* text) const;
    bool operator!=(const char16_t* text) const { return !(*this == text); }
    bool operator!=(const FString& other) const { return !(*this == other); }
    bool operator!=(const char* text) const { return !(*this == text); }

    // First n units as unsigned values, not stopping at terminators: -1, 0 or 1.
    static int CompareN(const char16_t* a, const char16_t* b, size_t n);
    // Difference of the first differing pair of case-folded units (ASCII folding only).
    int CompareNoCase(const char16_t* text) const;
    int CompareNoCase(const char* text) const;

    void MakeUpper();
    void MakeLower();

    // Pointer into this string's text at the first occurrence of other, or null;
    // null when either string is empty.
    const char16_t* Find(const FString& other) const;

    // Splits at the first separator: before and after get the text around it
    // (either may be empty) and the result is true. Without a separator both
    // outputs are emptied and the result is false. An empty string or separator
    // gives false and leaves both outputs untouched.
    bool Split(const char16_t* separator, FString& before, FString& after) const;
    bool Split(const FString& separator, FString& before, FString& after) const;

    // printf-style formatting in the "C" locale; the result goes through Set().
    void Format(const char* format, ...) FSTRING_PRINTF_LIKE(2, 3);

private:
    void ResetAscii();

    std::u16string m_Text;
    mutable std::string m_Ascii;
    mutable int m_iAsciiLength = 0;
};

// Copies including the terminator and returns destination.
char16_t* WideCopy(char16_t* destination, const char16_t* source);
// Units before the terminator; text must not be null.
size_t WideLength(const char16_t* text);
// Copies at most size - 1 units (units below 0x80 keep their byte, others give
// '?') and always terminates; size below 2 writes "" and returns 0.
int WideToAscii(const char16_t* text, char* buffer, int size);
// UTF-16 <-> UTF-8 (the system's "ANSI" code page). Null input or text that is
// not valid in its encoding gives null.
std::unique_ptr<char[]> WideToAnsi(const char16_t* text);
std::unique_ptr<char16_t[]> AnsiToWide(const char* text);
// The wide forms of the operating-system calls are always available here.
bool IsWindowsNT();
// Case-insensitive comparison (ASCII folding) of UTF-16 text against narrow text.
int WideCompareNoCase(const char16_t* wide, const char* narrow);

class FNarrowString {
public:
    // Longest text the formatting operations produce; longer results are cut.
    static constexpr int kFormatLimit = 9999;

    FNarrowString();
    // A single argument is always copied verbatim, never read as a format, so a
    // text holding '%' comes out exactly as it went in.
    FNarrowString(const char* text);
    // printf-style formatting in the "C" locale; chosen only when at least one
    // argument follows the format. Arguments must be numbers or pointers (pass
    // GetText() of strings).
    template <typename Arg, typename... Rest>
    FNarrowString(const char* format, Arg arg, Rest... rest) : FNarrowString()
    {
        static_assert(std::is_scalar_v<Arg> && (std::is_scalar_v<Rest> && ...),
                      "format arguments must be numbers or pointers");
        FormatUnchecked(format, arg, rest...);
    }
    FNarrowString(const FNarrowString& other);
    FNarrowString(FNarrowString&& other) noexcept;
    ~FNarrowString();

    FNarrowString& operator=(const FNarrowString& other);
    FNarrowString& operator=(FNarrowString&& other) noexcept;
    FNarrowString& operator=(const char* text);
    FNarrowString& operator+=(const char* text);
    // Character 0 appends nothing.
    FNarrowString& operator+=(char c);

    void FormatV(const char* format, va_list args) FSTRING_PRINTF_LIKE(2, 0);
    void Format(const char* format, ...) FSTRING_PRINTF_LIKE(2, 3);

    int GetLength() const { return static_cast<int>(m_Length); }
    const char* GetText() const { return m_Chars.data(); }
    // Byte-wise comparison of unsigned bytes: -1, 0 or 1. Null compares as "".
    int Compare(const char* text) const;
    bool operator<(const FNarrowString& other) const { return Compare(other.GetText()) < 0; }
    bool operator==(const FNarrowString& other) const { return Compare(other.GetText()) == 0; }

    // Room for at least n characters plus the terminator; keeps contents and length.
    char* GetBuffer(size_t n);

private:
    void FormatUnchecked(const char* format, ...);
    void Assign(const char* text, size_t length);

    // Always holds at least m_Length + 1 characters, the terminator included.
    std::vector<char> m_Chars;
    size_t m_Length = 0;
};
