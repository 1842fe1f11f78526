#pragma once
// The items of a thumbnail window (one per file: its path, name, the small
// picture its loader decoded and the selection flag) and the lists that own
// them. Lists are also how the browser hands selected files to commands: the
// receiver gets its own list of copies.

#include "toolkit/CET_Dib.h"

#include "foundation/FString.h"

#include <vector>

class CET_ThumbnailData {
public:
  CET_ThumbnailData() = default;
  virtual ~CET_ThumbnailData();
  CET_ThumbnailData(const CET_ThumbnailData&) = delete;
  CET_ThumbnailData& operator=(const CET_ThumbnailData&) = delete;

  // Drops the picture and forgets the file; the type and the selection stay.
  virtual void Reset();
  // A deep copy (the picture too); Reset first, through the subclass's own.
  virtual void CopyFrom(const CET_ThumbnailData* source);
  // A new item of the same class; the caller owns it.
  virtual CET_ThumbnailData* Clone() const;
  virtual void Delete();

  void GetImageSize(int* width, int* height) const;
  // Replaces the picture (the old one is deleted); the item takes the new one.
  void SetPicture(CET_Dib* picture);

  int m_Attributes = -1;
  FString m_Path;
  FString m_FileName;
  CET_Dib* m_pDib = nullptr;
  int m_bFinalPicture = 0;
  int m_FileType = 0;
  int m_bSelected = 0;
  int m_Width = 0;
  int m_Height = 0;
};

// The comparison a list sorts with (qsort's form: pointers to item pointers).
using ThumbnailCompareFunc = int (*)(const void* a, const void* b);

// The key and direction of the sort that runs, for the comparison functions
// (qsort passes them no argument). Sorting runs on the user-interface thread.
extern int g_ThumbnailSortKey;
extern int g_bThumbnailSortAscending;

// File names ignoring case; descending when the sort is not ascending.
int CompareThumbnailNames(const void* a, const void* b);

class CET_ThumbnailDataManager {
public:
  CET_ThumbnailDataManager() = default;
  // Deletes every item: a list filled by AssignFrom must be emptied
  // (RemoveAll(FALSE)) by its owner first.
  virtual ~CET_ThumbnailDataManager();
  CET_ThumbnailDataManager(const CET_ThumbnailDataManager&) = delete;
  CET_ThumbnailDataManager& operator=(const CET_ThumbnailDataManager&) = delete;

  int GetCount() const { return static_cast<int>(m_Items.size()); }
  CET_ThumbnailData* GetAt(int index) const;
  // The list owns the item from now on; its index.
  int Add(CET_ThumbnailData* item);
  void RemoveAt(int index, BOOL deleteItem);
  void RemoveAll(BOOL deleteItems);
  // The other list's pointers, shared (not copies); its count.
  int AssignFrom(const CET_ThumbnailDataManager* other);
  // Clones of the other list's items; its count.
  int CopyFrom(const CET_ThumbnailDataManager* other);
  // Not stable; compare NULL sorts by file name.
  virtual void Sort(int key, BOOL ascending, ThumbnailCompareFunc compare);

private:
  std::vector<CET_ThumbnailData*> m_Items;
};
