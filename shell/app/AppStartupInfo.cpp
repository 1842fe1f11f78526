#include "shell/app/AppStartupInfo.h"

#include "foundation/FPath.h"
#include "toolkit/PictureFileTypes.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

namespace {

// A decimal number at the start of the text after blanks; 0 without digits.
// Values beyond an int's range are held at its limit.
int LeadingNumber(std::u16string_view text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t'))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+'))
        negative = text[at++] == u'-';
    long long value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at)
        value = std::min<long long>(value * 10 + (text[at] - u'0'), INT_MAX);
    return static_cast<int>(negative ? -value : value);
}

bool SameIgnoringCase(const std::string& a, const char* b)
{
    const std::string_view other(b);
    return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

FString AbsolutePath(const std::string& argument)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(argument, error);
    if (error)
        path = argument;
    return PathFromNative(path.lexically_normal().string());
}

} // namespace

std::array<int, 4> ParseFileVersion(std::u16string_view text)
{
    std::array<int, 4> numbers{};
    std::u16string_view rest = text;
    for (size_t i = 0; i < numbers.size(); ++i) {
        const size_t separator = rest.find_first_of(u",.");
        // The first number is only taken when a separator follows it; a later
        // one without a separator is the rest of the text, and the last.
        if (separator == std::u16string_view::npos && i == 0)
            break;
        numbers[i] = LeadingNumber(rest.substr(0, separator));
        if (separator == std::u16string_view::npos)
            break;
        rest.remove_prefix(separator + 1);
    }
    return numbers;
}

StartCommandLine ParseStartCommandLine(const std::vector<std::string>& arguments)
{
    StartCommandLine parsed;
    bool switches = true;
    for (const std::string& argument : arguments) {
        if (switches && argument == "--") {
            switches = false;
            continue;
        }
        if (switches && argument.size() > 1 && argument[0] == '-') {
            const std::string name = argument.substr(argument[1] == '-' ? 2 : 1);
            if (SameIgnoringCase(name, "Embedding") || SameIgnoringCase(name, "Automation"))
                parsed.m_bShowSplash = false;
            continue;
        }
        if (parsed.m_strFileName.GetLength() == 0 && !argument.empty())
            parsed.m_strFileName = AbsolutePath(argument);
    }
    return parsed;
}

bool IsHandOverTarget(std::u16string_view path)
{
    std::string native;
    struct stat st {};
    if (path.empty() || !PathToNative(FString(path), native) || ::stat(native.c_str(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode))
        return true;
    if (!S_ISREG(st.st_mode))
        return false;
    const emETFILETYPE type = GetFileType(FString(path));
    return type == ETFILETYPE_JPEG || type == ETFILETYPE_TIFF || type == ETFILETYPE_KVR || type == ETFILETYPE_AVI;
}
