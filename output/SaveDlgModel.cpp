#include "output/SaveDlgModel.h"

#include "shell/app/TextTables.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "toolkit/PictureFileTypes.h"

#include <algorithm>

namespace {

constexpr int kSourceNameIds[3] = {5001, 5002, 5003};
constexpr int kOneFileTextId = 5032;
constexpr int kFilesTextId = 5033;
constexpr int kMegabytesTextId = 5038;
constexpr int kSizeTextId = 5039;
constexpr int kSeveralSizesTextId = 5034;
constexpr double kBytesPerMegabyte = 1048576.0;

constexpr int kJpegQualityTable[13] = {10, 20, 30, 45, 60, 70, 78, 79, 85, 90, 93, 96, 99};

void AddToSource(SaveSource& source, const CET_ThumbnailData& item, std::uint64_t bytes) {
  int width = 0;
  int height = 0;
  item.GetImageSize(&width, &height);
  const bool unknown = width == 0 || height == 0;
  if (source.count == 0) {
    source.width = width;
    source.height = height;
  }
  else if (width != source.width || height != source.height) {
    source.width = 0;
    source.height = 0;
  }
  if (unknown) source.sizeMissing = true;
  ++source.count;
  source.bytes += bytes;
  source.paths.push_back(item.m_Path);
  source.names.push_back(item.m_FileName);
}

// Everything after the last separator.
size_t NameStart(std::u16string_view path) {
  const size_t slash = path.find_last_of(u'/');
  return slash == std::u16string_view::npos ? 0 : slash + 1;
}

} // namespace

SaveSources CollectSaveSources(const CET_ThumbnailDataManager& list) {
  SaveSources result;
  for (int i = 0; i < list.GetCount(); ++i) {
    const CET_ThumbnailData* item = list.GetAt(i);
    if (!item) continue;
    if (i == 0) {
      result.firstPath = item->m_Path;
      result.firstName = item->m_FileName;
    }
    if (item->m_FileType != ETFILETYPE_KVR) continue;
    const auto* browserItem = dynamic_cast<const CTLM_ThumbnailData*>(item);
    const std::uint64_t bytes = browserItem ? browserItem->m_FileSize : 0;
    AddToSource(result.sources[SaveSources::kAll], *item, bytes);
    if (browserItem && browserItem->IsMarked()) AddToSource(result.sources[SaveSources::kMarked], *item, bytes);
    if (item->m_bSelected == 1) AddToSource(result.sources[SaveSources::kSelected], *item, bytes);
  }
  return result;
}

int InitialSaveSource(const SaveSources& sources) {
  if (sources.sources[SaveSources::kSelected].count > 0) return SaveSources::kSelected;
  if (sources.sources[SaveSources::kMarked].count > 0) return SaveSources::kMarked;
  return SaveSources::kAll;
}

std::u16string SaveSourceCaption(int source, const SaveSource& files) {
  const int index = std::clamp(source, 0, 2);
  // The selected source says "file" for none too.
  const bool single = index == SaveSources::kSelected ? files.count < 2 : files.count == 1;
  const std::u16string format = dialogs::TableText(kSourceNameIds[index]) +
                                dialogs::TableText(single ? kOneFileTextId : kFilesTextId) +
                                dialogs::TableText(kMegabytesTextId);
  const double megabytes = static_cast<float>(static_cast<double>(files.bytes) / kBytesPerMegabyte);
  return FormatTableText(format, {files.count, megabytes}).value_or(dialogs::TableText(kSourceNameIds[index]));
}

std::u16string SaveSourceSizeText(const SaveSource& files) {
  if (files.sizeMissing) return {};
  if (files.width == 0 || files.height == 0) return dialogs::TableText(kSeveralSizesTextId);
  return SaveImageSizeText(files.width, files.height, true);
}

std::u16string SaveImageSizeText(int width, int height, bool raw) {
  if (width <= 0 || height <= 0) return {};
  const std::u16string format = dialogs::TableText(kSizeTextId) + (raw ? u" (%d x %d x 3)" : u" (%d x %d)");
  const double megabytes = static_cast<float>(static_cast<double>(width) * height * 3 / 1000000.0);
  return FormatTableText(format, {megabytes, width, height}).value_or(std::u16string());
}

int JpegQualityPercent(int step) { return kJpegQualityTable[std::clamp(step, 0, 12)]; }

const char16_t* SaveExtension(int fileType) { return fileType == 0 ? u".jpg" : u".tif"; }

FString ReplaceExtension(const FString& name, const char16_t* extension) {
  std::u16string text(name.View());
  const size_t dot = text.find_last_of(u'.');
  if (dot != std::u16string::npos && dot >= NameStart(text)) text.erase(dot);
  return FString(std::u16string_view(text + extension));
}

FString NameWithSaveExtension(const FString& name, int fileType) {
  const std::u16string_view text = name.View();
  const size_t dot = text.find_last_of(u'.');
  const char16_t* extension = SaveExtension(fileType);
  if (dot != std::u16string_view::npos && FString(text.substr(dot)).CompareNoCase(extension) == 0) return name;
  return ReplaceExtension(name, extension);
}

FString ProposedSaveFolder(int savePlace, const FString& lastFolder, const FString& firstPath) {
  if (savePlace != 0) return lastFolder;
  const std::u16string_view path = firstPath.View();
  const size_t start = NameStart(path);
  return FString(path.substr(0, start > 1 ? start - 1 : start)); // "/" stays for the root
}

std::vector<FString> SaveOutputPaths(const FString& folder, const std::vector<FString>& names,
                                     const char16_t* extension) {
  std::vector<FString> outputs;
  outputs.reserve(names.size());
  for (const FString& name : names) {
    FString output = folder;
    output += u"/";
    output += ReplaceExtension(name, extension);
    outputs.push_back(output);
  }
  return outputs;
}
