#pragma once
// The folder classes: the root listing the storage schemes, the list-only
// folders of the disk class (volumes, network servers, shares of a server)
// and real directories.

#include <cstdint>

#include "foundation/FArray.h"
#include "foundation/FIFolder.h"
#include "foundation/FString.h"

// The root: one subfolder per registered scheme.
class FSCEnumFolder : public FIFolder {
public:
    FIFolder* OpenFolder(const FString& name, bool create) override;
    FIFile* OpenFile(const FString& name, int flags) override;
    void ListFiles(FArray<FString>& names) override;
    void ListFolders(FArray<FString>& names) override;
    // Throws FException "Cannot rename storage classes".
    bool Rename(const FString& oldName, const FString& newName) override;
    bool DeleteFile(const FString& name) override;
    // Throws FException "Cannot delete storage classes".
    bool DeleteFolder(const FString& folderURL, int mode) override;
    FString GetURL() override;
    FString GetText() override;
    void SetFlags(int flags) override;
    int64_t GetFreeSpace() override;
    bool IsReadOnly() override;
    bool GetInfo(int& flags) override;
    int GetDriveType() override;
    bool Exists(const FString& name, bool* isFolder = nullptr) override;

private:
    int m_iFlags = 0;
};

// Base of the list-only folders of a storage class: no files, nothing to
// rename or delete (both throw FExceptionFileIO).
class FNullFolder : public FIFolder {
public:
    explicit FNullFolder(const FString& scheme) : m_sScheme(scheme) {}

    FIFile* OpenFile(const FString& name, int flags) override;
    void ListFiles(FArray<FString>& names) override;
    bool Rename(const FString& oldName, const FString& newName) override;
    bool DeleteFile(const FString& name) override;
    bool DeleteFolder(const FString& folderURL, int mode) override;
    // The scheme alone.
    FString GetURL() override;
    FString GetText() override;
    void SetFlags(int flags) override;
    int64_t GetFreeSpace() override;
    bool IsReadOnly() override;
    bool GetInfo(int& flags) override;
    int GetDriveType() override;
    bool Exists(const FString& name, bool* isFolder = nullptr) override;

protected:
    FString m_sScheme;
    int m_iFlags = 0;
};

// The volumes: the file-system root, the mounted removable media, then "Network".
class FSCVolEnumFolderWin : public FNullFolder {
public:
    explicit FSCVolEnumFolderWin(const FString& scheme) : FNullFolder(scheme) {}
    FIFolder* OpenFolder(const FString& name, bool create) override;
    void ListFolders(FArray<FString>& names) override;
};

// The servers of the mounted network file systems, listed once per object.
class FSCNetEnumFolderWin : public FNullFolder {
public:
    explicit FSCNetEnumFolderWin(const FString& scheme) : FNullFolder(scheme) {}
    FIFolder* OpenFolder(const FString& name, bool create) override;
    void ListFolders(FArray<FString>& names) override;
    int64_t GetFreeSpace() override;
    int GetDriveType() override;

    // The servers (lower case) into list; false when the mount table cannot be read.
    static bool EnumServersW(FArray<FString>& list);

private:
    FArray<FString> m_Servers;
    bool m_bListed = false;
};

// The mounted shares of one server, listed once per object.
class FSCNetShareEnumFolderWin : public FNullFolder {
public:
    FSCNetShareEnumFolderWin(const FString& scheme, const FString& server);
    FIFolder* OpenFolder(const FString& name, bool create) override;
    void ListFolders(FArray<FString>& names) override;
    int GetDriveType() override;

    static bool EnumSharesW(const FString& server, FArray<FString>& list);

private:
    FString m_sServer;
    bool m_bServerKnown = false;
    FArray<FString> m_Shares;
    bool m_bListed = false;
};

// A real directory.
class FSCFolderWin : public FIFolder {
public:
    // The native path is kept without a trailing separator (the root stays "/").
    FSCFolderWin(const FString& scheme, const FString& nativePath);

    FIFolder* OpenFolder(const FString& name, bool create) override;
    FIFile* OpenFile(const FString& name, int flags) override;
    void ListFiles(FArray<FString>& names) override;
    void ListFolders(FArray<FString>& names) override;
    bool Rename(const FString& oldName, const FString& newName) override;
    bool DeleteFile(const FString& name) override;
    bool DeleteFolder(const FString& folderURL, int mode) override;
    FString GetURL() override;
    FString GetText() override;
    void SetFlags(int flags) override;
    int64_t GetFreeSpace() override;
    bool IsReadOnly() override;
    bool GetInfo(int& flags) override;
    int GetDriveType() override;
    bool Exists(const FString& name, bool* isFolder = nullptr) override;

    const FString& GetNativePath() const { return m_sNativePath; }

    // Deletes the folder with everything in it. Symbolic links are removed,
    // never followed, so nothing outside the tree is touched. True when the
    // folder is gone.
    static bool DeleteTree(const FString& nativePath);

private:
    FString EntryPath(const FString& name) const;

    int m_iFlags = 0;
    FString m_sScheme;
    FString m_sNativePath;
};
