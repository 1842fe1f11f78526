#include "fileio/container/PdxbJPEGImage.h"

#include <atomic>

#include "fileio/codecs/FJPEGImageReader.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FIFile.h"
#include "foundation/FIFolder.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"

namespace {

// Unique among the decodes of this process, which alone uses its private
// temporary folder.
std::atomic<uint32_t> g_NextTempNumber{0};

FString NextTempName()
{
    FString name;
    name.Format("__TempPdxJPG_%08x.tmp", g_NextTempNumber.fetch_add(1, std::memory_order_relaxed));
    return name;
}

// The staged file, removed when the decode ends in any way.
class StagedFile {
public:
    StagedFile(FIFolder& folder, const FString& name) : m_Folder(folder), m_Name(name) {}
    ~StagedFile()
    {
        try {
            if (!m_Folder.DeleteFile(m_Name))
                DebugPrintf("ReadImageJPEG: could not remove '%s'\n", m_Name.GetAscii());
        } catch (...) {
            DebugPrintf("ReadImageJPEG: could not remove '%s'\n", m_Name.GetAscii());
        }
    }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

private:
    FIFolder& m_Folder;
    FString m_Name;
};

FIFolder* OpenTempFolder()
{
    try {
        const FString url = GetSpecialFolderURL(FIStorageClass::FOLDER_TEMP);
        if (url.GetLength() == 0)
            return nullptr;
        FString name;
        return OpenFolderByURL(url, name, true);
    } catch (const FException& e) {
        DebugPrintf("ReadImageJPEG: %s (%s)\n", e.GetDescription(), e.GetMessage());
        return nullptr;
    }
}

// Writes the bytes to the new file and returns its URL; false when it cannot.
bool WriteStagedFile(FIFolder& folder, const FString& name, const uint8_t* data, size_t size, FString& url)
{
    try {
        FFilePtr file(folder.OpenFile(name, FIFile::OPEN_WRITE));
        if (!file || !file->Write(data, static_cast<int64_t>(size)) || !file->Flush())
            return false;
        url = file->GetURL();
        return true;
    } catch (const FException& e) {
        DebugPrintf("ReadImageJPEG: %s (%s)\n", e.GetDescription(), e.GetMessage());
        return false;
    }
}

}  // namespace

bool ReadImageJPEG(const uint8_t* data, size_t size, FPixmap* pixmap)
{
    FFolderPtr folder(OpenTempFolder());
    if (!folder)
        return false;
    const FString name = NextTempName();
    StagedFile staged(*folder, name);
    FString url;
    if (!WriteStagedFile(*folder, name, data, size, url))
        return false;

    FJPEGImageReader reader(url);
    reader.SetScale(0);
    uint32_t columns = 0;
    uint32_t rows = 0;
    int32_t pixelType = 0;
    reader.GetDimensions(columns, rows, pixelType);
    reader.ReadImage(pixmap);
    return true;
}
