#pragma once
// What the public headers of the movie library share: the export mark, the
// window messages the library posts to its caller's windows, and the caller's
// window type. Free of Qt and FFmpeg: the program includes these headers.

#include "platform/win/WinTypes.h"

// Marks the classes the library exports whole; all else in it stays hidden.
#define TKRMOVIE_API __attribute__((visibility("default")))

// The caller's window object (the window layer defines it). The library only
// posts to its window handle.
class CWnd;

// A frame grab ended without a picture: wParam 0, lParam 0 when it was
// cancelled or the time lies beyond the movie's end, else the failure code
// (WM_APP + 100).
constexpr UINT WM_TM_THUMBNAILBREAK = 0x8064;
// A frame grab filled its record: wParam 0, lParam the milliseconds it took
// (WM_APP + 101).
constexpr UINT WM_TM_GRAPHNOTIFY = 0x8065;

// The window messages the library and the program register by name.
inline constexpr char16_t kTMDirectXNotifyMessageName[] = u"TM_DIRECTXNOTIFY_MESSAGE";
inline constexpr char16_t kTMDirectXMusicNotifyMessageName[] = u"TM_DIRECTXMUSICNOTIFY_MESSAGE";

// Paths are held in records of this many wide characters, terminator included.
constexpr int TM_MAX_PATH = 260;
