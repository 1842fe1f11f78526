// Hostile text and font tables: only lines with exact columns become entries,
// and a table text used as a format never reaches printf unchecked.
#include "shell/app/ClipboardData.h"
#include "shell/app/TextTables.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CStringTable table;
    table.Load(bytes);
    for (int i = 0; i < table.GetCount() && i < 8; ++i) {
        const CStringItem* item = table.Find(i < 4 ? i : 100 + i);
        const std::u16string format = item ? item->m_strText : std::u16string(u"%d");
        FormatTableText(format, {3, 10});
        FormatTableText(format, {1.5, 2});
        FormatTableText(format, {2.25});
    }
    int fonts = 0;
    ForEachFontTableLine(bytes, [&fonts](const CFontDescription&) { ++fonts; });

    // The same bytes as a file list from another program's clipboard.
    FArray<FString> paths;
    ReadClipboardFileList(data, size, paths);
    return 0;
}
