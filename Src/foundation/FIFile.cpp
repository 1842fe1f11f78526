#include "foundation/FIFile.h"

#include <algorithm>
#include <string>
#include <sys/stat.h>

#include "foundation/FException.h"
#include "foundation/FIFolder.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"

namespace {

constexpr int64_t kDefaultCopyChunk = 4096;

// Opening the destination truncates it, so a copy onto the source itself would
// destroy the source.
bool IsSameFile(const FString& urlA, const FString& urlB)
{
    FString nativeA;
    FString nativeB;
    std::string bytesA;
    std::string bytesB;
    struct stat a {};
    struct stat b {};
    return URLToNativePath(urlA, nativeA) && URLToNativePath(urlB, nativeB) && PathToNative(nativeA, bytesA) &&
           PathToNative(nativeB, bytesB) && stat(bytesA.c_str(), &a) == 0 && stat(bytesB.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

FCopyableFile::~FCopyableFile()
{
    CloseCopyDestination();
}

void FCopyableFile::CloseCopyDestination()
{
    if (m_pCopyFile != nullptr)
        m_pCopyFile->Close();
    if (m_pCopyFolder != nullptr)
        m_pCopyFolder->Close();
    m_pCopyFile = nullptr;
    m_pCopyFolder = nullptr;
    m_CopyBuffer.clear();
    m_CopyBuffer.shrink_to_fit();
}

bool FCopyableFile::BeginCopy(const FString& destinationURL, int64_t chunkSize, int64_t* totalSize)
{
    if (totalSize != nullptr)
        *totalSize = 0;
    if (m_pCopyFile != nullptr)
        throw FException("Copy in Progress!");

    FArray<FString> parts;
    SplitPathParts(destinationURL, parts, u'/');
    if (parts.GetCount() == 0)
        return false;
    FString fileName;
    DecodeURLEscapes(parts[parts.GetCount() - 1], fileName);
    parts.RemoveAt(parts.GetCount() - 1);
    FString folderURL;
    JoinPathParts(parts, folderURL, u'/');
    if (fileName.GetLength() == 0 || IsSameFile(destinationURL, GetURL()))
        return false;

    FString ignoredName;
    FIFolder* folder = OpenFolderByURL(folderURL, ignoredName, true);
    if (folder == nullptr)
        return false;
    FIFile* file = folder->OpenFile(fileName, FIFile::OPEN_WRITE);
    if (file == nullptr) {
        folder->Close();
        return false;
    }
    m_pCopyFolder = folder;
    m_pCopyFile = file;

    if (totalSize != nullptr)
        *totalSize = GetSize();
    m_iCopyChunkSize = chunkSize > 0 ? chunkSize : kDefaultCopyChunk;
    m_CopyBuffer.assign(static_cast<size_t>(m_iCopyChunkSize), 0);
    return true;
}

bool FCopyableFile::CopyChunk(int64_t count)
{
    if (m_pCopyFile == nullptr)
        throw FException("Destination file not opened!");
    // The buffer holds one chunk: a larger count is cut to it.
    count = std::clamp<int64_t>(count, 0, m_iCopyChunkSize);
    const int64_t got = Read(m_CopyBuffer.data(), count);
    if (got == 0 && count > 0)
        return false; // the source ended early: nothing was copied
    return m_pCopyFile->Write(m_CopyBuffer.data(), got);
}

void FCopyableFile::EndCopy()
{
    if (m_pCopyFile == nullptr)
        throw FException("Destination file not opened!");
    CloseCopyDestination();
}
