#pragma once
// Kernel services of the window system's interface that the user interface
// calls: thread handles and their exit codes, waits, sleeps and the tick
// count. Qt-free. The tick count reads the window layer's clock, which tests
// replace with a virtual one.

#include "platform/win/WinTypes.h"

struct HANDLE__;
using HANDLE = HANDLE__*;

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD CREATE_SUSPENDED = 0x00000004;

constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;

void Sleep(DWORD milliseconds);
DWORD GetTickCount();
DWORD GetCurrentThreadId();
// Thread handles (from CWinThread): a handle whose thread object is gone is
// stale and every call on it fails.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds);
