#include "output/slideshow/CSlideShowDlg.h"

#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CTLM_Exif.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EmbeddedImages.h"
#include "shell/facade/KVR_EngineLock.h"
#include "shell/facade/KVR_FileSettings.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/PictureFileTypes.h"
#include "toolkit/PictureFiles.h"

#include "platform/win/WinDialogs.h"

#include <algorithm>
#include <mutex>
#include <string>

namespace {

constexpr int kLargeEmbeddedPicture = 2;
constexpr int kPreviewDevelopMode = 2; // fits 600 x 600
constexpr int kMinSeconds = 1;
constexpr int kMaxSeconds = 10;

// The first picture may take 60 x 50 ms, every later one 100 x 10 ms.
constexpr DWORD kStartPollMs = 50;
constexpr int kStartPolls = 60;
constexpr DWORD kTickPollMs = 10;
constexpr int kTickPolls = 100;

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    // A popup with a system menu and no caption or frame; it fills the screen when it opens.
    DialogTemplate dialog;
    dialog.id = CSlideShowDlg::kTemplate;
    dialog.style = WS_POPUP | WS_SYSMENU;
    dialog.size = {320, 240};
    platform::RegisterDialogTemplate(dialog);
  });
}

// A raw file: its embedded large preview, else a development fitting
// 600 x 600; the mark from the file.
std::unique_ptr<CET_Dib> LoadRawSlide(const FString& path, int& mark) {
  const std::u16string native(path.View());
  std::unique_ptr<CET_Dib> picture(
      KVR_LoadEmbeddedImageToBitmap(native.c_str(), kLargeEmbeddedPicture, nullptr, nullptr, 0));
  KVREngineLockScope engine; // both calls below open a development handle
  if (!picture) {
    picture.reset(
        KVR_DevelopFileToBitmap(native.c_str(), kPreviewDevelopMode, 1, nullptr, nullptr, nullptr, nullptr, nullptr));
  }
  int bits = 0;
  mark = KVR_GetFileMarkBits(native.c_str(), &bits) && bits != 0 ? 1 : 0;
  return picture;
}

// Any other file: decoded at full size, turned upright; the mark from its
// shooting information.
std::unique_ptr<CET_Dib> LoadStillSlide(const FString& path, int& mark) {
  mark = 0;
  if (CLumitraApp* app = GetLumitraApp()) {
    CTLM_Exif record;
    if (app->GetExif(path, &record) && record.HasEntry()) mark = record.IsMarked() ? 1 : 0;
  }
  std::unique_ptr<CET_Dib> picture(LoadPictFile(path, PICT_MODE_FULL, nullptr, nullptr, 0, 0));
  if (picture && !picture->IsValid()) picture.reset();
  return picture;
}

std::unique_ptr<CET_Dib> LoadSlide(const FString& path, int& mark) {
  return GetFileType(path) == ETFILETYPE_KVR ? LoadRawSlide(path, mark) : LoadStillSlide(path, mark);
}

} // namespace

UINT SlideShowLoadThreadProc(LPVOID parameter) {
  const std::unique_ptr<SlideShowLoad> load(static_cast<SlideShowLoad*>(parameter));
  SlideShowHandOver& handOver = *load->handOver;
  int index = 0;
  unsigned sequence = 0;
  {
    CSingleLock lock(&handOver.lock, TRUE);
    index = handOver.indexToLoad;
    sequence = handOver.sequence;
  }
  // A file that cannot be read is passed over for the next one, at most
  // once round the list.
  const int count = static_cast<int>(handOver.files.size());
  std::unique_ptr<CET_Dib> picture;
  int mark = 0;
  for (int tried = 0; tried < count && index < count; ++tried) {
    picture = LoadSlide(handOver.files[static_cast<size_t>(index)], mark);
    if (picture) break;
    if (++index == count && handOver.loop) index = 0;
  }
  CSingleLock lock(&handOver.lock, TRUE);
  if (sequence != handOver.sequence) return 0; // given up on: the late picture is freed
  handOver.loadedIndex = picture ? index : -1;
  handOver.loadedMark = mark;
  handOver.loadedPicture = std::move(picture);
  handOver.loading = FALSE;
  return 0;
}

