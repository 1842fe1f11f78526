#include "shell/facade/KVR_ApplicationState.h"

#include "shell/facade/KVR_FileSettings.h"

#include <atomic>

namespace {

KVRApplicationState g_FacadeDefaults;
std::atomic<KVRApplicationState*> g_pInstalled{nullptr};

} // namespace

FVersionNumber KVRApplicationState::GetVersion() const
{
    return FVersionNumber{4, 0, 0, 0};
}

FString KVRApplicationState::GetString(int) const
{
    return FString();
}

bool KVRApplicationState::GetWBList(const FString& nativePath, CKVR_Data_FileList<CKVR_WBData>& list)
{
    return KVR_FillWhiteBalanceList(nativePath.GetText(), &list) != 0;
}

bool KVRApplicationState::GetColorModeList(const FString& nativePath, CKVR_Data_FileList<CKVR_CMData>& list)
{
    return KVR_FillColorModeList(nativePath.GetText(), &list) != 0;
}

void KVRApplicationState::RemoveExif(const FString&) {}

void KVR_SetApplicationState(KVRApplicationState* state)
{
    g_pInstalled.store(state);
}

KVRApplicationState& KVR_GetApplicationState()
{
    KVRApplicationState* installed = g_pInstalled.load();
    return installed ? *installed : g_FacadeDefaults;
}
