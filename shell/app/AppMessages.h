#pragma once
// Every private window message of the program: WM_APP + n for the
// application, its palettes, dialogs and controls, WM_USER + n inside the
// image-window library and the movie library. The window class's message map
// binds a number to its handler, so one number can mean different things to
// different receivers; each meaning has its own name below.
//
// Conventions, unless a message says otherwise:
// - A message with a path or other text is sent (SendMessage); wParam points
//   to the sender's wide string, valid only during the call: receivers copy it.
// - A message with a record (settings, thumbnail list, rectangle) is sent as
//   well; the record stays the sender's.
// - A worker thread posts numbers, or a new heap record the receiver deletes
//   (PostOwnedMessage); the thumbnail loaders are the exception and send.
// - Handlers return 0. "High word" and "low word" of lParam are its upper and
//   lower 16 bits.
//
// The main frame is the hub of file changes: a review window or palette sends
// it a request (WM_APP_FILE_OPERATION, WM_APP_WB_CHANGED, WM_APP_SAVE_SETTINGS,
// WM_APP_COLORMODE_CHANGED, WM_APP_NOISE_CHANGED); the main frame changes the
// file and sends the same number with the same parameters to every review
// window in list order (and, where said, to the palettes), so a review window
// also receives the result of its own request and ignores one for a file it
// does not show.

#include "platform/win/WinUser.h"
#include "toolkit/ControlNotifyData.h"
#include "toolkit/ThumbnailMessages.h"

// ---- The toolkit's controls to their parent (sent, synchronously)

// WM_APP_TRACKBAR_CHANGED (WM_APP + 0x01, ControlNotifyData.h): a track bar
// moved. wParam: control id; lParam: ControlNotifyData* {position, pressed
// part, repeat count}. To CPaletteToolAdjust, CSaveDlg, CThumbFormView (slider
// 1163: the thumbnail size index).
static_assert(WM_APP_TRACKBAR_CHANGED == 0x8001);

// WM_APP_RADIOBAR_CLICKED (WM_APP + 0x02, ControlNotifyData.h): a radio bar's
// button was clicked. wParam: control id; lParam: index of the clicked button.
// To CPaletteToolNoiseReduction, CPaletteToolSetting, CReviewFormView.
static_assert(WM_APP_RADIOBAR_CLICKED == 0x8002);

// The colour wheel's point changed. wParam: control id; lParam: pointer to
// three ints of the wheel's state. CColorWheel to CPaletteToolColor.
constexpr UINT WM_APP_COLORWHEEL_CHANGED = WM_APP + 0x03;

// WM_APP_SPIN_CHANGED (WM_APP + 0x04, ControlNotifyData.h): a spin's value
// changed. wParam: control id; lParam: ControlNotifyData* {value, pressed part,
// repeat count}. To CPaletteToolHist.
static_assert(WM_APP_SPIN_CHANGED == 0x8004);

// The rectangle tracker (CRectTrackerBase) to its notify window, and between
// CMiniImageWnd, CReviewFrame and CAdjustPalette: the visible part of the
// picture changed. wParam: pointer to the rectangle; lParam: 0. To
// CMiniImageWnd, CPaletteToolNavi, CAdjustPalette, CReviewFrame
// (ControlNotifyData.h).
static_assert(WM_APP_VISIBLE_RECT == 0x801C);

// ---- The browser

// To CThumbFormView, from the thumbnail grid (CTLM_ThumbnailWnd), the view
// itself and the main frame. wParam 1: the focused file changed (update
// captions and buttons, tell the information palette); 2: open the file
// (CMainFrame::OpenImage). lParam: pointer to the path's characters (a plain
// wide string, possibly empty).
constexpr UINT WM_APP_THUMB_VIEW_EVENT = WM_APP + 0x05;
constexpr WPARAM kThumbViewFocusChanged = 1;
constexpr WPARAM kThumbViewOpenFile = 2;

