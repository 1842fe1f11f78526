#pragma once
// The full-screen slide show: shows the files one after another on its
// picture window, loading the next one on a worker thread while the current
// one is on screen. Space marks or unmarks the shown JPEG or raw file; Esc
// and Enter end the show, as does the tick after the last picture without
// loop. A file that cannot be read is passed over; the show ends when no
// readable file is left to show or a load misses its deadline.
//
// Each load carries a number: a loader given up on keeps its block alive
// (shared with the dialog) and frees a picture that comes too late, so it
// never overwrites a newer load nor outlives what it writes into.

#include "output/slideshow/CSlideShowWnd.h"

#include "foundation/FString.h"
#include "platform/afx/AfxMt.h"
#include "toolkit/CDialogBase.h"

#include <memory>
#include <vector>

class CET_Dib;

// What the user-interface thread and a loader share.
struct SlideShowHandOver {
  CSemaphore lock{1, 1};
  // Read only while loaders run.
  std::vector<FString> files;
  BOOL loop = FALSE;
  // Guarded by the lock.
  BOOL loading = FALSE;
  unsigned sequence = 0; // of the load asked for last
  int indexToLoad = 0;
  int loadedIndex = -1;
  int loadedMark = 0;
  std::unique_ptr<CET_Dib> loadedPicture;
};

// A loader's ticket: the block it shares with the dialog.
struct SlideShowLoad {
  std::shared_ptr<SlideShowHandOver> handOver;
};

// The worker: the parameter is a heap SlideShowLoad it deletes. It loads the
// file to load, or the next readable one after it, and stores the picture
// unless the load was given up on meanwhile.
UINT SlideShowLoadThreadProc(LPVOID parameter);

class CSlideShowDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 200;
  static constexpr UINT kPictureWindowId = 0xFFFF;
  static constexpr UINT kDisplayTimer = 1;

  explicit CSlideShowDlg(CWnd* parent = nullptr);
  ~CSlideShowDlg() override;

  BOOL SetParams(int effect, int seconds, BOOL loop);
  // Copies the paths (null empties) with one unchanged mark entry each.
  BOOL SetFileList(const std::vector<FString>* files);
  // Appends each file whose mark changed during the show and its new flag.
  void GetMarkChanges(std::vector<FString>& paths, std::vector<BYTE>& flags) const;

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL DestroyWindow() override;

  CSlideShowWnd& PictureWindow() { return m_PictureWnd; }
  int GetShownIndex() const { return m_nShownIndex; }

protected:
  afx_msg LRESULT OnNextPicture(WPARAM wParam, LPARAM lParam);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnSize(UINT type, int cx, int cy);
  DECLARE_MESSAGE_MAP()

private:
  void StartLoader(int index);
  void WaitForLoader(DWORD milliseconds, int polls);
  // Takes the loaded picture from the hand-over block; null when none.
  std::unique_ptr<CET_Dib> TakeLoaded(int& index, int& mark);
  void ToggleMark();

  CSlideShowWnd m_PictureWnd;
  int m_nLoadIndex = 0;
  FString m_strShownPath;
  int m_nShownMark = 0;
  int m_nShownIndex = 0;
  BOOL m_bTransition = FALSE;
  int m_nEffect = -1;
  int m_nSeconds = 2;
  BOOL m_bLoop = FALSE;
  bool m_bLoaderRunning = false;
  std::shared_ptr<SlideShowHandOver> m_HandOver;
  // Per file: low byte 1 when its mark changed, high byte the new mark.
  std::vector<WORD> m_MarkChanges;
};
