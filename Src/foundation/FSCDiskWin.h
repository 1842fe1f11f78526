#pragma once
// The disk storage class: maps "disk" URL paths to native (POSIX) paths and
// back, opens files and folders, knows the special folders, launches
// documents and moves files to the trash.
//
// Mapping (lossless for every POSIX path; see docs/platform.md):
//   /home/a b/x?.kvr          <-> C/home/a b/x%003F.kvr      (C is the root volume)
//   a removable volume CARD    -> CARD/...  (its mount point; read back as C/...)
//   Network/server/share/...   -> the mount point of a mounted network share

#include "foundation/FArray.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"

// The first URL part that stands for the file-system root, and the branch of
// the mounted network shares.
inline constexpr const char16_t* kRootVolumeName = u"C";
inline constexpr const char16_t* kNetworkVolumeName = u"Network";

class FSCDiskWin : public FIStorageClass {
public:
    explicit FSCDiskWin(const FString& scheme);

    FIFile* OpenFile(const FString& path, int flags) override;
    FIFolder* OpenFolder(const FString& path, FString& name, bool create) override;
    bool GetSpecialFolderURL(int kind, FString& url) override;
    bool ToNativePath(const FString& path, FString& native) override;
    bool FromNativePath(const FString& native, FString& path) override;
    FString GetName() override;
    FString GetDescription() override;
    // Opens the document with xdg-open. Throws FExceptionFileNotFound,
    // FExceptionLaunchFailed (no application for it) or FExceptionFileIO with
    // "FSCDiskWin::Launch: '<native path>'".
    void Launch(const FString& path, const FString& parameters) override;
    bool Exists(const FString& path, bool* isFolder = nullptr) override;
    // Moves the file or folder into the freedesktop trash. Throws
    // FExceptionFileIO "FSCDiskWin::MoveToTrash: '<native path>'" on failure.
    void MoveToTrash(const FString& path) override;

    // Creates the folder of the URL path and its missing parents. False when it
    // already exists or cannot be created.
    static bool CreateFolderPath(const FString& path);

private:
    FString m_sScheme;
};

// ---- Free functions of the disk class

// The URL path parts of a native path, without the scheme and without making
// a relative path absolute.
void NativePathToURLParts(const FString& native, FArray<FString>& parts);

bool PathExists(const FString& native, bool* isFolder = nullptr);

// Creates the native folder and the missing folders above it (mode before the
// umask). True when it exists as a folder afterwards.
bool CreateNativeFolders(const FString& native, unsigned mode = 0777);

// Special folders by the platform's folder numbers. The folder is created when
// missing; false and an empty out when there is none.
enum : int {
    CSIDL_DESKTOP = 0x0000,
    CSIDL_PROGRAMS = 0x0002,
    CSIDL_PERSONAL = 0x0005, // documents
    CSIDL_STARTUP = 0x0007,
    CSIDL_DESKTOPDIRECTORY = 0x0010,
    CSIDL_APPDATA = 0x001A,       // the per-user settings folder
    CSIDL_LOCAL_APPDATA = 0x001C, // the per-user settings folder
    CSIDL_MYPICTURES = 0x0027,
};
bool GetShellFolderPath(int csidl, FString& out);

// The native path of the running program.
void GetProgramPath(FString& out);

// The program's data folder (text and font tables, profiles, manual): the
// folder "resources" beside the program file when there is one, else the
// program file's own folder.
FString ProgramDataFolder(const FString& programPath);

// The process's private temporary folder (mode 0700, under $TMPDIR or /tmp),
// made on first use and again when it has vanished; removed by
// ReleaseStorageClasses and at exit. Empty when it cannot be made.
FString GetPrivateTempFolder();
void RemovePrivateTempFolder();
// Removes the private temporary folders of this user whose process no
// longer runs (each holds a lock file its process keeps locked); folders of
// running processes, of other users and without the lock file are left.
// The number removed.
int RemoveStaleTempFolders();
