#pragma once
// The browser's thumbnail item: the toolkit's item with the file's size and
// its shooting information (a copy of the application's cached record). A
// listed folder's items get their shooting information from the grid's
// loader when they are not on the first screen (m_bInfoRead tells).

#include "shell/facade/CTLM_Exif.h"
#include "toolkit/CET_ThumbnailData.h"

#include <cstdint>

class CTLM_ThumbnailData : public CET_ThumbnailData {
public:
  CTLM_ThumbnailData() = default;
  ~CTLM_ThumbnailData() override = default;

  // The base's reset and an empty record; the file size stays.
  void Reset() override;
  // The base's copy, then the file size and a copy of the record when the
  // source is a browser item too.
  void CopyFrom(const CET_ThumbnailData* source) override;
  CET_ThumbnailData* Clone() const override;
  void Delete() override;

  bool IsMarked() const { return m_Exif.IsMarked(); }
  bool IsLocked() const { return m_Exif.IsLocked(); }

  std::uint64_t m_FileSize = 0; // 0 when it could not be read
  CTLM_Exif m_Exif;
  bool m_bInfoRead = false;      // m_Exif holds the file's record
  // The loader could not make the quick or the final picture: it does not
  // try again until the item is read again (Reset).
  bool m_bQuickFailed = false;
  bool m_bFinalFailed = false;
};
