#pragma once
// A window that records the messages it handles, with hooks a test sets per
// message, for the tests of the layer's core (no Qt: StandaloneHost).

#include "platform/afx/AfxWin.h"
#include "platform/core/StandaloneHost.h"

#include <functional>
#include <map>
#include <vector>

struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Received&) const = default;
};

class RecordingWindow : public CWnd {
public:
  // Messages worth recording: everything but the creation chatter.
  std::vector<Received> log;
  std::map<UINT, std::function<LRESULT(WPARAM, LPARAM)>> hooks;
  bool recordAll = false;

  BOOL CreateTop(const RECT& rect = {0, 0, 200, 100}, DWORD style = WS_POPUP | WS_VISIBLE) {
    return CreateEx(0, u"Recording", u"", style, rect, nullptr, 0);
  }
  BOOL CreateChild(CWnd* parent, UINT id, const RECT& rect = {0, 0, 50, 20}) {
    return Create(u"Recording", u"", WS_CHILD | WS_VISIBLE, rect, parent, id);
  }
  std::vector<UINT> Messages(UINT lo = 0, UINT hi = 0xFFFFFFFF) const {
    std::vector<UINT> out;
    for (const Received& r : log) {
      if (r.message >= lo && r.message <= hi) out.push_back(r.message);
    }
    return out;
  }
  std::size_t Count(UINT message) const {
    std::size_t n = 0;
    for (const Received& r : log) n += r.message == message;
    return n;
  }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    const bool chatter = message == WM_CREATE || message == WM_SIZE || message == WM_MOVE ||
                         message == WM_SHOWWINDOW || message == WM_ACTIVATE || message == WM_NCDESTROY ||
                         message == WM_DESTROY;
    if (recordAll || !chatter) log.push_back({message, wParam, lParam});
    auto hook = hooks.find(message);
    if (hook != hooks.end()) return hook->second(wParam, lParam);
    return CWnd::WindowProc(message, wParam, lParam);
  }
};
