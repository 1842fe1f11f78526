#pragma once
// Getting the pictures of a print page ready: which pictures a page still
// needs, the run over them that develops raw files, grabs a movie's frame at
// one second and decodes the rest (with the adjusted copy of stills when
// asked), the three lines of shooting information of each file, the texts
// of a cell printed without preview, and the preview's crop carried over to
// the picture loaded again at full size for the printer.
//
// Where pictures come from is a PrintPictureSource, so that the run does not
// depend on the development facade and the movie library directly.

#include "toolkit/CET_PrintDraw.h"

#include "foundation/FString.h"
#include "shell/app/CAppSettings.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CET_FilterData;

// The print pictures of `page` that have no bitmap yet, each once however
// many of its copies the page shows, in page order.
std::vector<CET_PrintPictData*> PicturesToPrepare(const std::vector<CET_PrintPictData*>& pictures, int page,
                                                  int cellsPerPage, int copies);

// The shooting information a file's lines are made of; empty texts are left out.
struct ShootingFields {
  FString date, time, camera, shutter, aperture, iso, exposureComp, focalLength;
};

// Appends a file's three information lines: file name, date and time; camera;
// exposure ("s" after the shutter speed, apertureLabel before the aperture and
// "ISO" before the speed only with their values). Without fields: the file
// name and two empty lines.
void BuildInfoLines(const FString& fileName, const ShootingFields* fields, const std::u16string& apertureLabel,
                    std::vector<std::u16string>& lines);

// The information lines into a cell's text slots in order, as far as it has
// slots: lines 0 and 1 when basic, line 2 when capture.
void FillCellInfoTexts(CET_PrintPictData& cell, const InfoPrintSetting& info);

// The crop chosen on the preview's picture, for the same picture at another
// size (width x height): scaled to that size's centred crop for the cell and
// kept inside the picture. The crop is returned unchanged when empty or when
// the sizes agree.
RECT CarryCropOver(RECT cell, RECT crop, int width, int height, bool autoRotate);

// A grabbed movie frame as a bitmap; null for a grab that delivered no pixels.
std::unique_ptr<CET_Dib> DibFromMovieFrame(const BITMAPINFO* header, const void* bits, DWORD size);

// Where the pictures come from.
class PrintPictureSource {
public:
  virtual ~PrintPictureSource() = default;
  virtual int FileType(const FString& path) = 0;
  // A raw file developed at full size; settings may be null (the file's own).
  virtual std::unique_ptr<CET_Dib> DevelopRaw(const FString& path, const CET_FilterData* settings) = 0;
  // The frame at one second of a movie; null when it has none.
  virtual std::unique_ptr<CET_Dib> GrabMovieFrame(const FString& path) = 0;
  virtual std::unique_ptr<CET_Dib> LoadStill(const FString& path) = 0;
  // The adjusted copy of a still; null when it cannot be made.
  virtual std::unique_ptr<CET_Dib> Filter(const CET_Dib& picture, const CET_FilterData& settings) = 0;
  // The file's three information lines.
  virtual std::vector<std::u16string> InfoLines(const FString& path) = 0;
};

// Prepares the pictures: each one without bitmap gets its bitmap (or stays
// without when it cannot be made), each one without lines its lines.
// starting(n, count) is called before picture n (from 1), finished() after it.
void PreparePrintPictures(const std::vector<CET_PrintPictData*>& pictures, bool filterStills,
                          const CET_FilterData* settings, PrintPictureSource& source,
                          const std::function<void(int, int)>& starting,
                          const std::function<void()>& finished = {});

// A cell's picture at print time, loaded again at full size (stills are not
// filtered); a cell without lines gets them, and with information printing
// on they go into its slots; the crop chosen on the preview is carried over
// to the new picture's size. Nothing happens to a cell that has its picture.
void LoadCellForPrint(CET_PrintPictData& cell, PrintPictureSource& source, const CET_FilterData* rawSettings,
                      bool infoOn, const InfoPrintSetting& info, bool autoRotate);

// Frees the bitmaps of the raw pictures, so that the next preparation
// develops them again; the layout's cells let go of them first.
struct PrintLayout;
void FreeRawPictureBitmaps(PrintLayout& layout, const std::vector<CET_PrintPictData*>& pictures,
                           PrintPictureSource& source);

// The settings raw files are printed with: from the review window a copy of
// its settings (none: each file's own); otherwise by mode, 0 each file's own
// (null), 1 automatic, 2 a copy of the saved setting chosen (a reset record
// when none is).
std::unique_ptr<CET_FilterData> PrintSettingsFor(bool fromReview, const CET_FilterData* reviewSettings, int mode,
                                                 const CET_FilterData* savedSetting);
