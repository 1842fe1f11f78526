// The adjustment palette with a fake review window and main frame: the
// stacking of its panels for raw and other files and for each PaletteState,
// what each panel's change sends where with which packing, the following
// rules (rebuild, echoes, a review window that goes), placement and state
// kept across a close, what the panels show for given settings, and the
// navigator's rectangle between the review window and a drag.

#include "platform/testing/Headless.h"
#include "review/palettes/CAdjustPalette.h"
#include "review/palettes/CPaletteToolAdjust.h"
#include "review/palettes/CPaletteToolColMode.h"
#include "review/palettes/CPaletteToolColor.h"
#include "review/palettes/CPaletteToolHist.h"
#include "review/palettes/CPaletteToolNavi.h"
#include "review/palettes/CPaletteToolNoiseReduction.h"
#include "review/palettes/CPaletteToolSetting.h"
#include "review/controls/CKVRSettingDlg.h"
#include "review/palettes/CPaletteToolWB.h"
#include "shell/app/AppMessages.h"
#include "shell/dialogs/DialogTestSupport.h"
#include "shell/facade/CKVR_FilterData.h"
#include "support/DibBuilder.h"

#include <map>
#include <memory>
#include <vector>

namespace {

struct Sent {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Sent&) const = default;
};
void PrintTo(const Sent& s, std::ostream* os) {
  *os << "{0x" << std::hex << s.message << ", " << std::dec << s.wParam << ", " << s.lParam << "}";
}

// A window that keeps every application message sent to it.
class RecordingWnd : public CWnd {
public:
  std::vector<Sent> sent;
  FString lastPath;
  std::unique_ptr<CET_FilterData> lastRecord;
  std::vector<FDoubleRect> visible; // every WM_APP_VISIBLE_RECT's rectangle
  RecordingWnd() { CreateEx(0, u"Recorder", u"", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0); }
  ~RecordingWnd() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message < WM_APP) return CWnd::WindowProc(message, wParam, lParam);
    sent.push_back({message, wParam, lParam});
    if (message == WM_APP_WB_CHANGED || message == WM_APP_COLORMODE_CHANGED || message == WM_APP_NOISE_CHANGED) {
      lastPath = *reinterpret_cast<const FString*>(wParam);
    }
    if (message == WM_APP_PREVIEW_SETTINGS && lParam) {
      lastRecord.reset(reinterpret_cast<const CET_FilterData*>(lParam)->Clone());
    }
    if (message == WM_APP_VISIBLE_RECT && wParam) visible.push_back(*reinterpret_cast<const FDoubleRect*>(wParam));
    return 0;
  }
};

class FakeFrame : public IAdjustPaletteFrame {
public:
  RecordingWnd window;
  CKVR_FilterData settings;
  int slot = 1;
  int pending = 0;
  bool hasRecord = true;
  int width = 2304, height = 1536, finalPicture = 1;
  // The record's picture, 3 : 2 in colour bands; the visible part at its centre.
  std::unique_ptr<CET_Dib> picture =
      testsupport::MakeBottomUpDib(300, 200, [](int x, int y) { return RGB(40 + x / 2, 90 + y / 3, 160); });
  FDoubleRect visible{0.25, 0.25, 0.75, 0.75};
  BOOL ready = TRUE;
  CWnd* GetFrameWnd() override { return &window; }
  CTLM_ThumbnailData* GetThumbnailRecord(int* isPending) override {
    if (!hasRecord) return nullptr;
    *isPending = pending;
    auto* record = new CTLM_ThumbnailData;
    record->m_Width = width;
    record->m_Height = height;
    record->m_bFinalPicture = finalPicture;
    if (picture) {
      auto* copy = new CET_Dib;
      copy->CopyFrom(picture.get());
      record->SetPicture(copy);
    }
    return record;
  }
  void GetCurrentState(int* s, CET_FilterData* record, CET_Dib*) override {
    *s = slot;
    record->CopyFrom(&settings);
  }
  void GetCustomSettings(CET_FilterData*) override {}
  void GetWarnings(int* flag, int* type, BYTE* shadow, BYTE* highlight) override {
    *flag = 0, *type = 0, *shadow = 10, *highlight = 250;
  }
  BOOL IsCurrentSlotModified() override { return FALSE; }
  FDoubleRect GetVisibleRect() override { return visible; }
  BOOL IsImageReady() override { return ready; }
};

class FakeServices : public IAdjustPaletteServices {
public:
  RecordingWnd main;
  std::vector<std::u16string> wb{u"Auto", u"Daylight", u"Shade"};
  std::vector<std::u16string> modes{u"Standard", u"Vivid "};
  std::u16string iso = u"400";
  CWnd* GetMainFrame() override { return &main; }
  BOOL GetWBList(const FString&, CKVR_Data_FileList<CKVR_WBData>* list) override { return Fill(wb, list); }
  BOOL GetColorModeList(const FString&, CKVR_Data_FileList<CKVR_CMData>* list) override { return Fill(modes, list); }
  FString GetIso(const FString&) override { return FString(iso); }
  template <class T>
  static BOOL Fill(const std::vector<std::u16string>& names, CKVR_Data_FileList<T>* list) {
    for (const auto& name : names) {
      auto item = std::make_unique<T>();
      item->m_strName = FString(name);
      list->Add(std::move(item));
    }
    return TRUE;
  }
};

