// The application object, the GUI thread's loop and the end of the session.

#include "platform/core/Core.h"
#include "platform/core/UiServices.h"

#include <algorithm>
#include <vector>

using namespace platform::core;

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(LPCWSTR appName) {
  if (appName) m_pszAppName = appName;
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
  RunLoop([] { return false; });
  int code = 0;
  QuitPending(&code);
  ClearQuit();
  m_exitCode = code;
  return ExitInstance();
}

CWinApp* AfxGetApp() { return g_app; }
CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

namespace platform::core {

bool ContinueEndingSession() {
  static std::vector<HWND> cancelled;
  static HWND askedToClose = nullptr;
  if (const HWND dialog = InnermostModalDialog()) {
    if (std::find(cancelled.begin(), cancelled.end(), dialog) == cancelled.end()) {
      cancelled.push_back(dialog);
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return true;
  }
  CWnd* main = AfxGetMainWnd();
  const HWND window = main ? main->m_hWnd : nullptr;
  if (!window || !IsLiveWindow(window)) {
    PostQuitMessage(0);
    return false;
  }
  if (askedToClose != window) {
    askedToClose = window;
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return true;
}

} // namespace platform::core