BEGIN_MESSAGE_MAP(CSlideShowDlg, CDialogBase)
ON_MESSAGE(WM_APP_SLIDE_NEXT, OnNextPicture)
ON_WM_TIMER()
ON_WM_SIZE()
END_MESSAGE_MAP()

CSlideShowDlg::CSlideShowDlg(CWnd* parent)
    : CDialogBase(kTemplate, parent), m_HandOver(std::make_shared<SlideShowHandOver>()) {
  RegisterTemplate();
}

CSlideShowDlg::~CSlideShowDlg() = default;

BOOL CSlideShowDlg::SetParams(int effect, int seconds, BOOL loop) {
  m_nEffect = effect;
  m_nSeconds = std::clamp(seconds, kMinSeconds, kMaxSeconds);
  m_bLoop = loop;
  return TRUE;
}

BOOL CSlideShowDlg::SetFileList(const std::vector<FString>* files) {
  // A fresh block: a loader given up on in an earlier show keeps its own.
  m_HandOver = std::make_shared<SlideShowHandOver>();
  if (files) m_HandOver->files = *files;
  m_MarkChanges.assign(m_HandOver->files.size(), 0);
  return TRUE;
}

void CSlideShowDlg::GetMarkChanges(std::vector<FString>& paths, std::vector<BYTE>& flags) const {
  const std::vector<FString>& files = m_HandOver->files;
  if (files.size() != m_MarkChanges.size()) return;
  for (size_t i = 0; i < files.size(); ++i) {
    if ((m_MarkChanges[i] & 0xFF) == 0) continue;
    paths.push_back(files[i]);
    flags.push_back(static_cast<BYTE>(m_MarkChanges[i] >> 8));
  }
}

BOOL CSlideShowDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  m_HandOver->loop = m_bLoop;
  // The whole screen: the desktop window's client area.
  MoveWindow(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  CRect client;
  GetClientRect(&client);
  m_PictureWnd.Create(u"SlideShowWnd", u"", WS_CHILD | WS_VISIBLE, client, this, kPictureWindowId);
  m_PictureWnd.SetEffect(m_nEffect);
  if (m_HandOver->files.empty()) {
    EndDialog(IDOK);
    return TRUE;
  }

  m_nLoadIndex = 0;
  StartLoader(0);
  WaitForLoader(kStartPollMs, kStartPolls);
  int index = 0;
  int mark = 0;
  const std::unique_ptr<CET_Dib> picture = TakeLoaded(index, mark);
  if (!picture) {
    EndDialog(IDOK);
    return TRUE;
  }
  m_nLoadIndex = index;
  m_strShownPath = m_HandOver->files[static_cast<size_t>(index)];
  m_nShownMark = mark;
  m_nShownIndex = index;
  m_PictureWnd.SetMarked(mark);
  m_PictureWnd.SetPicture(picture.get());
  ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  OnNextPicture(0, 0);
  return TRUE;
}

void CSlideShowDlg::StartLoader(int index) {
  {
    CSingleLock lock(&m_HandOver->lock, TRUE);
    m_HandOver->loading = TRUE;
    ++m_HandOver->sequence;
    m_HandOver->indexToLoad = index;
    m_HandOver->loadedPicture.reset();
  }
  auto* load = new SlideShowLoad{m_HandOver};
  if (AfxBeginThread(SlideShowLoadThreadProc, load, THREAD_PRIORITY_NORMAL, 0, 0)) {
    m_bLoaderRunning = true;
    return;
  }
  delete load;
  CSingleLock lock(&m_HandOver->lock, TRUE);
  m_HandOver->loading = FALSE;
}