class AdjustPaletteTest : public DialogTest {
protected:
  AdjustPaletteTest() {
    CAppSettings& s = *m_App.GetSettings();
    s.m_dwPaletteState = 0x33;
    s.m_rcAdjustWindow = {40, 30, 0, 0};
  }
  ~AdjustPaletteTest() override { CAdjustPalette::Close(); }

  CAdjustPalette* OpenOn(FakeFrame& frame, const FString& path) {
    CAdjustPalette* palette = CAdjustPalette::Open(&services);
    palette->SendMessage(WM_APP_ACTIVE_IMAGE, reinterpret_cast<WPARAM>(&path), reinterpret_cast<LPARAM>(&frame));
    pt::Pump();
    return palette;
  }
  static CSize OuterSize(CWnd* window) {
    CRect r;
    window->GetWindowRect(r);
    return r.Size();
  }
  template <class Panel>
  static Panel* PanelAt(CAdjustPalette* palette, int index) {
    return dynamic_cast<Panel*>(palette->GetPanel(index));
  }

  FakeServices services;
  FakeFrame frame;
  const FString raw{u"/pictures/a.kvr"};
  const FString jpeg{u"/pictures/b.jpg"};
};

TEST_F(AdjustPaletteTest, PanelsStackForTheFileTypeAndTheExpandedState) {
  // Presets, tone, white balance, colour mode, colour, noise reduction, histogram, navigator.
  struct Case {
    DWORD state;
    const FString* path;
    int height;
  } cases[] = {
      {0x33, &raw, 130 + 306 + 25 + 25 + 161 + 121 + 28 + 28},  {0x33, &jpeg, 85 + 271 + 161 + 28 + 28},
      {0xFF, &raw, 130 + 306 + 60 + 60 + 161 + 121 + 176 + 141}, {0xFF, &jpeg, 85 + 271 + 161 + 176 + 141},
      {0x00, &raw, 25 * 6 + 28 + 28},                            {0x00, &jpeg, 25 * 3 + 28 + 28},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.state << " " << (c.path == &raw ? "raw" : "jpeg"));
    m_App.GetSettings()->m_dwPaletteState = c.state;
    CAdjustPalette* palette = OpenOn(frame, *c.path);
    EXPECT_EQ(OuterSize(palette), CSize(242, c.height + 20));
    CAdjustPalette::Close();
  }
}

TEST_F(AdjustPaletteTest, SwitchingFromJpegToRawGrowsThePalette) {
  CAdjustPalette* palette = OpenOn(frame, jpeg);
  EXPECT_EQ(OuterSize(palette).cy, 573 + 20);
  EXPECT_EQ(palette->GetPanel(CAdjustPalette::kNoisePanel)->GetPanelSize(palette->GetFileType()), CSize(0, 0));
  OpenOn(frame, raw);
  EXPECT_EQ(OuterSize(palette).cy, 824 + 20);
  // Collapsing the tone panel restacks at once.
  palette->GetPanel(CAdjustPalette::kTonePanel)->ToggleExpand();
  EXPECT_EQ(OuterSize(palette).cy, 824 - 306 + 25 + 20);
}

