#include "shell/app/AppFolders.h"

#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"

#include <mutex>

namespace {

// The program file that tests name in place of the running one.
struct ProgramPathOverride {
    std::mutex lock;
    FString path;
};

ProgramPathOverride& Override()
{
    static ProgramPathOverride programPath;
    return programPath;
}

FString UserFolder()
{
    FString folder;
    GetShellFolderPath(CSIDL_LOCAL_APPDATA, folder);
    return folder;
}

FString ProgramFolder()
{
    FString program;
    {
        std::lock_guard<std::mutex> lock(Override().lock);
        program = Override().path;
    }
    if (program.GetLength() == 0)
        GetProgramPath(program);
    return program.GetLength() > 0 ? ProgramDataFolder(program) : FString();
}

FString TempFolder()
{
    if (UserFolder().GetLength() == 0)
        return FString();
    const FString base = GetPrivateTempFolder();
    return base.GetLength() > 0 ? PathJoin(base, FString(u"Temp")) : FString();
}

FString Below(const FString& folder, const char16_t* name)
{
    return folder.GetLength() > 0 ? PathJoin(folder, FString(name)) : FString();
}

} // namespace

FString GetAppFolder(int kind)
{
    switch (kind) {
    case 0:
    case kAppFolderUser:
        return UserFolder();
    case kAppFolderTexts:
    case kAppFolderFonts:
    case kAppFolderProgram:
    case kAppFolderLicence:
        return ProgramFolder();
    case kAppFolderProfiles:
        return Below(ProgramFolder(), u"icc");
    case kAppFolderTempProfiles:
        return Below(TempFolder(), u"ICCProfile");
    case kAppFolderTemp:
        return TempFolder();
    default:
        return FString();
    }
}

void SetAppProgramPath(const FString& programPath)
{
    std::lock_guard<std::mutex> lock(Override().lock);
    Override().path = programPath;
}

FString AppFilePath(int kind, const char16_t* name)
{
    return Below(GetAppFolder(kind), name);
}
