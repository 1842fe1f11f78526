#pragma once
// Storage URLs and the storage-class registry.
//
// The core never opens a file by its native path: every file and folder is
// named by a URL "scheme://part/part/...", and the scheme selects the storage
// class that maps the path to a real file system. Characters that cannot
// stand in a part are written as '%' and four upper-case hexadecimal digits of
// the UTF-16 unit (the nine * | \ / : " < > ?, and a '%' that a decoder would
// otherwise read as an escape).

#include <memory>

#include "foundation/FArray.h"
#include "foundation/FIFile.h"
#include "foundation/FIFolder.h"
#include "foundation/FString.h"

class FIStorageClass {
public:
    // Special folder kinds (7 is not defined).
    enum : int {
        FOLDER_PROGRAM = 0,
        FOLDER_APPDATA = 1,
        FOLDER_TEMP = 2,
        FOLDER_SYSTEM = 3,
        FOLDER_DESKTOP = 4,
        FOLDER_PROGRAMS = 5,
        FOLDER_STARTUP = 6,
        FOLDER_DOCUMENTS = 8,
    };

    virtual ~FIStorageClass() = default;

    // Paths are URL paths without the scheme.
    virtual FIFile* OpenFile(const FString& path, int flags) = 0;
    // When the path names a file, the folder returned is the file's folder and
    // its name goes to name out.
    virtual FIFolder* OpenFolder(const FString& path, FString& name, bool create) = 0;
    virtual bool GetSpecialFolderURL(int kind, FString& url) = 0;
    virtual bool ToNativePath(const FString& path, FString& native) = 0;
    virtual bool FromNativePath(const FString& native, FString& path) = 0;
    virtual FString GetName() = 0;
    virtual FString GetDescription() = 0;
    virtual void Launch(const FString& path, const FString& parameters) = 0;
    virtual bool Exists(const FString& path, bool* isFolder = nullptr) = 0;
    virtual void MoveToTrash(const FString& path) = 0;
};

struct FStorageClassEntry {
    FString m_sScheme;
    std::unique_ptr<FIStorageClass> m_pClass;
};

// ---- Registry

// Once at start: registers the disk class under "disk".
void InitStorageClasses();
// The registry owns the class from then on.
void RegisterStorageClass(const FString& scheme, FIStorageClass* storageClass);
// Once at exit: deletes every class; look-ups afterwards find none. Files and
// folders opened through a class must be closed before.
void ReleaseStorageClasses();
// The class of the URL's scheme (case-sensitive) and the path after "://"; null when none.
FIStorageClass* FindStorageClass(const FString& url, FString& path);
// Appends the registered schemes in registration order.
void ListStorageClassSchemes(FArray<FString>& schemes);

// ---- Routing (failures give null or false; the classes may throw)

// Null for an empty URL, a scheme without class or a file that cannot be opened.
FIFile* OpenFileByURL(const FString& url, int flags);
// An empty URL gives the root folder that lists the schemes.
FIFolder* OpenFolderByURL(const FString& url, FString& name, bool create);
bool URLToNativePath(const FString& url, FString& native);
bool NativePathToURL(const FString& native, FString& url);
// Empty when no class knows the kind.
FString GetSpecialFolderURL(int kind);
// Leaves info unchanged when the file cannot be opened.
void GetFileInfoByURL(const FString& url, FFileInfo& info);
// Only the read-only flag takes effect; true when it was applied.
bool SetFileInfoByURL(const FString& url, const FFileInfo& info);

// ---- URL and path text

// Scheme first, then the path's non-empty parts; without "://" the whole text
// is the single part. Always true.
bool SplitURL(const FString& url, FArray<FString>& parts);
// parts[0] + "://" + the rest joined with "/" (+ "/" when asked); false and an
// empty URL for no parts.
bool JoinURL(const FArray<FString>& parts, FString& url, bool trailingSlash);
// Cuts at every separator; empty parts between separators stay, an empty piece
// after the last separator is not added.
void SplitPathParts(const FString& text, FArray<FString>& parts, char16_t separator);
void JoinPathParts(const FArray<FString>& parts, FString& text, char16_t separator);
// One native name <-> one URL part.
void EncodeURLEscapes(const FString& part, FString& out);
void DecodeURLEscapes(const FString& part, FString& out);
