#include "shell/fileops/PastePlan.h"

#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"

#include <algorithm>

namespace {

constexpr int kStyleOverwriteOne = 10;
constexpr int kStyleOverwriteSeveral = 11;
constexpr int kResultCancel = 12;
constexpr int kResultYes = 13;
constexpr int kResultYesToAll = 21;

} // namespace

std::vector<FString> PlanPaste(const std::vector<FString>& clipboardFiles, const FString& targetFolder,
                               const OverwriteQuestion& ask)
{
    const int style = clipboardFiles.size() == 1 ? kStyleOverwriteOne : kStyleOverwriteSeveral;
    std::vector<FString> transfers;
    std::vector<FString> destinations;
    bool yesToAll = false;
    for (const FString& file : clipboardFiles) {
        if (!PathExists(file))
            continue;
        const FString destination = PathJoin(targetFolder, PathFileName(file));
        if (PathEquals(destination, file))
            continue; // already there: a file is never copied onto itself
        // A file of the same name earlier in this paste counts as existing.
        const bool taken = PathExists(destination) ||
                           std::any_of(destinations.begin(), destinations.end(),
                                       [&](const FString& other) { return PathEquals(other, destination); });
        if (taken && !yesToAll) {
            const int answer = ask(style, destination);
            if (answer == kResultCancel)
                return {};
            if (answer == kResultYesToAll)
                yesToAll = true;
            else if (answer != kResultYes)
                continue;
        }
        transfers.push_back(file);
        destinations.push_back(destination);
    }
    return transfers;
}
