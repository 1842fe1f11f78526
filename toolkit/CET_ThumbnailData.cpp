#include "toolkit/CET_ThumbnailData.h"

#include <cstdlib>
#include <string>

CET_ThumbnailData::~CET_ThumbnailData() { delete m_pDib; }

void CET_ThumbnailData::Reset() {
  SetPicture(nullptr);
  m_bFinalPicture = 0;
  m_Attributes = -1;
  m_Path = FString();
  m_FileName = FString();
  m_Width = 0;
  m_Height = 0;
}

void CET_ThumbnailData::CopyFrom(const CET_ThumbnailData* source) {
  Reset();
  if (!source || source == this) return;
  if (source->m_pDib) {
    auto* copy = new CET_Dib;
    copy->CopyFrom(source->m_pDib);
    m_pDib = copy;
  }
  m_bFinalPicture = source->m_bFinalPicture;
  m_Attributes = source->m_Attributes;
  m_Path = source->m_Path;
  m_FileName = source->m_FileName;
  m_FileType = source->m_FileType;
  m_bSelected = source->m_bSelected;
  m_Width = source->m_Width;
  m_Height = source->m_Height;
}

CET_ThumbnailData* CET_ThumbnailData::Clone() const {
  auto* copy = new CET_ThumbnailData;
  copy->CopyFrom(this);
  return copy;
}

void CET_ThumbnailData::Delete() { delete this; }

void CET_ThumbnailData::GetImageSize(int* width, int* height) const {
  if (width) *width = m_Width;
  if (height) *height = m_Height;
}

void CET_ThumbnailData::SetPicture(CET_Dib* picture) {
  if (picture == m_pDib) return;
  delete m_pDib;
  m_pDib = picture;
}

int g_ThumbnailSortKey = 0;
int g_bThumbnailSortAscending = 1;

int CompareThumbnailNames(const void* a, const void* b) {
  const auto* left = *static_cast<CET_ThumbnailData* const*>(a);
  const auto* right = *static_cast<CET_ThumbnailData* const*>(b);
  // A caller may have added NULL: it sorts before every item.
  if (!left || !right) return (left != nullptr) - (right != nullptr);
  const int order = left->m_FileName.CompareNoCase(right->m_FileName.GetText());
  return g_bThumbnailSortAscending ? order : -order;
}

CET_ThumbnailDataManager::~CET_ThumbnailDataManager() { RemoveAll(TRUE); }

CET_ThumbnailData* CET_ThumbnailDataManager::GetAt(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return m_Items[static_cast<size_t>(index)];
}

int CET_ThumbnailDataManager::Add(CET_ThumbnailData* item) {
  m_Items.push_back(item);
  return GetCount() - 1;
}

void CET_ThumbnailDataManager::RemoveAt(int index, BOOL deleteItem) {
  if (index < 0 || index >= GetCount()) return;
  CET_ThumbnailData* item = m_Items[static_cast<size_t>(index)];
  m_Items.erase(m_Items.begin() + index);
  if (deleteItem && item) item->Delete();
}

void CET_ThumbnailDataManager::RemoveAll(BOOL deleteItems) {
  if (deleteItems) {
    for (CET_ThumbnailData* item : m_Items) {
      if (item) item->Delete();
    }
  }
  m_Items.clear();
}

int CET_ThumbnailDataManager::AssignFrom(const CET_ThumbnailDataManager* other) {
  RemoveAll(FALSE);
  if (!other || other == this) return other ? GetCount() : 0;
  m_Items = other->m_Items;
  return GetCount();
}

int CET_ThumbnailDataManager::CopyFrom(const CET_ThumbnailDataManager* other) {
  if (other == this) return GetCount();
  RemoveAll(TRUE);
  if (!other) return 0;
  m_Items.reserve(other->m_Items.size());
  for (const CET_ThumbnailData* item : other->m_Items) m_Items.push_back(item ? item->Clone() : nullptr);
  return GetCount();
}

void CET_ThumbnailDataManager::Sort(int key, BOOL ascending, ThumbnailCompareFunc compare) {
  if (m_Items.empty()) return;
  std::vector<CET_ThumbnailData*> sorted = m_Items;
  g_ThumbnailSortKey = key;
  g_bThumbnailSortAscending = ascending;
  std::qsort(sorted.data(), sorted.size(), sizeof(CET_ThumbnailData*), compare ? compare : CompareThumbnailNames);
  m_Items = std::move(sorted);
}