TEST_F(AdjustPaletteTest, ClosingKeepsStateAndPlacementAndTheNextOpenRestoresThem) {
  CAdjustPalette* palette = OpenOn(frame, raw);
  palette->GetPanel(CAdjustPalette::kWhiteBalancePanel)->ToggleExpand(); // 0x33 | 0x04
  palette->SetWindowPos(nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  CAdjustPalette::Close();
  EXPECT_FALSE(CAdjustPalette::IsOpen());
  const CAppSettings& s = *m_App.GetSettings();
  EXPECT_EQ(s.m_dwPaletteState, 0x37u);
  EXPECT_EQ(s.m_rcAdjustWindow.left, 120);
  EXPECT_EQ(s.m_rcAdjustWindow.top, 90);

  palette = OpenOn(frame, raw);
  CRect r;
  palette->GetWindowRect(r);
  EXPECT_EQ(r.TopLeft(), CPoint(120, 90));
  EXPECT_TRUE(palette->GetPanel(CAdjustPalette::kWhiteBalancePanel)->IsExpanded());
}

TEST_F(AdjustPaletteTest, ASavedPlaceOffTheScreenIsPulledBackInside) {
  const int cx = GetSystemMetrics(SM_CXMAXIMIZED);
  const int cy = GetSystemMetrics(SM_CYMAXIMIZED);
  struct Case {
    LONG left, top;
    bool atRightEdge, atBottomEdge;
  } cases[] = {{-50, -7, false, false}, {cx + 100, cy + 100, true, true}, {cx - 10, 20, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.left);
    m_App.GetSettings()->m_rcAdjustWindow = {c.left, c.top, 0, 0};
    CAdjustPalette* palette = CAdjustPalette::Open(&services);
    CRect r;
    palette->GetWindowRect(r);
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    if (c.atRightEdge) {
      EXPECT_EQ(r.right, cx);
    } else {
      EXPECT_EQ(r.left, 0);
    }
    if (c.atBottomEdge) {
      EXPECT_EQ(r.bottom, cy);
    }
    CAdjustPalette::Close();
  }
}

TEST_F(AdjustPaletteTest, RequestsGoToTheFollowedFrameOrTheMainFrameWithTheirPacking) {
  CAdjustPalette* palette = OpenOn(frame, raw);
  frame.window.sent.clear();
  palette->SendGrayPointMode(1);
  palette->SendSaveRequest();
  palette->SetClipWarnings(1, 2, 12, 240);
  palette->SendSettings(3, FALSE);
  EXPECT_EQ(frame.window.sent, (std::vector<Sent>{{WM_APP_GRAY_POINT_MODE, 1, 0},
                                                  {WM_APP_SAVE_REQUEST, 0, 0},
                                                  {WM_APP_CLIP_WARNINGS, 1, (2 << 16) | (240 << 8) | 12},
                                                  {WM_APP_PREVIEW_SETTINGS, 3, 0}}));
  int flag = 0, type = 0;
  BYTE shadow = 0, highlight = 0;
  palette->GetClipWarnings(&flag, &type, &shadow, &highlight);
  EXPECT_EQ(std::vector<int>({flag, type, shadow, highlight}), std::vector<int>({1, 2, 12, 240}));

  // Noise reduction: chroma 3 with luminance 1 is 0x10003, for the followed file.
  auto* settings = dynamic_cast<CKVR_FilterData*>(palette->GetSettings());
  settings->m_nNoiseReduction = 1;
  settings->m_nLumaNoise = 1;
  palette->GetPanel(CAdjustPalette::kNoisePanel)->SendMessage(WM_APP_RADIOBAR_CLICKED,
                                                              CPaletteToolNoiseReduction::kChromaId, 3);
  ASSERT_FALSE(services.main.sent.empty());
  EXPECT_EQ(services.main.sent.back().message, WM_APP_NOISE_CHANGED);
  EXPECT_EQ(services.main.sent.back().lParam, 0x10003);
  EXPECT_EQ(services.main.lastPath, raw);
  // Another id sends nothing.
  const size_t before = services.main.sent.size();
  palette->GetPanel(CAdjustPalette::kNoisePanel)->SendMessage(WM_APP_RADIOBAR_CLICKED, 1, 2);
  EXPECT_EQ(services.main.sent.size(), before);

  // The file-level requests are for raw files only.
  OpenOn(frame, jpeg);
  services.main.sent.clear();
  palette->SendWhiteBalance();
  palette->SendColorMode();
  palette->SendNoiseReduction();
  EXPECT_TRUE(services.main.sent.empty());
}

TEST_F(AdjustPaletteTest, ListPanelsOfferTheFilesChoicesAndSendEachPick) {
  frame.settings.m_nWhiteBalance = 1;
  frame.settings.m_nColorMode = 5; // no such entry: nothing selected
  CAdjustPalette* palette = OpenOn(frame, raw);
  auto* wb = palette->GetPanel(CAdjustPalette::kWhiteBalancePanel);
  auto* cm = palette->GetPanel(CAdjustPalette::kColorModePanel);
  HWND wbList = GetDlgItem(wb->m_hWnd, CPaletteToolWB::kListId);
  HWND cmList = GetDlgItem(cm->m_hWnd, CPaletteToolColMode::kListId);
  auto* wbCombo = dynamic_cast<CComboBoxBase*>(CWnd::FromHandle(wbList));
  auto* cmCombo = dynamic_cast<CComboBoxBase*>(CWnd::FromHandle(cmList));
  ASSERT_TRUE(wbCombo && cmCombo);
  EXPECT_EQ(wbCombo->GetCount(), 3);
  EXPECT_EQ(wbCombo->GetCurSel(), 1);
  EXPECT_EQ(cmCombo->GetCount(), 2);
  EXPECT_EQ(cmCombo->GetCurSel(), -1);

  // Picking the entry already shown still sends.
  services.main.sent.clear();
  wb->SendMessage(WM_COMMAND, MAKEWPARAM(CPaletteToolWB::kListId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(wbList));
  cmCombo->SetCurSel(0);
  cm->SendMessage(WM_COMMAND, MAKEWPARAM(CPaletteToolColMode::kListId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(cmList));
  ASSERT_EQ(services.main.sent.size(), 2u);
  EXPECT_EQ(services.main.sent[0].message, WM_APP_WB_CHANGED);
  EXPECT_EQ(services.main.sent[0].lParam, 1);
  EXPECT_EQ(services.main.sent[1].message, WM_APP_COLORMODE_CHANGED);
  EXPECT_EQ(services.main.sent[1].lParam, 0);

  // A camera without colour modes: a disabled, empty list; white balance empty too.
  services.modes.clear();
  services.wb.clear();
  frame.width = 100; // a new picture size: the palette rebuilds
  OpenOn(frame, raw);
  EXPECT_EQ(cmCombo->GetCount(), 0);
  EXPECT_FALSE(cmCombo->IsWindowEnabled());
  EXPECT_FALSE(wbCombo->IsWindowEnabled());
  // Only the colour-mode panel greys its title for an empty list.
  auto titleColour = [](CWnd* panel) {
    return dynamic_cast<CStaticBase*>(panel->GetDlgItem(CPaletteToolBase::kTitleId))->GetTextColor();
  };
  EXPECT_EQ(titleColour(cm), RGB(127, 127, 127));
  EXPECT_NE(titleColour(wb), RGB(127, 127, 127));
  services.modes = {u"Standard"};
  frame.width = 200;
  OpenOn(frame, raw);
  EXPECT_EQ(titleColour(cm), RGB(255, 255, 255));
  EXPECT_TRUE(cmCombo->IsWindowEnabled());
}

TEST_F(AdjustPaletteTest, ToneSlidersShowTenthsAndStoreTimesTenAsCustomSettings) {
  frame.settings.m_nExposure = 125;
  frame.settings.m_nContrast = -37;
  frame.settings.m_nShadow = 350;
  frame.settings.m_nHighlight = -5;
  frame.settings.m_nFillLight = 40;
  CAdjustPalette* palette = OpenOn(frame, raw);
  CWnd* tone = palette->GetPanel(CAdjustPalette::kTonePanel);
  auto pos = [&](int i) {
    return dynamic_cast<CTrackBarBase*>(tone->GetDlgItem(CPaletteToolAdjust::kFirstSliderId + i))->GetPos();
  };
  EXPECT_EQ(std::vector<int>({pos(0), pos(1), pos(2), pos(3), pos(6)}), std::vector<int>({12, -3, 20, 0, 4}));

  frame.window.sent.clear();
  ControlNotifyData note{1, 1, 0};
  tone->SendMessage(WM_APP_TRACKBAR_CHANGED, CPaletteToolAdjust::kFirstSliderId + 3, reinterpret_cast<LPARAM>(&note));
  ASSERT_EQ(frame.window.sent.size(), 1u);
  EXPECT_EQ(frame.window.sent[0].wParam, 3u);
  ASSERT_TRUE(frame.window.lastRecord);
  EXPECT_EQ(frame.window.lastRecord->m_nHighlight, 10);
  EXPECT_EQ(frame.window.lastRecord->m_strName, FString(Text(CAdjustPalette::kCustomSettingNameTextId)));

  // Reset clears the six tone values and fill light on a raw file, and keeps the colour.
  palette->GetSettings()->m_nCyan = 12;
  tone->SendMessage(WM_COMMAND, MAKEWPARAM(CPaletteToolAdjust::kResetId, BN_CLICKED), 0);
  const auto* reset = dynamic_cast<const CKVR_FilterData*>(frame.window.lastRecord.get());
  ASSERT_TRUE(reset);
  EXPECT_EQ(std::vector<int>({reset->m_nExposure, reset->m_nContrast, reset->m_nShadow, reset->m_nFillLight}),
            std::vector<int>({0, 0, 0, 0}));
  EXPECT_EQ(reset->m_nCyan, 12);
}

TEST_F(AdjustPaletteTest, NoisePanelLooksActiveFromIso400AndWorksOnlyWhenAvailable) {
  EXPECT_EQ(CPaletteToolNoiseReduction::IsoNumber(u"400"), 400);
  EXPECT_EQ(CPaletteToolNoiseReduction::IsoNumber(u"200 (auto)"), 200);
  EXPECT_EQ(CPaletteToolNoiseReduction::IsoNumber(u""), 0);
  EXPECT_EQ(CPaletteToolNoiseReduction::IsoNumber(u"99999999999999999999"), 2147483647);
  struct Case {
    const char16_t* iso;
    int available;
    COLORREF title;
    bool enabled;
  } cases[] = {{u"200", 1, RGB(127, 127, 127), true}, {u"400", 1, RGB(255, 255, 255), true},
               {u"800", 0, RGB(255, 255, 255), false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "ISO " << FString(c.iso).View().size() << " available " << c.available);
    services.iso = c.iso;
    frame.settings.m_nNoiseReduction = c.available;
    frame.settings.m_nChromaNoise = 2;
    frame.width += 1; // a rebuild each time
    CAdjustPalette* palette = OpenOn(frame, raw);
    CWnd* noise = palette->GetPanel(CAdjustPalette::kNoisePanel);
    auto* title = dynamic_cast<CStaticBase*>(noise->GetDlgItem(CPaletteToolBase::kTitleId));
    auto* chroma = dynamic_cast<CRadioBarBase*>(noise->GetDlgItem(CPaletteToolNoiseReduction::kChromaId));
    EXPECT_EQ(title->GetTextColor(), c.title);
    EXPECT_EQ(chroma->IsWindowEnabled() != FALSE, c.enabled);
    EXPECT_EQ(chroma->GetCurSel(), c.enabled ? 2 : -1);
  }
}

TEST_F(AdjustPaletteTest, FollowingRebuildsOnlyOnChangeAndIgnoresOtherFrames) {
  frame.settings.m_nExposure = 100;
  CAdjustPalette* palette = OpenOn(frame, raw);
  palette->GetSettings()->m_nExposure = 7; // the palette's own edit
  OpenOn(frame, raw);                      // same frame, path, final picture and size
  EXPECT_EQ(palette->GetSettings()->m_nExposure, 7);

  // A pending record (here of a new picture size) rebuilds, and so does the next activation.
  frame.pending = 1;
  frame.width = 600;
  OpenOn(frame, raw);
  frame.pending = 0;
  palette->GetSettings()->m_nExposure = 7;
  OpenOn(frame, raw);
  EXPECT_EQ(palette->GetSettings()->m_nExposure, 100);

  // Echoes and pictures of another frame are ignored; the followed frame's are taken.
  FakeFrame other;
  CKVR_FilterData echoed;
  echoed.m_nExposure = 300;
  echoed.m_nWhiteBalance = 2;
  PaletteSettingsEcho fromOther{&echoed, &other};
  palette->SendMessage(WM_APP_PREVIEW_SETTINGS, 3, reinterpret_cast<LPARAM>(&fromOther));
  EXPECT_EQ(palette->GetSettings()->m_nExposure, 100);
  PaletteSettingsEcho fromFollowed{&echoed, &frame};
  palette->SendMessage(WM_APP_PREVIEW_SETTINGS, 3 | kPreviewSettingsFlag, reinterpret_cast<LPARAM>(&fromFollowed));
  EXPECT_EQ(palette->GetSettings()->m_nExposure, 300);
  EXPECT_EQ(palette->GetSlot(), 3);
  EXPECT_EQ(palette->IsModified(), 1);
  EXPECT_EQ(dynamic_cast<CKVR_FilterData*>(palette->GetCustomSettings())->m_nWhiteBalance, 2);
  // A JPEG record echoed clears the custom record's file-level values.
  CET_FilterData plain;
  PaletteSettingsEcho plainEcho{&plain, &frame};
  palette->SendMessage(WM_APP_PREVIEW_SETTINGS, 4, reinterpret_cast<LPARAM>(&plainEcho));
  EXPECT_EQ(dynamic_cast<CKVR_FilterData*>(palette->GetCustomSettings())->m_nWhiteBalance, -1);

  // A frame without a record is ignored.
  other.hasRecord = false;
  palette->SendMessage(WM_APP_ACTIVE_IMAGE, reinterpret_cast<WPARAM>(&jpeg), reinterpret_cast<LPARAM>(&other));
  EXPECT_EQ(palette->GetFrame(), &frame);
}

TEST_F(AdjustPaletteTest, AFollowedFrameThatGoesIsNeverSentToAgain) {
  auto doomed = std::make_unique<FakeFrame>();
  CAdjustPalette* palette = OpenOn(*doomed, raw);
  CAdjustPalette::ForgetFrame(doomed.get());
  doomed.reset();
  EXPECT_EQ(palette->GetFrame(), nullptr);
  // Edits in the panels now reach nobody, and nothing breaks.
  ControlNotifyData note{2, 1, 0};
  palette->GetPanel(CAdjustPalette::kTonePanel)
      ->SendMessage(WM_APP_TRACKBAR_CHANGED, CPaletteToolAdjust::kFirstSliderId, reinterpret_cast<LPARAM>(&note));
  palette->SendGrayPointMode(1);
  // The same path from a new frame rebuilds.
  OpenOn(frame, raw);
  EXPECT_EQ(palette->GetFrame(), &frame);
}

TEST_F(AdjustPaletteTest, EditsBeforeAnyImageAreIgnored) {
  CAdjustPalette* palette = CAdjustPalette::Open(&services);
  ControlNotifyData note{2, 1, 0};
  palette->GetPanel(CAdjustPalette::kTonePanel)
      ->SendMessage(WM_APP_TRACKBAR_CHANGED, CPaletteToolAdjust::kFirstSliderId, reinterpret_cast<LPARAM>(&note));
  palette->GetPanel(CAdjustPalette::kTonePanel)->SendMessage(WM_COMMAND, MAKEWPARAM(CPaletteToolAdjust::kResetId, 0));
  palette->GetPanel(CAdjustPalette::kNoisePanel)->SendMessage(WM_APP_RADIOBAR_CLICKED, 1239, 3);
  EXPECT_EQ(palette->GetSettings(), nullptr);
  EXPECT_TRUE(services.main.sent.empty());
}

TEST_F(AdjustPaletteTest, ArrowKeysAnywhereMoveTheWheelOnlyWhileTheColourPanelIsExpanded) {
  CAdjustPalette* palette = OpenOn(frame, raw);
  CWnd* tone = palette->GetPanel(CAdjustPalette::kTonePanel);
  HWND slider = tone->GetDlgItem(CPaletteToolAdjust::kFirstSliderId)->m_hWnd;
  MSG letter{};
  letter.hwnd = slider;
  letter.message = WM_KEYDOWN;
  letter.wParam = 'A';
  EXPECT_FALSE(CWnd::WalkPreTranslateTree(palette->m_hWnd, &letter));

  auto pressRight = [&] {
    frame.window.sent.clear();
    ::PostMessageW(slider, WM_KEYDOWN, VK_RIGHT, 0);
    pt::Pump();
    return frame.window.sent.size();
  };
  EXPECT_EQ(pressRight(), 1u);
  EXPECT_EQ(frame.window.sent[0].message, WM_APP_PREVIEW_SETTINGS);
  EXPECT_NE(palette->GetSettings()->m_nCyan + palette->GetSettings()->m_nMagenta + palette->GetSettings()->m_nYellow,
            0);
  palette->GetPanel(CAdjustPalette::kColorPanel)->SetExpand(0, TRUE);
  EXPECT_EQ(pressRight(), 0u);
}

TEST_F(AdjustPaletteTest, ColourPanelStoresTheWheelsValueResetsAndSwitchesTheDropper) {
  frame.settings.m_nCyan = 12;
  frame.settings.m_nYellow = 5;
  CAdjustPalette* palette = OpenOn(frame, raw);
  CWnd* color = palette->GetPanel(CAdjustPalette::kColorPanel);
  auto* value = dynamic_cast<CStaticBase*>(color->GetDlgItem(CPaletteToolColor::kValueId));
  EXPECT_EQ(value->GetText(), u"12C+5Y");

  frame.window.sent.clear();
  int cmy[3] = {0, 30, 0};
  color->SendMessage(WM_APP_COLORWHEEL_CHANGED, CPaletteToolColor::kWheelId, reinterpret_cast<LPARAM>(cmy));
  ASSERT_EQ(frame.window.sent.size(), 1u);
  EXPECT_EQ(frame.window.sent[0].wParam, 3u);
  EXPECT_EQ(std::vector<int>({frame.window.lastRecord->m_nCyan, frame.window.lastRecord->m_nMagenta}),
            std::vector<int>({0, 30}));
  EXPECT_EQ(frame.window.lastRecord->m_strName, FString(Text(CAdjustPalette::kCustomSettingNameTextId)));
  EXPECT_EQ(value->GetText(), u"30M");

  color->SendMessage(WM_COMMAND, MAKEWPARAM(CPaletteToolColor::kResetId, BN_CLICKED), 0);
  EXPECT_EQ(frame.window.lastRecord->m_nMagenta, 0);

  frame.window.sent.clear();
  ClickItem(color->m_hWnd, CPaletteToolColor::kDropperId);
  pt::Pump();
  EXPECT_EQ(frame.window.sent, (std::vector<Sent>{{WM_APP_GRAY_POINT_MODE, 1, 0}}));
  EXPECT_EQ(palette->GetGrayPointMode(), 1);
}

TEST_F(AdjustPaletteTest, HistogramPanelSendsTheWarningStateAndKeepsTheThresholdsApart) {
  CAdjustPalette* palette = OpenOn(frame, raw); // warnings off, shadow 10, highlight 250
  CWnd* hist = palette->GetPanel(CAdjustPalette::kHistogramPanel);
  auto* shadow = dynamic_cast<CSpinBase*>(hist->GetDlgItem(CPaletteToolHist::kShadowId));
  auto* highlight = dynamic_cast<CSpinBase*>(hist->GetDlgItem(CPaletteToolHist::kHighlightId));
  auto* view = dynamic_cast<CComboBoxBase*>(hist->GetDlgItem(CPaletteToolHist::kViewId));
  ASSERT_TRUE(shadow && highlight && view);
  EXPECT_EQ(shadow->GetPos(), 10);
  EXPECT_EQ(highlight->GetPos(), 250);

  // A view change with the warnings off keeps them off.
  frame.window.sent.clear();
  view->SetCurSel(2);
  hist->SendMessage(WM_COMMAND, MAKEWPARAM(CPaletteToolHist::kViewId, CBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(view->m_hWnd));
  EXPECT_EQ(frame.window.sent, (std::vector<Sent>{{WM_APP_CLIP_WARNINGS, 0, (2 << 16) | (250 << 8) | 10}}));

  // A threshold step turns them on; the other spin narrows only on release.
  frame.window.sent.clear();
  shadow->SetPos(40);
  ControlNotifyData press{40, 1, 0};
  hist->SendMessage(WM_APP_SPIN_CHANGED, CPaletteToolHist::kShadowId, reinterpret_cast<LPARAM>(&press));
  EXPECT_EQ(frame.window.sent, (std::vector<Sent>{{WM_APP_CLIP_WARNINGS, 1, (2 << 16) | (250 << 8) | 40}}));
  highlight->SetPos(20);
  EXPECT_EQ(highlight->GetPos(), 20) << "not narrowed while the button is held";
  ControlNotifyData release{40, 3, 0};
  hist->SendMessage(WM_APP_SPIN_CHANGED, CPaletteToolHist::kShadowId, reinterpret_cast<LPARAM>(&release));
  highlight->SetPos(20);
  EXPECT_EQ(highlight->GetPos(), 41);

  // The warning state the frame reports comes back to the controls, the view is kept for the next palette.
  palette->SendMessage(WM_APP_CLIP_WARNINGS, 1, (4 << 16) | (200 << 8) | 199);
  EXPECT_EQ(std::vector<int>({shadow->GetPos(), highlight->GetPos(), view->GetCurSel()}),
            std::vector<int>({199, 200, 4}));
  shadow->SetPos(250);
  EXPECT_EQ(shadow->GetPos(), 199);
  // Warnings turned off keep the type and thresholds.
  palette->SendMessage(WM_APP_CLIP_WARNINGS, 0, (1 << 16) | (90 << 8) | 80);
  int flag = -1, type = 0;
  BYTE low = 0, high = 0;
  palette->GetClipWarnings(&flag, &type, &low, &high);
  EXPECT_EQ(std::vector<int>({flag, type, low, high}), std::vector<int>({0, 4, 199, 200}));
  CAdjustPalette::Close();
  EXPECT_EQ(m_App.GetSettings()->m_nHistCmbIdx, 4);
}

// Runs the saved-setting dialog that opens next: types the name (name mode)
// or picks it (pick mode), then OK.
void AnswerSettingDialog(const std::u16string& name) {
  pt::OnNextModal([name](HWND dialog) {
    HWND edit = Item(dialog, CKVRSettingDlg::kNameEditId);
    if (IsWindowVisible(edit)) {
      SetWindowTextW(edit, name.c_str());
    } else {
      HWND list = Item(dialog, CKVRSettingDlg::kListId);
      const LRESULT row = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(name.c_str()));
      RECT item{};
      SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
      pt::Click(list, {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    }
    pt::Pump();
    ClickItem(dialog, IDOK);
    pt::Pump();
  });
}

TEST_F(AdjustPaletteTest, PresetPanelShowsTheSlotAndOffersTheWriteButtonOnlyWhenModified) {
  struct Case {
    int slot;
    bool modified;
    const FString* path;
    int position;
    bool actionEnabled, listShown;
  } cases[] = {{1, false, &raw, 0, false, true}, {2, true, &raw, 1, true, true}, {4, true, &jpeg, 2, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slot);
    frame.slot = c.slot;
    frame.width += 1;
    CAdjustPalette* palette = OpenOn(frame, *c.path);
    if (c.modified) {
      PaletteSettingsEcho echo{&frame.settings, &frame};
      palette->SendMessage(WM_APP_PREVIEW_SETTINGS, c.slot | kPreviewSettingsFlag, reinterpret_cast<LPARAM>(&echo));
    }
    HWND panel = palette->GetPanel(CAdjustPalette::kPresetPanel)->m_hWnd;
    EXPECT_EQ(dynamic_cast<CRadioBarBase*>(CWnd::FromHandle(Item(panel, CPaletteToolSetting::kSlotBarId)))->GetCurSel(),
              c.position);
    const int action = c.path == &raw ? CPaletteToolSetting::kWriteSettingsId : CPaletteToolSetting::kSaveImageId;
    EXPECT_TRUE(Shown(panel, action));
    EXPECT_EQ(IsWindowEnabled(Item(panel, action)) != FALSE, c.actionEnabled);
    EXPECT_EQ(Shown(panel, CPaletteToolSetting::kPresetListId), c.listShown);
  }
  // Settings written into the file: the button is disabled again.
  CAdjustPalette* palette = CAdjustPalette::GetInstance();
  OpenOn(frame, raw);
  PaletteSettingsEcho echo{&frame.settings, &frame};
  palette->SendMessage(WM_APP_PREVIEW_SETTINGS, 3 | kPreviewSettingsFlag, reinterpret_cast<LPARAM>(&echo));
  HWND panel = palette->GetPanel(CAdjustPalette::kPresetPanel)->m_hWnd;
  ClickItem(panel, CPaletteToolSetting::kWriteSettingsId);
  pt::Pump();
  ASSERT_FALSE(services.main.sent.empty());
  EXPECT_EQ(services.main.sent.back().message, WM_APP_SAVE_SETTINGS);
  palette->SendMessage(WM_APP_SAVE_SETTINGS, reinterpret_cast<WPARAM>(&raw), 0);
  EXPECT_FALSE(IsWindowEnabled(Item(panel, CPaletteToolSetting::kWriteSettingsId)));
}

TEST_F(AdjustPaletteTest, PresetsApplyWithoutTheFileLevelValuesAndSaveOrReplaceByName) {
  CKVR_FilterData studio;
  studio.m_strName = FString(u"Studio");
  studio.m_nContrast = 40;
  studio.m_nWhiteBalance = 7;
  m_App.SavePreset(&studio, nullptr);
  frame.settings.m_nWhiteBalance = 2;
  CAdjustPalette* palette = OpenOn(frame, raw);
  auto* presets = dynamic_cast<CPaletteToolSetting*>(palette->GetPanel(CAdjustPalette::kPresetPanel));
  ASSERT_TRUE(presets);
  EXPECT_EQ(presets->GetPresetNames(), (std::vector<std::u16string>{Text(104), u"Studio"}));
  auto* list = dynamic_cast<CComboBoxBase*>(presets->GetDlgItem(CPaletteToolSetting::kPresetListId));

  auto choose = [&](int entry) {
    list->SetCurSel(entry);
    presets->SendMessage(WM_COMMAND, MAKEWPARAM(CPaletteToolSetting::kPresetListId, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(list->m_hWnd));
    return frame.window.sent.back();
  };
  EXPECT_EQ(choose(1).wParam, 3u);
  const auto* applied = dynamic_cast<const CKVR_FilterData*>(frame.window.lastRecord.get());
  EXPECT_EQ(applied->m_nContrast, 40);
  EXPECT_EQ(applied->m_nWhiteBalance, 2) << "a preset never changes the white balance";
  EXPECT_EQ(choose(0).wParam, 4u);
  EXPECT_EQ(frame.window.lastRecord->m_nContrast, 0);

  // A new name appends, an existing one replaces; nothing goes to the frame.
  palette->GetSettings()->m_nSharpness = 30;
  AnswerSettingDialog(u"Evening");
  presets->SendMessage(WM_COMMAND, MAKEWPARAM(CPaletteToolSetting::kSavePresetId, BN_CLICKED), 0);
  palette->GetSettings()->m_nSharpness = 60;
  AnswerSettingDialog(u"Studio");
  presets->SendMessage(WM_COMMAND, MAKEWPARAM(CPaletteToolSetting::kSavePresetId, BN_CLICKED), 0);
  EXPECT_EQ(presets->GetPresetNames(), (std::vector<std::u16string>{Text(104), u"Studio", u"Evening"}));
  ASSERT_EQ(m_App.GetPresets().GetCount(), 2);
  EXPECT_EQ(m_App.GetPresets().GetAt(0)->m_nSharpness, 60);
  EXPECT_EQ(m_App.GetPresets().GetAt(1)->m_nSharpness, 30);

  // Deleting removes the entry and the preset, then the frame goes to the custom slot.
  frame.window.sent.clear();
  AnswerSettingDialog(u"Studio");
  presets->SendMessage(WM_COMMAND, MAKEWPARAM(CPaletteToolSetting::kDeletePresetId, BN_CLICKED), 0);
  EXPECT_EQ(presets->GetPresetNames(), (std::vector<std::u16string>{Text(104), u"Evening"}));
  EXPECT_EQ(m_App.GetPresets().GetCount(), 1);
  ASSERT_EQ(frame.window.sent.size(), 1u);
  EXPECT_EQ(frame.window.sent[0].wParam, 3u);
}

TEST_F(AdjustPaletteTest, NavigatorShowsTheVisiblePartAndItsDragScrollsTheFollowedFrame) {
  m_App.GetSettings()->m_dwPaletteState = 0x80;
  CAdjustPalette* palette = OpenOn(frame, raw);
  auto* navigator = dynamic_cast<CPaletteToolNavi*>(palette->GetPanel(CAdjustPalette::kNavigatorPanel));
  ASSERT_TRUE(navigator);
  const CMiniImageWnd& mini = navigator->GetPicture();
  const CRect fit = mini.FittedPictureRect();
  ASSERT_FALSE(fit.IsRectEmpty()) << "the followed frame's picture";
  // The frame's visible part when the palette took it: the middle quarter.
  const int w = fit.Width(), h = fit.Height();
  EXPECT_EQ(mini.GetTrackerRect(), CRect(fit.left + w / 4, fit.top + h / 4, fit.left + w * 3 / 4, fit.top + h * 3 / 4));

  // The frame scrolled: it tells the palette, the navigator follows.
  FDoubleRect scrolled(0.5, 0.0, 1.0, 0.5);
  palette->SendMessage(WM_APP_VISIBLE_RECT, reinterpret_cast<WPARAM>(&scrolled), 0);
  const CRect tracker = mini.GetTrackerRect();
  EXPECT_EQ(tracker, CRect(fit.left + w / 2, fit.top, fit.right, fit.top + h / 2));

  // Dragged past the picture's bottom left corner: the frame follows every
  // step and ends at the corner, the rectangle's size kept.
  frame.window.visible.clear();
  const CPoint grab = tracker.CenterPoint();
  HWND miniWnd = mini.GetSafeHwnd();
  for (POINT p : {POINT{grab.x - 10, grab.y + 5}, POINT{grab.x - 400, grab.y + 400}}) {
    ::PostMessageW(miniWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  }
  ::PostMessageW(miniWnd, WM_LBUTTONUP, 0, MAKELPARAM(grab.x - 400, grab.y + 400));
  ::SendMessageW(miniWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grab.x, grab.y));
  pt::Pump();
  ASSERT_GE(frame.window.visible.size(), 3u) << "each step and the end";
  for (const FDoubleRect& r : frame.window.visible) {
    EXPECT_GE(r.left, 0.0);
    EXPECT_LE(r.right, 1.0);
    EXPECT_GE(r.top, 0.0);
    EXPECT_LE(r.bottom, 1.0);
  }
  const FDoubleRect end = frame.window.visible.back();
  EXPECT_DOUBLE_EQ(end.left, 0.0);
  EXPECT_DOUBLE_EQ(end.bottom, 1.0);
  EXPECT_NEAR(end.Width(), tracker.Width() / double(w), 1e-9);
  EXPECT_NEAR(end.Height(), tracker.Height() / double(h), 1e-9);
  EXPECT_EQ(mini.GetTrackerRect(), CRect(fit.left, fit.bottom - tracker.Height(), fit.left + tracker.Width(), fit.bottom));

  // A frame whose picture is not ready yet shows no rectangle, and nothing can be dragged.
  frame.ready = FALSE;
  frame.width += 1;
  OpenOn(frame, raw);
  EXPECT_TRUE(mini.GetTrackerRect().IsRectEmpty());
  frame.window.visible.clear();
  ::SendMessageW(miniWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fit.CenterPoint().x, fit.CenterPoint().y));
  pt::Pump();
  EXPECT_TRUE(frame.window.visible.empty());
}

TEST_F(AdjustPaletteTest, RendersThePalette) {
  frame.settings.m_nExposure = 50;
  frame.settings.m_nWhiteBalance = 0;
  frame.settings.m_nColorMode = 1;
  frame.settings.m_nNoiseReduction = 1;
  frame.settings.m_nChromaNoise = 2;
  frame.settings.m_nLumaNoise = 1;
  m_App.GetSettings()->m_dwPaletteState = 0xFF;
  CAdjustPalette* palette = OpenOn(frame, raw);
  Render(palette->m_hWnd, "adjust_palette_raw.png");
}

} // namespace