// To CInfoPalette, from the main frame and CThumbFormView: the browser's
// selection or current file changed. wParam: pointer to the current file's path
// string (empty: none); lParam: 0, or non-zero to force a reload (1 after a
// rotation). The palette shows the single selected item, or nothing when none
// or several are selected.
constexpr UINT WM_APP_SHOW_INFO = WM_APP + 0x18;

// To CReviewFrame, from the main frame, CThumbFormView (after a filter change)
// and CReviewFrame itself (after saving): the browser's file list changed.
// wParam: CET_ThumbnailDataManager* with all of the browser's items; lParam: 0.
constexpr UINT WM_APP_FILE_LIST_CHANGED = WM_APP + 0x20;

// CFolderTreeCtrl's shell change notification (registered for folder created,
// removed or renamed, media inserted or removed, drive added or removed).
// wParam: pointer to the pair of shell item lists; lParam: the event.
constexpr UINT WM_APP_SHELL_NOTIFY = WM_APP + 0x24;

// CFolderTreeCtrl, posted to itself: select the remembered folder again after
// a shell change. wParam 0, lParam 0.
constexpr UINT WM_APP_RESELECT_FOLDER = WM_APP + 0x25;

// ---- The main frame's file changes (requests to it, results from it)

// A raw file's white balance. CAdjustPalette (white-balance panel) to the main
// frame, which writes it and sends it on to every CReviewFrame and to
// CInfoPalette (which reload the file's shooting information). wParam: pointer
// to the file's path string; lParam: white-balance list index (0 from the
// main frame to the information palette).
constexpr UINT WM_APP_WB_CHANGED = WM_APP + 0x11;

// A raw file's settings. CAdjustPalette and CReviewFrame (write-settings and
// save commands), and the main frame's batch save to itself, to the main
// frame, which stores them and sends the message on to every CReviewFrame,
// CAdjustPalette and CInfoPalette (which refresh when they show that file).
// wParam: pointer to the file's path string; lParam: CKVR_FilterData*.
constexpr UINT WM_APP_SAVE_SETTINGS = WM_APP + 0x12;

// A file operation. Request: CReviewFrame to the main frame; result: the main
// frame (and the thumbnail window after a move by drag and drop) to every
// CReviewFrame. wParam: request: pointer to the path string (rotate: to two
// consecutive strings, source and destination); result: pointer to the changed
// path. lParam: the operation in the high word (1 rotate, 2 mark, 3 lock,
// 4 delete) and its value in the low word (2 clockwise or set, 1
// counter-clockwise or clear, 0 with delete); deleted files include files
// moved away.
constexpr UINT WM_APP_FILE_OPERATION = WM_APP + 0x16;
constexpr LPARAM kFileOperationRotateClockwise = 0x10002;
constexpr LPARAM kFileOperationRotateCounterClockwise = 0x10001;
constexpr LPARAM kFileOperationMarkSet = 0x20002;
constexpr LPARAM kFileOperationMarkClear = 0x20001;
constexpr LPARAM kFileOperationLockSet = 0x30002;
constexpr LPARAM kFileOperationLockClear = 0x30001;
constexpr LPARAM kFileOperationDelete = 0x40000;

// A raw file's colour mode: as WM_APP_WB_CHANGED, with the colour-mode list
// index in lParam.
constexpr UINT WM_APP_COLORMODE_CHANGED = WM_APP + 0x22;

// A raw file's noise reduction: as WM_APP_WB_CHANGED; lParam: the chroma step
// in the low word, the luminance step in the high word (0 to the information
// palette). The main frame writes the steps only for ISO 400 and above.
constexpr UINT WM_APP_NOISE_CHANGED = WM_APP + 0x23;

// ---- Presets (from CLumitraApp through the main frame's relay)

// A user preset was added: to every CReviewFrame, and for an import also to
// CAdjustPalette. wParam: CKVR_FilterData* of the preset; lParam: the window
// that saved it, or 0 for an import.
constexpr UINT WM_APP_PRESET_ADDED = WM_APP + 0x19;

// A user preset was removed: to every CReviewFrame. wParam: CKVR_FilterData*
// of the removed preset (deleted after the broadcast); lParam: 0.
constexpr UINT WM_APP_PRESET_REMOVED = WM_APP + 0x1A;

