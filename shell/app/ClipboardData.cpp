#include "shell/app/ClipboardData.h"

#include "foundation/FByteReader.h"
#include "foundation/FPath.h"
#include "toolkit/FileOperations.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

constexpr uint32_t kDropFilesHeaderSize = 20;

struct BlockOverrun : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void ThrowOverrun(const char* what) { throw BlockOverrun(what); }

} // namespace

std::vector<BYTE> MakeClipboardFileList(const FArray<FString>& paths)
{
    std::vector<BYTE> block = MakeDropFilesBlock(&paths);
    // The list ends with its one extra 0 character; anything after it is spare.
    size_t characters = 1;
    for (const FString& path : paths)
        characters += static_cast<size_t>(path.GetLength()) + 1;
    block.resize(std::min(block.size(), kDropFilesHeaderSize + 2 * characters));
    return block;
}

bool ReadClipboardFileList(const BYTE* block, size_t size, FArray<FString>& paths)
{
    if (!block)
        return false;
    FArray<FString> found;
    try {
        FByteReader reader(block, size, ThrowOverrun);
        const uint32_t namesAt = reader.U32LE();
        reader.Skip(12); // drop point and non-client flag
        const bool wide = reader.U32LE() != 0;
        if (namesAt < kDropFilesHeaderSize)
            return false;
        reader.Seek(namesAt);
        for (;;) {
            if (wide) {
                std::u16string name;
                for (char16_t unit = reader.U16LE(); unit != 0; unit = reader.U16LE())
                    name += unit;
                if (name.empty())
                    break;
                found.Append(FString(std::u16string_view(name)));
            } else {
                std::string name;
                for (char c = static_cast<char>(reader.U8()); c != 0; c = static_cast<char>(reader.U8()))
                    name += c;
                if (name.empty())
                    break;
                found.Append(PathFromNative(name));
            }
        }
    } catch (const BlockOverrun&) {
        return false;
    }
    if (found.GetCount() == 0)
        return false;
    paths.AppendAll(found);
    return true;
}

std::vector<BYTE> MakeClipboardDropEffect(DWORD effect)
{
    return {static_cast<BYTE>(effect), static_cast<BYTE>(effect >> 8), static_cast<BYTE>(effect >> 16),
            static_cast<BYTE>(effect >> 24)};
}

bool ReadClipboardDropEffect(const BYTE* block, size_t size, DWORD& effect)
{
    if (!block || size < 4)
        return false;
    effect = static_cast<DWORD>(block[0]) | static_cast<DWORD>(block[1]) << 8 | static_cast<DWORD>(block[2]) << 16 |
             static_cast<DWORD>(block[3]) << 24;
    return true;
}

std::vector<BYTE> MakeClipboardText(std::u16string_view text)
{
    std::vector<BYTE> block;
    block.reserve(text.size() * 2 + 2);
    const auto add = [&block](char16_t unit) {
        block.push_back(static_cast<BYTE>(unit & 0xFF));
        block.push_back(static_cast<BYTE>(unit >> 8));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            add(u'\r');
        add(text[i]);
    }
    add(0);
    return block;
}

int BuildMultiString(char16_t* buffer, int size, const FArray<FString>& strings)
{
    int needed = 1;
    for (const FString& text : strings)
        needed += text.GetLength() + 1;
    if (!buffer || size <= 0)
        return needed;
    int at = 0;
    const auto put = [&](char16_t unit) {
        if (at < size - 1)
            buffer[at++] = unit;
    };
    for (const FString& text : strings) {
        for (const char16_t unit : text.View())
            put(unit);
        put(0);
    }
    buffer[at] = 0;
    return needed;
}
