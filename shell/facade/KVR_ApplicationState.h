#pragma once
// What the facade's file functions need of the application's shared state:
// the program's version, the text table's display names, the per-file
// white-balance and colour-mode lists the user chose from, and the
// shooting-information cache that must forget a file the facade changed.
//
// The application object installs its own state at start-up
// (KVR_SetApplicationState) and removes it before it goes. Until then, and
// whenever none is installed, the base class's behaviour holds: version
// 4.0.0.0, no text table (descriptors are shown as they are), lists filled
// from the file at every call, and no cache to renew.
//
// The facade calls these while the calling thread may hold the engine lock.
// An implementation must therefore never wait there for a lock that another
// thread may hold while it waits for the engine lock (the shooting-information
// lock is such a lock): the list locks rank after the engine lock and may be
// waited for; a shooting-information cache is best changed under a lock held
// only around the change itself.

#include "foundation/FString.h"
#include "managers/IPManagerData.h" // FVersionNumber
#include "shell/facade/CKVR_Data_FileList.h"

class KVRApplicationState {
public:
    virtual ~KVRApplicationState() = default;

    // The program's four version numbers.
    virtual FVersionNumber GetVersion() const;
    // The text of the id, empty when the table has none.
    virtual FString GetString(int textId) const;
    // A copy of the file's list into list; false when none can be had.
    virtual bool GetWBList(const FString& nativePath, CKVR_Data_FileList<CKVR_WBData>& list);
    virtual bool GetColorModeList(const FString& nativePath, CKVR_Data_FileList<CKVR_CMData>& list);
    // Forgets the cached shooting information of the file, which changed.
    virtual void RemoveExif(const FString& nativePath);
};

// Installs the application's state (null: the base class's behaviour). The
// state must live until it is replaced.
void KVR_SetApplicationState(KVRApplicationState* state);
KVRApplicationState& KVR_GetApplicationState();