// A user preset was overwritten: to every CReviewFrame. wParam: the saved
// CKVR_FilterData*; lParam: the window that saved it.
constexpr UINT WM_APP_PRESET_REPLACED = WM_APP + 0x1F;

// ---- The review window and its palettes

// CReviewFrame to CAdjustPalette: show these settings in the panels. wParam:
// the review window's settings slot (1-3; slot 4 is reported as 3), plus 0x80
// when the slot's record reports its flag; lParam: pointer to a pair {a copy
// of the slot's settings record, the review window}.
// CAdjustPalette to CReviewFrame (the other direction): develop a preview with
// new settings. wParam: a slot value from the palette; lParam: the settings
// record, or null.
constexpr UINT WM_APP_PREVIEW_SETTINGS = WM_APP + 0x10;
constexpr WPARAM kPreviewSettingsFlag = 0x80;

// CReviewFrame and CAdjustPalette (histogram panel) to each other: the
// clipping-warning settings changed. wParam: warning display on (1) or off
// (0); lParam: combo index << 16 | highlight threshold << 8 | shadow threshold.
constexpr UINT WM_APP_CLIP_WARNINGS = WM_APP + 0x13;

// CReviewFrame (when activated, after opening an image, when opening the
// adjustment palette) to CAdjustPalette and CInfoPalette: the active review
// window's image changed. wParam: pointer to the image's path string; lParam:
// the CReviewFrame.
constexpr UINT WM_APP_ACTIVE_IMAGE = WM_APP + 0x14;

// CReviewFrame to CAdjustPalette: a new picture for the navigator and
// histogram panels. wParam: the CReviewFrame; lParam: the new preview picture.
constexpr UINT WM_APP_PREVIEW_BITMAP = WM_APP + 0x15;

// CAdjustPalette to CReviewFrame: save the review window's image
// (CReviewFrame::SaveImage). wParam 0, lParam 0.
constexpr UINT WM_APP_SAVE_REQUEST = WM_APP + 0x1D;

// CAdjustPalette (colour panel) to CReviewFrame: grey-point picking mode.
// wParam: 1 on, 0 off; lParam: 0.
constexpr UINT WM_APP_GRAY_POINT_MODE = WM_APP + 0x1E;

// The review view's develop worker (its progress callback) to CReviewFormView,
// posted. wParam: percent for the progress bar (quick picture 0-10, automatic
// adjustment 10-55, development 55-100; 100 resets the bar); lParam: 0. Queued
// ones are removed before a new start.
constexpr UINT WM_APP_DEVELOP_PROGRESS = WM_APP + 0x24;

// The review view's develop and load workers to CReviewFormView, posted: the
// worker ended. wParam: 1 when a picture was produced, else 0; lParam: 0.
constexpr UINT WM_APP_DEVELOP_DONE = WM_APP + 0x25;

// The image pane (CET_ImageWndOrg with this notify message) to CReviewFormView:
// a mouse event on the picture. wParam: the mouse message (WM_MOUSEMOVE,
// WM_LBUTTONDOWN, ...); lParam: CET_ImageWndMsgData*.
constexpr UINT WM_APP_IMAGE_MOUSE = WM_APP + 0x26;

// The review view's develop worker to CReviewFormView, posted: a quick picture
// to show while the full development runs. wParam: a new CET_Dib (the receiver
// takes it; null is ignored); lParam: 0.
constexpr UINT WM_APP_DEVELOP_PARTIAL = WM_APP + 0x27;

// ---- Progress dialogs, saving, printing and the slide show

// Posted by a dialog to itself from its initialisation: CThreadProgressDlg
// resumes its suspended worker thread; CTLM_PrintDlg and CSelectFolderDlg run
// their deferred start-up work. wParam 0, lParam 0.
constexpr UINT WM_APP_START_THREAD = WM_APP + 0x06;

