// The application object and the GUI thread's loop.

#include "platform/core/Core.h"

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
