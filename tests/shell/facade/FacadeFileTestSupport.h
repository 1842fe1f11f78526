#pragma once
// Shared by the tests of the facade's file functions: a suite on one synthetic
// camera file, an application state that records what the facade asks of it,
// the engine lock's state as another thread sees it, and a raw file's
// properties read through a handle.

#include "engine/colour/TransformColor.h"
#include "foundation/FPath.h"
#include "shell/facade/KVR_ApplicationState.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EngineLock.h"
#include "shell/facade/KVR_Manager.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TempFileTest.h"

#include <future>
#include <string>
#include <vector>

namespace testsupport {

// A suite on one shot of the synthetic camera, made once: the suite's
// SetUpTestSuite calls SetUpShot.
class SyntheticShotTest : public TempFileTest {
protected:
    static void SetUpShot(const SyntheticOptions& options = {})
    {
        TempFileTest::SetUpTestSuite();
        SetColorProfileProgramPath(BuildTreeProgramPath());
        s_Shot = new SyntheticRaw(MakeSyntheticRaw(options));
    }
    static void TearDownTestSuite()
    {
        delete s_Shot;
        s_Shot = nullptr;
    }
    static const SyntheticTruth& Truth() { return s_Shot->truth; }

    static inline SyntheticRaw* s_Shot = nullptr;
};

// Display names "#<id>", version 4.1.2.7, and a log of the cache entries the
// facade dropped. Installed for its lifetime.
class RecordingApplicationState : public KVRApplicationState {
public:
    RecordingApplicationState() { KVR_SetApplicationState(this); }
    ~RecordingApplicationState() override { KVR_SetApplicationState(nullptr); }

    FVersionNumber GetVersion() const override { return {4, 1, 2, 7}; }
    FString GetString(int textId) const override { return FString(("#" + std::to_string(textId)).c_str()); }
    void RemoveExif(const FString& nativePath) override { removed.push_back(nativePath); }

    std::vector<FString> removed;
};

// True when another thread can take the engine lock at once (and gives it back).
inline bool EngineLockIsFree()
{
    return std::async(std::launch::async, [] {
               if (!LockEngine(0))
                   return false;
               UnlockEngine();
               return true;
           }).get();
}

// A property of the file as a handle reads it; "<none>" when missing or unreadable.
inline std::string FileProperty(const FString& nativePath, const char* name)
{
    KVREngineLockScope lock;
    CKVR_ImageHandle* handle = KVR_OpenHandle(nativePath.GetText());
    char value[256] = {};
    const bool found = KVR_GetProperty(handle, name, value, sizeof value);
    KVR_CloseHandle(handle);
    return found ? value : "<none>";
}

} // namespace testsupport
