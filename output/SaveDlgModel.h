#pragma once
// What the save dialog decides without its window: the three sources of raw
// files a browser selection offers (all, marked, selected) with their counts,
// sizes and common image size, their captions and size line, the JPEG quality
// table, the proposed destination folder and the output paths.

#include "foundation/FString.h"

#include <cstdint>
#include <string>
#include <vector>

class CET_ThumbnailDataManager;

// One source: its raw files and what the dialog says of them.
struct SaveSource {
  int count = 0;
  std::uint64_t bytes = 0;
  std::vector<FString> paths;
  std::vector<FString> names;
  int width = 0; // the common image size, 0 x 0 when the files differ
  int height = 0;
  bool sizeMissing = false; // a file of the source has no known size
};

struct SaveSources {
  enum : int { kAll = 0, kMarked = 1, kSelected = 2 };
  SaveSource sources[3];
  FString firstPath; // the selection's first item, raw or not
  FString firstName;
};

// The sources of the list's raw items (file type 6).
SaveSources CollectSaveSources(const CET_ThumbnailDataManager& list);
// The selected source when it has files, else the marked one, else all.
int InitialSaveSource(const SaveSources& sources);

// The check box caption of the source: its name, the file count and the
// megabytes ("Marked (1 file, 0.3 MB)").
std::u16string SaveSourceCaption(int source, const SaveSource& files);
// The size line of a source: empty when a size is unknown, the megabytes and
// "(w x h x 3)" for a common size, else the "several sizes" text.
std::u16string SaveSourceSizeText(const SaveSource& files);
// The size line of one image: empty when its size is missing; "x 3" for a raw one.
std::u16string SaveImageSizeText(int width, int height, bool raw);

// The quality slider's steps 0-12 in percent.
int JpegQualityPercent(int step);

// The extension an output of that file type gets (".jpg" or ".tif").
const char16_t* SaveExtension(int fileType);
// Everything from the last "." of the name replaced by the extension (a name
// without "." gets it appended).
FString ReplaceExtension(const FString& name, const char16_t* extension);
// The name with the file type's extension unless it has it already (case
// ignored): "x.JPG" stays for JPEG, becomes "x.tif" for TIFF.
FString NameWithSaveExtension(const FString& name, int fileType);
// The folder the dialog proposes: the last one used when the preference asks
// for it, else the folder of the selection's first file.
FString ProposedSaveFolder(int savePlace, const FString& lastFolder, const FString& firstPath);
// The outputs of the names in the folder, each with the extension.
std::vector<FString> SaveOutputPaths(const FString& folder, const std::vector<FString>& names,
                                     const char16_t* extension);
