#include "fileio/codecs/UnfinishedFile.h"

#include "foundation/FAssert.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"

void RemoveUnfinishedFile(const FString& url)
{
    try {
        FString name;
        FFolderPtr folder(OpenFolderByURL(url, name, false));
        if (folder && name.GetLength() > 0 && !folder->DeleteFile(name))
            DebugPrintf("Could not remove the unfinished file '%s'\n", UrlMessageText(url).c_str());
    } catch (...) {
        DebugPrintf("Could not remove the unfinished file '%s'\n", UrlMessageText(url).c_str());
    }
}

std::string UrlMessageText(const FString& url)
{
    std::unique_ptr<char[]> text = WideToAnsi(url.GetText());
    return text ? std::string(text.get()) : std::string();
}
