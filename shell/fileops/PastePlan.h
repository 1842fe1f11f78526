#pragma once
// Which of the clipboard's files a paste transfers into a folder, with the
// overwrite questions it asks on the way. A file is never transferred onto
// itself, a missing file never, and "yes to all" covers the file it was
// answered for and the later ones only: files answered "no" before stay out.

#include "foundation/FString.h"

#include <functional>
#include <vector>

// Asks whether the destination may be replaced: the message box's style (10
// for a single clipboard file, 11 for several) and the destination path; the
// message box's result code (12 cancel, 13 yes, 14 no, 21 yes to all).
using OverwriteQuestion = std::function<int(int style, const FString& destination)>;

// The clipboard files to transfer, in clipboard order; empty after a cancel.
std::vector<FString> PlanPaste(const std::vector<FString>& clipboardFiles, const FString& targetFolder,
                               const OverwriteQuestion& ask);
