#pragma once
// A file written under a temporary name in the folder of its final name and
// put in place only once it is complete. Until then nothing is visible under
// the final name: a save that fails or is cancelled at any point leaves no
// file behind, and an existing file is replaced only by a finished one (the
// rename is atomic, so readers see either the old file or the new one).
//
// The temporary name is hidden (it starts with a dot) and unique in its
// folder; it is created empty and exclusively, so no other file is ever
// overwritten through it. An existing file of the final name gives its
// permissions to the new one; a locked (read-only) file is never replaced.
#include "foundation/FString.h"

#include <string>

class FTemporaryOutputFile {
public:
    // Creates the temporary file beside the final one. Throws
    // FExceptionFileOpen when the URL names no native path, a folder or a
    // locked file, or when the folder cannot hold a new file.
    explicit FTemporaryOutputFile(const FString& finalURL);
    // Removes the temporary file unless it was committed.
    ~FTemporaryOutputFile();
    FTemporaryOutputFile(const FTemporaryOutputFile&) = delete;
    FTemporaryOutputFile& operator=(const FTemporaryOutputFile&) = delete;

    // Where the writer writes.
    const FString& GetURL() const { return m_sTemporaryURL; }
    // Puts the finished file in place of the final one. Throws
    // FExceptionFileWrite when the temporary file is gone (its writer removed
    // it as unfinished) or cannot be renamed; it is removed then.
    void Commit();
    bool IsCommitted() const { return m_bCommitted; }

private:
    std::string m_sFinalPath;     // native bytes
    std::string m_sTemporaryPath; // native bytes
    FString m_sTemporaryURL;
    bool m_bCommitted = false;
};
