#pragma once
// The core's open-folder object. One hierarchy serves the whole navigable
// space: the root listing the storage schemes, the volume list, the network
// servers and their shares (list-only folders), and real directories.
// Folders come from OpenFolderByURL or from another folder's OpenFolder and
// are closed by Close, which deletes the object. Names are single entry names
// inside the folder (never paths).

#include <cstdint>
#include <memory>

#include "foundation/FArray.h"
#include "foundation/FString.h"

class FIFile;

class FIFolder {
public:
    // Drive types of GetDriveType.
    enum : int {
        DRIVE_UNKNOWN = 0,
        DRIVE_NO_ROOT = 1,
        DRIVE_REMOVABLE = 2,
        DRIVE_FIXED = 3,
        DRIVE_REMOTE = 4,
        DRIVE_CDROM = 5,
        DRIVE_RAMDISK = 6,
    };
    // Modes of DeleteFolder.
    enum : int {
        DELETE_EMPTY_FOLDER = 0,
        DELETE_TREE = 1,
    };

    virtual ~FIFolder() = default;

    virtual void Close() { delete this; }
    // A new folder, or null when it is missing (and not created).
    virtual FIFolder* OpenFolder(const FString& name, bool create) = 0;
    // A new file, or null (flags: FIFile::OPEN_*).
    virtual FIFile* OpenFile(const FString& name, int flags) = 0;
    // Append the names of the files / subfolders held.
    virtual void ListFiles(FArray<FString>& names) = 0;
    virtual void ListFolders(FArray<FString>& names) = 0;
    // True when renamed. An existing entry under the new name is never replaced.
    virtual bool Rename(const FString& oldName, const FString& newName) = 0;
    // True when the file is gone afterwards.
    virtual bool DeleteFile(const FString& name) = 0;
    // The folder to delete is given by a full URL; true when it is gone afterwards.
    virtual bool DeleteFolder(const FString& folderURL, int mode) = 0;
    virtual FString GetURL() = 0;
    virtual FString GetText() = 0;
    // Stores an option word; nothing reads it.
    virtual void SetFlags(int flags) = 0;
    // Free bytes available to the caller; -1 when not applicable.
    virtual int64_t GetFreeSpace() = 0;
    virtual bool IsReadOnly() = 0;
    // Bit 0 read-only, bit 1 hidden (FILEINFO_*); false, flags unchanged, when
    // the attributes cannot be read.
    virtual bool GetInfo(int& flags) = 0;
    virtual int GetDriveType() = 0;
    virtual bool Exists(const FString& name, bool* isFolder = nullptr) = 0;
};

struct FIFolderCloser {
    void operator()(FIFolder* folder) const
    {
        if (folder != nullptr)
            folder->Close();
    }
};
using FFolderPtr = std::unique_ptr<FIFolder, FIFolderCloser>;
