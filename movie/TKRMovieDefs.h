#pragma once
// What the public headers of the movie library share: the export mark, the
// window messages the library posts to its caller's windows, and the caller's
// window type. Free of Qt and FFmpeg: the program includes these headers.

#include "platform/win/WinUser.h"

// Marks the classes the library exports whole; all else in it stays hidden.
#define TKRMOVIE_API __attribute__((visibility("default")))

// The caller's window object (the window layer defines it). The library only
// posts to its window handle.
class CWnd;

// A frame grab ended without a picture: wParam 0, lParam 0 when it was
// cancelled or the time lies beyond the movie's end, else the failure code
// (WM_APP + 100).
constexpr UINT WM_TM_THUMBNAILBREAK = 0x8064;
// A frame grab filled its record: wParam 0, lParam the milliseconds it took.
// Also a playback object's event notification: events wait for
// CTMDirectShowBase::GetEventCode (WM_APP + 101).
constexpr UINT WM_TM_GRAPHNOTIFY = 0x8065;
// The playback graph's event (CTMDirectShowBase::GetEventCode): the movie
// played to its stop position, or its video ended early; param1 0, or the
// failure that ended the video.
constexpr LONG EC_COMPLETE = 0x01;

// An encode job failed: wParam 2 no video compressor of that name, 3 no audio
// compressor of that name, 4 the video could not be encoded or written,
// 5 the audio could not be encoded; lParam the failure code (WM_USER + 200).
constexpr UINT WM_TM_ENCODESTATUS = 0x04C8;
// An encode job ended, finished or cancelled: wParam 0, lParam 0 (WM_USER + 103).
constexpr UINT WM_TM_ENCODEEND = 0x0467;

// The window messages the library and the program register by name.
inline constexpr char16_t kTMDirectXNotifyMessageName[] = u"TM_DIRECTXNOTIFY_MESSAGE";
inline constexpr char16_t kTMDirectXMusicNotifyMessageName[] = u"TM_DIRECTXMUSICNOTIFY_MESSAGE";

// Every unit that includes this header registers both names when it is
// loaded and keeps the numbers of its own. The window layer is one shared
// library in the process, so every unit, the library's and the program's,
// holds the same two numbers. The first is the message of
// CTMDirectShowBase::SendNotifyDXMessage; the second is registered only.
static const UINT TM_DIRECTXNOTIFY_MESSAGE = ::RegisterWindowMessageW(kTMDirectXNotifyMessageName);
static const UINT TM_DIRECTXMUSICNOTIFY_MESSAGE = ::RegisterWindowMessageW(kTMDirectXMusicNotifyMessageName);

// Paths are held in records of this many wide characters, terminator included.
constexpr int TM_MAX_PATH = 260;