void CSlideShowDlg::WaitForLoader(DWORD milliseconds, int polls) {
  if (!m_bLoaderRunning) return;
  m_bLoaderRunning = false;
  for (int sleeps = 0;; ++sleeps) {
    {
      CSingleLock lock(&m_HandOver->lock, TRUE);
      if (!m_HandOver->loading) return;
      if (sleeps == polls) {
        // Given up: a later store of that loader no longer counts.
        ++m_HandOver->sequence;
        m_HandOver->loading = FALSE;
        return;
      }
    }
    Sleep(milliseconds);
  }
}

std::unique_ptr<CET_Dib> CSlideShowDlg::TakeLoaded(int& index, int& mark) {
  CSingleLock lock(&m_HandOver->lock, TRUE);
  index = m_HandOver->loadedIndex;
  mark = m_HandOver->loadedMark;
  m_HandOver->loadedIndex = -1;
  m_HandOver->loadedMark = 0;
  return std::move(m_HandOver->loadedPicture);
}

LRESULT CSlideShowDlg::OnNextPicture(WPARAM, LPARAM) {
  m_bTransition = FALSE;
  SetTimer(kDisplayTimer, static_cast<UINT>(m_nSeconds) * 1000, nullptr);
  int next = m_nLoadIndex + 1;
  if (next >= static_cast<int>(m_HandOver->files.size())) {
    if (!m_bLoop) return 0;
    next = 0;
  }
  m_nLoadIndex = next;
  StartLoader(next);
  return 0;
}

void CSlideShowDlg::OnTimer(UINT_PTR id) {
  KillTimer(id);
  if (id == kDisplayTimer) {
    WaitForLoader(kTickPollMs, kTickPolls);
    int index = 0;
    int mark = 0;
    const std::unique_ptr<CET_Dib> picture = TakeLoaded(index, mark);
    if (picture) {
      m_bTransition = TRUE;
      m_PictureWnd.SetMarked(mark);
      m_PictureWnd.SetPicture(picture.get());
      m_nLoadIndex = index;
      m_strShownPath = m_HandOver->files[static_cast<size_t>(index)];
      m_nShownMark = mark;
      m_nShownIndex = index;
    } else {
      EndDialog(IDOK);
    }
  }
  CDialogBase::OnTimer(id);
}

void CSlideShowDlg::OnSize(UINT type, int cx, int cy) {
  CDialogBase::OnSize(type, cx, cy);
  if (m_PictureWnd.m_hWnd) m_PictureWnd.MoveWindow(0, 0, cx, cy);
}

BOOL CSlideShowDlg::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_SPACE && !m_bTransition) {
    const int type = GetFileType(m_strShownPath);
    if (type == ETFILETYPE_JPEG || type == ETFILETYPE_KVR) {
      ToggleMark();
      return TRUE;
    }
  }
  return CDialogBase::PreTranslateMessage(msg);
}

void CSlideShowDlg::ToggleMark() {
  const int flag = m_nShownMark == 0 ? 1 : 0;
  if (CLumitraApp* app = GetLumitraApp()) {
    CTLM_Exif record;
    if (app->GetExif(m_strShownPath, &record) && record.HasEntry()) {
      record.SetMarked(flag != 0);
      app->UpdateExif(m_strShownPath, &record);
    }
  }
  m_nShownMark = flag; // also when the file could not be marked
  if (m_nShownIndex >= 0 && static_cast<size_t>(m_nShownIndex) < m_MarkChanges.size()) {
    WORD& entry = m_MarkChanges[static_cast<size_t>(m_nShownIndex)];
    // A second change of the same file cancels the first.
    entry = static_cast<WORD>((entry & 0xFF) != 0 ? flag << 8 : flag << 8 | 1);
  }
  m_PictureWnd.SetMarked(flag);
  m_PictureWnd.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

BOOL CSlideShowDlg::DestroyWindow() {
  WaitForLoader(kTickPollMs, kTickPolls);
  {
    CSingleLock lock(&m_HandOver->lock, TRUE);
    m_HandOver->loadedPicture.reset();
  }
  return CDialogBase::DestroyWindow();
}
