#pragma once
// The program's print pictures: raw files developed at full size through the
// development facade under the application's engine lock, the frame at one
// second of a movie from the movie library, other pictures decoded at full
// size, and the information lines from the application's shooting
// information. Development and filtering report their percentages to the
// progress callback (0 from it stops them).

#include "output/print/PrintPreparation.h"

#include "shell/facade/CKVR_ImageHandle.h"

class CWnd;

class AppPrintPictureSource : public PrintPictureSource {
public:
  // owner: the window a movie grab reports to; the callback may be null.
  AppPrintPictureSource(CWnd* owner, KVRProgressCallback progress, void* user)
      : m_owner(owner), m_progress(progress), m_user(user) {}

  int FileType(const FString& path) override;
  std::unique_ptr<CET_Dib> DevelopRaw(const FString& path, const CET_FilterData* settings) override;
  std::unique_ptr<CET_Dib> GrabMovieFrame(const FString& path) override;
  std::unique_ptr<CET_Dib> LoadStill(const FString& path) override;
  std::unique_ptr<CET_Dib> Filter(const CET_Dib& picture, const CET_FilterData& settings) override;
  std::vector<std::u16string> InfoLines(const FString& path) override;

private:
  CWnd* m_owner;
  KVRProgressCallback m_progress;
  void* m_user;
};