// Worker threads and their progress callbacks (develop-and-save, JPEG
// extraction, batch save, print loading, rotation) to CThreadProgressDlg and
// its subclasses, posted. wParam: percent 0-100 (-1, or another value than 100
// with lParam 1: failed or cancelled); lParam: 0 progress, 1 finished.
constexpr UINT WM_APP_THREAD_PROGRESS = WM_APP + 0x1B;

// The print loading worker to CPrintProgressDlg, posted: picture wParam (from
// 1) of lParam is being read (shown as "picture x of y", text 131).
constexpr UINT WM_APP_PRINT_PROGRESS = WM_APP + 0x21;

// The batch develop-and-save worker to CSaveMultiProgressDlg, posted: the next
// file is being saved. wParam: its 0-based index; lParam: a new
// CTLM_ThumbnailData of the file (the receiver deletes it).
constexpr UINT WM_APP_SAVE_FILE_STARTED = WM_APP + 0x24;

// The batch develop-and-save worker to CSaveMultiProgressDlg, posted: the
// output of file wParam exists; ask whether to overwrite (the worker polls
// the answer every 200 ms). lParam: 0.
constexpr UINT WM_APP_SAVE_ASK_OVERWRITE = WM_APP + 0x25;

// CSlideShowWnd to CSlideShowDlg, sent: a transition ended; restart the timer
// and load the next picture. wParam 0, lParam 0.
constexpr UINT WM_APP_SLIDE_NEXT = WM_APP + 0x25;

// CTLM_PrintPreviewWnd to CTLM_PrintDlg, sent while the left button drags a
// picture cell: move the cropped part of the picture inside its cell. wParam:
// index of the picture cell under the mouse; lParam: pointer to the drag
// offset scaled to the page.
constexpr UINT WM_APP_PRINT_PAN = WM_APP + 0x100;

// ---- The movie library, posted to the movie's owner window

// The numbers are the movie library's own (movie/TKRMovieDefs.h), which this
// header does not include: that header registers the library's message names
// when it is loaded and so needs the window layer, which the window-free
// application services do without. CLumitraAppTest checks the numbers.
// - WM_TM_THUMBNAILBREAK (WM_APP + 0x64): a frame grab stopped or failed.
//   wParam 0; lParam 0 when stopped early, else the failure code.
// - WM_TM_GRAPHNOTIFY (WM_APP + 0x65): a frame was grabbed (also the playback
//   graph's event message). wParam 0; lParam: elapsed milliseconds.
// - WM_TM_ENCODEEND (WM_USER + 103): the encode thread to the encode job's
//   notify window: the job ended, finished or cancelled. wParam 0, lParam 0.
// - WM_TM_ENCODESTATUS (WM_USER + 200): the same, when the job failed. wParam:
//   2 or 3 no video or audio compressor of that name, 4 or 5 the video or
//   audio could not be encoded; lParam: the failure code.

// ---- The image-window library (WM_USER + n)

// The thumbnail loader threads of CET_ThumbnailWnd and CTLM_ThumbnailWnd to
// their window, sent: redraw the item's cell. wParam: the item whose picture
// was set, lParam 1; wParam 0 and lParam 0: the loader has finished.
static_assert(WM_THUMB_ITEMLOADED == WM_USER + 500); // toolkit/ThumbnailMessages.h

// CET_ThumbEdit to CET_ThumbnailWnd, posted: the in-place rename edit ended;
// take its text and hide it. wParam 0, lParam 0.
static_assert(WM_THUMB_RENAMEEND == WM_USER + 600);

// Forwarded to CET_ImageWndOrg's notification hook (nothing in the program
// sends it).
constexpr UINT WM_IMAGE_NOTIFY = WM_USER + 1000;

// Standard messages used the same way: WM_CLOSE, sent by the main frame to
// every review window when it closes and posted to itself every 500 ms while
// review windows remain; WM_COPYDATA, sent by a second instance to the main
// frame with the path to open (UTF-16 with its terminator). The movie library
// registers "TM_DIRECTXNOTIFY_MESSAGE" and "TM_DIRECTXMUSICNOTIFY_MESSAGE"
// (TKRMovieDefs.h); no window of the program handles either.
