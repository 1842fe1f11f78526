// Hostile texts of the shell's services: MIME glob lists, desktop entries,
// Exec lines and item-ID lists. The first byte picks the reader; an item-ID
// list that is accepted must be written back to the same IDs.
#include "platform/shell/FileTypes.h"
#include "platform/shell/ShellItems.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace platform::shell;
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 4) {
    case 0: {
        std::map<std::string, std::pair<int, std::string>> types;
        ParseMimeGlobs(text, types);
        break;
    }
    case 1:
        if (const auto entry = ParseDesktopEntry(text)) {
            if (const auto exec = SplitExec(entry->exec))
                ArgumentsForFile(*exec, "/a file");
        }
        break;
    case 2:
        if (const auto exec = SplitExec(text))
            ArgumentsForFile(*exec, "/a file");
        break;
    default:
        if (const auto route = RouteOfList(reinterpret_cast<const ITEMIDLIST*>(data + 1), size - 1)) {
            ITEMIDLIST* list = ListOfRoute(*route);
            if (!list || RouteOfList(list) != route)
                __builtin_trap();
            ILFree(list);
        }
        break;
    }
    return 0;
}
