#include "output/print/CTLM_PrintDlg.h"

#include "output/print/CPrintProgressDlg.h"
#include "output/print/CTLM_PrintOptionDlg.h"
#include "output/print/CTLM_PrintOptionHeadDlg.h"
#include "output/print/AppPrintPictureSource.h"
#include "output/print/PrintDeviceMetrics.h"
#include "output/print/PrintLoadWorker.h"
#include "output/print/PrintPan.h"
#include "output/print/PrintPreparation.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/app/TextTables.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "shell/frame/CMainFrame.h"
#include "toolkit/PictureFileTypes.h"

#include "platform/afx/AfxCommonDialogs.h"
#include "platform/win/WinGdiText.h"

#include <algorithm>
#include <mutex>
#include <string>

namespace {

constexpr int kClientWidth = 720;
constexpr int kClientHeight = 484;
constexpr COLORREF kGroupFill = RGB(100, 98, 99);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr UINT kLeftLine = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT kCentredLine = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr UINT kPrinterFlags = PD_NOSELECTION | PD_NOPAGENUMS | PD_USEDEVMODECOPIES | PD_HIDEPRINTTOFILE;
constexpr int kDefaultSettingNameId = 104;
constexpr int kFullPageTextId = 5430;
constexpr int kCopiesLimit = 10;
constexpr int kPreviewId = CTLM_PrintPreviewWnd::kControlId;

struct ControlPlace {
  int id;
  const char16_t* className;
  DWORD style;
  RECT rect;
};

using D = CTLM_PrintDlg;
constexpr DWORD kStatic = WS_VISIBLE;
constexpr DWORD kOwnerButton = WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
constexpr DWORD kPushButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCombo = WS_VISIBLE | WS_TABSTOP;

// The controls at their places; the three bottom buttons are sized by their captions.
const ControlPlace kControls[] = {
    {D::kSourceTitleId, u"Static", kStatic, {20, 2, 320, 17}},
    {D::kSourceFrameId, u"Static", kStatic, {15, 20, 328, 130}},
    {D::kAllId, u"Button", kOwnerButton, {22, 30, 292, 45}},
    {D::kMarkedId, u"Button", kOwnerButton, {22, 55, 292, 70}},
    {D::kSelectedId, u"Button", kOwnerButton, {22, 80, 292, 95}},
    {D::kSizeLabelId, u"Static", kStatic, {22, 105, 102, 120}},
    {D::kSizeValueId, u"Static", kStatic, {107, 105, 322, 120}},
    {D::kSeparator1Id, u"Static", kStatic, {15, 135, 328, 136}},
    {D::kRawTitleId, u"Static", kStatic, {20, 142, 320, 157}},
    {D::kRawFrameId, u"Static", kStatic, {15, 160, 328, 249}},
    {D::kAsShotId, u"Button", kOwnerButton, {22, 172, 122, 187}},
    {D::kAutoId, u"Button", kOwnerButton, {22, 192, 122, 207}},
    {D::kCustomId, u"Button", kOwnerButton, {22, 212, 122, 227}},
    {D::kSettingComboId, u"ComboBox", kCombo, {137, 212, 300, 230}},
    {D::kSeparator2Id, u"Static", kStatic, {15, 254, 328, 255}},
    {D::kPrintTitleId, u"Static", kStatic, {20, 260, 320, 275}},
    {D::kPrintFrameId, u"Static", kStatic, {15, 279, 328, 439}},
    {D::kPrintSizeLabelId, u"Static", kStatic, {22, 290, 122, 305}},
    {D::kPrintSizeId, u"ComboBox", kCombo, {137, 290, 300, 308}},
    {D::kAutoRotateId, u"Button", kOwnerButton, {22, 317, 207, 332}},
    {D::kAutoCropId, u"Button", kOwnerButton, {22, 337, 207, 352}},
    {D::kCopiesCheckId, u"Button", kOwnerButton, {22, 357, 207, 372}},
    {D::kCopiesId, u"ComboBox", kCombo, {212, 357, 282, 375}},
    {D::kInfoId, u"Button", kOwnerButton, {22, 384, 207, 399}},
    {D::kInfoOptionsId, u"Button", kPushButton, {212, 380, 322, 403}},
    {D::kHeadFootId, u"Button", kOwnerButton, {22, 412, 207, 427}},
    {D::kHeadFootOptionsId, u"Button", kPushButton, {212, 408, 322, 431}},
    {D::kPreviewTitleId, u"Static", kStatic, {350, 2, 580, 17}},
    {D::kPageLabelId, u"Static", kStatic, {350, 28, 410, 43}},
    {D::kPrevPageId, u"Button", kOwnerButton, {415, 25, 431, 48}},
    {D::kPageDisplayId, u"Static", kStatic, {431, 25, 481, 46}},
    {D::kNextPageId, u"Button", kOwnerButton, {481, 25, 497, 48}},
    {D::kSpinId, u"Static", 0, {415, 25, 526, 46}},
    {D::kPaperLabelId, u"Static", kStatic, {521, 28, 601, 43}},
    {D::kPaperMmId, u"Static", kStatic, {606, 14, 706, 29}},
    {D::kPaperInchId, u"Static", kStatic, {606, 28, 706, 43}},
    {D::kPreviewFrameId, u"Static", kStatic, {340, 51, 710, 439}},
    {D::kSetupId, u"Button", kPushButton, {60, 451, 285, 474}},
    {IDOK, u"Button", kPushButton, {420, 451, 515, 474}},
    {IDCANCEL, u"Button", kPushButton, {530, 451, 625, 474}},
};

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::vector<DialogItemTemplate> items;
    for (const ControlPlace& c : kControls) items.push_back(dialogs::PixelItem(c.id, c.className, c.style, c.rect));
    dialogs::RegisterPixelTemplate(D::kTemplate, {kClientWidth, kClientHeight}, std::move(items));
  });
}

RECT PlaceOf(int id) {
  for (const ControlPlace& c : kControls)
    if (c.id == id) return c.rect;
  return RECT{};
}

std::u16string Format(int textId, std::initializer_list<TextArg> args) {
  return FormatTableText(dialogs::TableText(textId), args).value_or(std::u16string());
}

bool IsRaw(const FString& path) { return GetFileType(path) == ETFILETYPE_KVR; }

void AddToStats(PrintSourceStats& stats, const CET_ThumbnailData& item, bool withRaw) {
  int width = 0, height = 0;
  item.GetImageSize(&width, &height);
  if (stats.count == 0) {
    stats.width = width;
    stats.height = height;
  } else if (width != stats.width || height != stats.height) {
    stats.width = stats.height = 0;
  }
  if (width == 0 && height == 0) stats.hasEmptySize = true;
  if (const auto* full = dynamic_cast<const CTLM_ThumbnailData*>(&item)) stats.bytes += full->m_FileSize;
  if (withRaw) stats.raw = IsRaw(item.m_Path);
  ++stats.count;
}

bool IsMarked(const CET_ThumbnailData& item) {
  const auto* full = dynamic_cast<const CTLM_ThumbnailData*>(&item);
  return full && full->IsMarked();
}

// "All (3 pictures, 1.2 MB)": the source's text, then one or many, then the size.
std::u16string SourceCaption(int textId, const PrintSourceStats& stats, bool singularForNone) {
  const bool one = stats.count == 1 || (singularForNone && stats.count == 0);
  const double megabytes = static_cast<float>(static_cast<double>(stats.bytes) / 1048576.0);
  return dialogs::TableText(textId) + Format(one ? 5425 : 5426, {stats.count}) + Format(5427, {megabytes});
}

} // namespace

BEGIN_MESSAGE_MAP(CTLM_PrintDlg, CDialogBase)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kAllId, OnSourceAll)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kMarkedId, OnSourceMarked)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kSelectedId, OnSourceSelected)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kAsShotId, OnSettingAsShot)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kAutoId, OnSettingAuto)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kCustomId, OnSettingCustom)
ON_CONTROL(CBN_SELCHANGE, CTLM_PrintDlg::kSettingComboId, OnSettingSelChange)
ON_CONTROL(CBN_SELCHANGE, CTLM_PrintDlg::kPrintSizeId, OnPrintSizeSelChange)
ON_CONTROL(CBN_SELCHANGE, CTLM_PrintDlg::kCopiesId, OnCopiesSelChange)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kAutoRotateId, OnAutoRotate)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kAutoCropId, OnAutoCrop)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kCopiesCheckId, OnCopiesCheck)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kInfoId, OnInfoCheck)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kHeadFootId, OnHeadFootCheck)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kInfoOptionsId, OnInfoOptions)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kHeadFootOptionsId, OnHeadFootOptions)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kPrevPageId, OnPrevPage)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kNextPageId, OnNextPage)
ON_CONTROL(BN_CLICKED, CTLM_PrintDlg::kSetupId, OnPrintSetup)
ON_MESSAGE(WM_APP_START_THREAD, OnStartDialog)
ON_MESSAGE(WM_APP_PRINT_PAN, OnPrintPan)
END_MESSAGE_MAP()

CTLM_PrintDlg::CTLM_PrintDlg(CWnd* parent) : CDialogBase(kTemplate, parent) { RegisterTemplate(); }

CTLM_PrintDlg::~CTLM_PrintDlg() {
  DropPage();
  m_Layout.DetachPictures();
  m_Layout = PrintLayout();
  ClearPictures();
}

void CTLM_PrintDlg::SetSource(const FString& path) {
  m_strSinglePath = path;
  m_bFromReview = 0;
}

void CTLM_PrintDlg::SetReviewSource(const FString& path, const CET_FilterData* settings) {
  m_strSinglePath = path;
  m_bFromReview = 1;
  m_pReviewSettings.reset(settings ? settings->Clone() : nullptr);
}

void CTLM_PrintDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  const std::pair<int, CWnd*> controls[] = {
      {kSourceTitleId, &m_SourceTitle}, {kSourceFrameId, &m_SourceFrame}, {kAllId, &m_SourceAll},
      {kMarkedId, &m_SourceMarked}, {kSelectedId, &m_SourceSelected}, {kSizeLabelId, &m_SizeLabel},
      {kSizeValueId, &m_SizeText}, {kSeparator1Id, &m_Separator1}, {kRawTitleId, &m_RawTitle},
      {kRawFrameId, &m_RawFrame}, {kAsShotId, &m_AsShot}, {kAutoId, &m_Auto}, {kCustomId, &m_Custom},
      {kSettingComboId, &m_SettingCombo}, {kSeparator2Id, &m_Separator2}, {kPrintTitleId, &m_PrintTitle},
      {kPrintFrameId, &m_PrintFrame}, {kPrintSizeLabelId, &m_PrintSizeLabel}, {kPrintSizeId, &m_PrintSize},
      {kAutoRotateId, &m_AutoRotate}, {kAutoCropId, &m_AutoCrop}, {kCopiesCheckId, &m_CopiesCheck},
      {kCopiesId, &m_Copies}, {kInfoId, &m_Info}, {kInfoOptionsId, &m_InfoOptions}, {kHeadFootId, &m_HeadFoot},
      {kHeadFootOptionsId, &m_HeadFootOptions}, {kPreviewTitleId, &m_PreviewTitle}, {kPageLabelId, &m_PageLabel},
      {kPrevPageId, &m_PrevPage}, {kPageDisplayId, &m_PageDisplay}, {kNextPageId, &m_NextPage},
      {kSpinId, &m_Spin}, {kPaperLabelId, &m_PaperLabel}, {kPaperMmId, &m_PaperMm}, {kPaperInchId, &m_PaperInch},
      {kPreviewFrameId, &m_PreviewFrame}, {kSetupId, &m_Setup}, {IDOK, &m_OK}, {IDCANCEL, &m_Cancel}};
  for (const auto& [id, control] : controls) DDX_Control(dx, id, *control);
}

BOOL CTLM_PrintDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  SetUpControls();
  for (int n = 1; n <= kCopiesLimit; ++n) {
    const std::string digits = std::to_string(n);
    m_Copies.AddString(std::u16string(digits.begin(), digits.end()).c_str());
  }
  m_Copies.SetCurSel(0);

  CLumitraApp* app = GetLumitraApp();
  CAppSettings* settings = app ? app->GetSettings() : nullptr;
  int autoRotate = 0, autoCrop = 0, pictCopy = 0, pictCopyNumber = 0, kvrSetting = 0;
  std::u16string printSize, kvrSettingName;
  if (settings) {
    CAppSettingsLock lock(*settings);
    autoRotate = settings->m_nPrintAutoRotate;
    autoCrop = settings->m_nPrintAutoCrop;
    pictCopy = settings->m_nPrintPictCopy;
    pictCopyNumber = settings->m_nPrintPictCopyNumber;
    m_bInfo = settings->m_nPrintInfo;
    m_bHeadFoot = settings->m_nPrintHeader;
    printSize = std::u16string(settings->m_strPrintSize.View());
    kvrSetting = settings->m_nPrintKVRSetting;
    kvrSettingName = std::u16string(settings->m_strPrintKVRSettingName.View());
    m_InfoSetting = settings->m_InfoPrint;
    m_HeadFootSetting = settings->m_HeadFootPrint;
  }
  m_InfoSetting.m_Font.lfHeight = 100;

  if (m_bFromReview) {
    m_SettingCombo.EnableWindow(FALSE);
  } else {
    FillSettingCombo();
    SetSettingsMode(std::clamp(kvrSetting, 0, 2));
    const int count = m_SettingCombo.GetCount();
    // The saved settings first, then the two entries before them.
    const int found = kvrSettingName.empty() || count == 0 ? -1 : m_SettingCombo.FindString(1, kvrSettingName.c_str());
    m_SettingCombo.SetCurSel(found >= 0 ? found : 0);
  }

  GetBrowserThumbnails(&m_Thumbnails);
  FillPrintSizeCombo();
  SelectPrintSizeByName(printSize);
  BuildPictureList(0);

  CRect client;
  GetClientRect(&client);
  m_Preview.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE,
                   CRect(client.left + 10, client.top + 10, client.right - 10, client.bottom - 50), this, kPreviewId);
  ComputeLayout();
  m_Preview.ShowWindow(SW_SHOW);

  CountSourcePictures();
  const int choice = m_bHasSelected ? 2 : m_bHasMarked ? 1 : 0;
  SetSourceChoice(choice);
  BuildPictureList(choice);

  m_AutoCrop.SetCheck(autoCrop ? 1 : 0);
  m_AutoRotate.SetCheck(autoRotate ? 1 : 0);
  m_CopiesCheck.SetCheck(pictCopy ? 1 : 0);
  m_Copies.SetCurSel(std::clamp(pictCopyNumber, 0, kCopiesLimit - 1));
  m_Copies.EnableAndRedraw(pictCopy ? TRUE : FALSE);
  m_Info.SetCheck(m_bInfo ? 1 : 0);
  m_InfoOptions.EnableWindow(m_bInfo ? TRUE : FALSE);
  m_HeadFoot.SetCheck(m_bHeadFoot ? 1 : 0);
  m_HeadFootOptions.EnableWindow(m_bHeadFoot ? TRUE : FALSE);
  PlaceBottomButtons();
  // The first layout and preparation happen once the dialog is on screen.
  PostMessage(WM_APP_START_THREAD, 0, 0);
  return TRUE;
}

void CTLM_PrintDlg::SetUpControls() {
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  SetWindowText(dialogs::TableText(5400).c_str());
  for (const ControlPlace& c : kControls)
    if (CWnd* control = GetDlgItem(c.id)) dialogs::Place(*control, c.rect);
  for (CGroupeBoxBase* frame : {&m_SourceFrame, &m_RawFrame, &m_PrintFrame, &m_PreviewFrame})
    frame->SetColors(kBlack, kGroupFill);
  for (CGroupeBoxBase* line : {&m_Separator1, &m_Separator2}) {
    line->SetColors(kBlack, kBlack);
    line->SetRoundCorners(0);
  }
  m_PageDisplay.SetColors(RGB(23, 23, 23), RGB(74, 74, 74));
  m_PageDisplay.SetRoundCorners(0);
  m_PageDisplay.SetStringId(5420, kCentredLine, FALSE);
  const std::pair<CStaticBase*, int> titles[] = {
      {&m_SourceTitle, 5401}, {&m_RawTitle, 5406}, {&m_PrintTitle, 5411}, {&m_PreviewTitle, 5418},
      {&m_SizeLabel, 5405}, {&m_PrintSizeLabel, 5412}, {&m_PaperMm, 5421}, {&m_PaperInch, 5421}};
  for (const auto& [label, text] : titles) label->SetStringId(text, kLeftLine, FALSE);
  m_SizeText.SetStringId(5405, kLeftLine, FALSE);
  m_SizeText.SetText(std::u16string(), FALSE);
  m_PageLabel.SetStringId(5419, kCentredLine, FALSE);
  m_PaperLabel.SetStringId(5429, kCentredLine, FALSE);
  for (CStaticBase* label : {&m_SizeLabel, &m_SizeText, &m_PrintSizeLabel}) label->SetBkColor(kGroupFill);
  const std::pair<CCheckBox*, int> checks[] = {
      {&m_SourceAll, 5402}, {&m_SourceMarked, 5403}, {&m_SourceSelected, 5404}, {&m_AsShot, 5407},
      {&m_Auto, 5408}, {&m_Custom, 5409}, {&m_AutoRotate, 5414}, {&m_AutoCrop, 5415}, {&m_CopiesCheck, 5416},
      {&m_Info, 5431}, {&m_HeadFoot, 5433}};
  for (const auto& [check, text] : checks) {
    check->SetStringId(text, kLeftLine);
    check->SetBkColor(kGroupFill);
    check->SetIconStyle(0);
  }
  for (CCheckBox* radio : {&m_SourceAll, &m_SourceMarked, &m_SourceSelected, &m_AsShot, &m_Auto, &m_Custom})
    radio->SetIconStyle(1);
  m_InfoOptions.SetStringId(5432, kCentredLine);
  m_HeadFootOptions.SetStringId(5432, kCentredLine);
  m_InfoOptions.SetBkColor(kGroupFill);
  m_HeadFootOptions.SetBkColor(kGroupFill);
  m_Setup.SetStringId(5422, kCentredLine);
  m_OK.SetStringId(5423, kCentredLine);
  m_Cancel.SetStringId(5424, kCentredLine);
  for (CComboBoxBase* combo : {&m_SettingCombo, &m_PrintSize, &m_Copies}) combo->SetTextStyleById(102);
  m_PrevPage.SetIconSize(16, 23);
  m_PrevPage.SetIcon(201);
  m_PrevPage.SetPushedIcon(202);
  m_PrevPage.SetDisabledIcon(203);
  m_NextPage.SetIconSize(16, 23);
  m_NextPage.SetIcon(204);
  m_NextPage.SetPushedIcon(205);
  m_NextPage.SetDisabledIcon(206);
  m_Spin.ShowWindow(SW_HIDE);
}

// Each bottom button as wide as its caption and 20 pixels, within its limits.
void CTLM_PrintDlg::PlaceBottomButtons() {
  CClientDC dc(this);
  const auto width = [&dc](const CBasicButton& button, int low, int high) {
    const CStringItemDrawer& drawer = button;
    CFont* old = drawer.GetFont() ? dc.SelectObject(drawer.GetFont()) : nullptr;
    const int caption = dc.GetTextExtent(drawer.GetText()).cx;
    if (old) dc.SelectObject(old);
    return std::clamp(caption + 20, low, high);
  };
  const int setup = width(m_Setup, 100, 225);
  const int setupLeft = 60 + (225 - setup) / 2;
  dialogs::Place(m_Setup, RECT{setupLeft, 451, setupLeft + setup, 474});
  const int ok = width(m_OK, 95, 180);
  dialogs::Place(m_OK, RECT{515 - ok, 451, 515, 474});
  const int cancel = width(m_Cancel, 95, 180);
  dialogs::Place(m_Cancel, RECT{530, 451, 530 + cancel, 474});
}

BOOL CTLM_PrintDlg::GetBrowserThumbnails(CET_ThumbnailDataManager* list) {
  CMainFrame* frame = GetMainFrame();
  return frame ? frame->GetAllThumbnails(list) : FALSE;
}

BOOL CTLM_PrintDlg::DestroyWindow() {
  FreeSettingCombo();
  return CDialogBase::DestroyWindow();
}

// ---- Raw settings

void CTLM_PrintDlg::FreeSettingCombo() {
  for (int i = 0; i < m_SettingCombo.GetCount(); ++i)
    delete static_cast<CKVR_FilterData*>(m_SettingCombo.GetItemDataPtr(i));
  m_SettingCombo.ResetContent();
}

void CTLM_PrintDlg::FillSettingCombo() {
  FreeSettingCombo();
  std::vector<std::unique_ptr<CKVR_FilterData>> presets;
  if (CLumitraApp* app = GetLumitraApp()) app->CopyPresets(&presets);
  auto reset = std::make_unique<CKVR_FilterData>();
  reset->m_strName = FString(dialogs::TableText(kDefaultSettingNameId));
  presets.insert(presets.begin(), std::move(reset));
  for (auto& preset : presets) {
    const std::u16string name(preset->m_strName.View());
    const int index = m_SettingCombo.AddString(name.c_str());
    m_SettingCombo.SetItemDataPtr(index, preset.release());
  }
}

void CTLM_PrintDlg::SetSettingsMode(int mode) {
  m_nSettingsMode = mode;
  m_AsShot.SetCheck(mode == 0 ? 1 : 0);
  m_Auto.SetCheck(mode == 1 ? 1 : 0);
  m_Custom.SetCheck(mode == 2 ? 1 : 0);
  m_SettingCombo.EnableAndRedraw(mode == 2 && m_bRawPresent && !m_bFromReview ? TRUE : FALSE);
}

int CTLM_PrintDlg::GetSettingsMode() const {
  if (m_AsShot.GetCheck()) return 0;
  if (m_Auto.GetCheck()) return 1;
  if (m_Custom.GetCheck()) return 2;
  return 0;
}

std::unique_ptr<CET_FilterData> CTLM_PrintDlg::GetPrintSettings() const {
  const int selection = m_SettingCombo.GetCurSel();
  const auto* saved = selection >= 0 ? static_cast<const CKVR_FilterData*>(m_SettingCombo.GetItemDataPtr(selection))
                                     : nullptr;
  return PrintSettingsFor(m_bFromReview != 0, m_pReviewSettings.get(), m_nSettingsMode, saved);
}

void CTLM_PrintDlg::ChangeSettingsMode(int mode) {
  const bool changed = mode != m_nSettingsMode;
  SetSettingsMode(mode);
  if (changed) OnSettingSelChange();
}

void CTLM_PrintDlg::OnSettingAsShot() { ChangeSettingsMode(0); }
void CTLM_PrintDlg::OnSettingAuto() { ChangeSettingsMode(1); }
void CTLM_PrintDlg::OnSettingCustom() { ChangeSettingsMode(2); }

void CTLM_PrintDlg::OnSettingSelChange() {
  AppPrintPictureSource source(this, nullptr, nullptr);
  DropPage();
  FreeRawPictureBitmaps(m_Layout, m_Pictures, source);
  PreparePage(m_nCurrentPage);
  ShowPage(m_nCurrentPage);
}

// ---- Sources

void CTLM_PrintDlg::ClearPictures() {
  for (CET_PrintPictData* picture : m_Pictures) delete picture;
  m_Pictures.clear();
}

void CTLM_PrintDlg::BuildPictureList(int choice) {
  DropPage();
  m_Layout.DetachPictures();
  ClearPictures();
  m_bRawPresent = false;
  const auto take = [this](const FString& path) {
    auto* picture = new CET_PrintPictData;
    picture->m_path = path;
    m_Pictures.push_back(picture);
    if (IsRaw(path)) m_bRawPresent = true;
  };
  if (m_strSinglePath.GetLength() == 0) {
    bool anySelected = false, anyMarked = false;
    for (int i = 0; i < m_Thumbnails.GetCount(); ++i) {
      const CET_ThumbnailData* item = m_Thumbnails.GetAt(i);
      if (!item) continue;
      const bool marked = IsMarked(*item), selected = item->m_bSelected != 0;
      anySelected = anySelected || selected;
      anyMarked = anyMarked || marked;
      if ((choice != 1 || marked) && (choice != 2 || selected)) take(item->m_Path);
    }
    m_SourceMarked.EnableWindow(anyMarked ? TRUE : FALSE);
    m_SourceSelected.EnableWindow(anySelected ? TRUE : FALSE);
  } else {
    take(m_strSinglePath);
    for (CCheckBox* source : {&m_SourceAll, &m_SourceMarked, &m_SourceSelected}) source->EnableWindow(FALSE);
  }
  const BOOL modes = m_bRawPresent && !m_bFromReview ? TRUE : FALSE;
  for (CCheckBox* mode : {&m_AsShot, &m_Auto, &m_Custom}) mode->EnableWindow(modes);
  m_SettingCombo.EnableAndRedraw(modes && m_nSettingsMode == 2 ? TRUE : FALSE);
}

void CTLM_PrintDlg::CountSourcePictures() {
  m_AllStats = m_MarkedStats = m_SelectedStats = PrintSourceStats();
  for (int i = 0; i < m_Thumbnails.GetCount(); ++i) {
    const CET_ThumbnailData* item = m_Thumbnails.GetAt(i);
    if (!item) continue;
    AddToStats(m_AllStats, *item, true);
    if (IsMarked(*item)) AddToStats(m_MarkedStats, *item, false);
    if (item->m_bSelected) AddToStats(m_SelectedStats, *item, true);
  }
  m_bHasMarked = m_MarkedStats.count > 0;
  m_bHasSelected = m_SelectedStats.count > 0;
  m_SourceAll.SetText(SourceCaption(5402, m_AllStats, false));
  m_SourceMarked.SetText(SourceCaption(5403, m_MarkedStats, false));
  m_SourceSelected.SetText(SourceCaption(5404, m_SelectedStats, true));
}

void CTLM_PrintDlg::SetSourceChoice(int choice) {
  m_SourceAll.SetCheck(choice == 0 ? 1 : 0);
  m_SourceMarked.SetCheck(choice == 1 ? 1 : 0);
  m_SourceSelected.SetCheck(choice == 2 ? 1 : 0);
  const PrintSourceStats& stats = choice == 1 ? m_MarkedStats : choice == 2 ? m_SelectedStats : m_AllStats;
  // Marked pictures always count as raw files: as it has always been shown.
  const bool raw = choice == 1 || stats.raw;
  std::u16string text;
  if (!stats.hasEmptySize) {
    if (stats.width > 0 && stats.height > 0) {
      const double megapixels =
          static_cast<float>(static_cast<double>(stats.width) * stats.height * 3.0 / 1000000.0);
      const std::u16string_view dimensions = raw ? u" (%d x %d x 3)" : u" (%d x %d)";
      text = Format(5039, {megapixels}) +
             FormatTableText(dimensions, {stats.width, stats.height}).value_or(std::u16string());
    } else if (stats.count > 0) {
      text = dialogs::TableText(5034);
    }
  }
  m_SizeText.SetText(text, TRUE);
}

void CTLM_PrintDlg::OnSourceAll() { SetSourceChoice(0), BuildPictureList(0), Relayout(); }
void CTLM_PrintDlg::OnSourceMarked() { SetSourceChoice(1), BuildPictureList(1), Relayout(); }
void CTLM_PrintDlg::OnSourceSelected() { SetSourceChoice(2), BuildPictureList(2), Relayout(); }

// ---- Print sizes and the layout

void CTLM_PrintDlg::FillPrintSizeCombo() {
  CPrintDialog printer(FALSE, kPrinterFlags, this);
  CWinApp* app = AfxGetApp();
  if (!app || !app->GetPrinterDeviceDefaults(&printer.m_pd)) return;
  CDC dc;
  if (!dc.Attach(printer.CreatePrinterDC())) return;
  m_SizeList = ListPrintSizes(ReadPrinterCaps(dc), dialogs::TableText(kFullPageTextId));
  dc.DeleteDC();
  m_PrintSize.ResetContent();
  for (const std::u16string& text : m_SizeList.texts) m_PrintSize.AddString(text.c_str());
  m_PrintSize.SetDropDownCount(6);
}

int CTLM_PrintDlg::GetPrintSizeIndex() const { return m_SizeList.TableIndexOf(m_PrintSize.GetCurSel()); }

std::u16string CTLM_PrintDlg::GetPrintSizeName() const {
  const int selection = m_PrintSize.GetCurSel();
  if (selection < 0 || selection >= static_cast<int>(m_SizeList.texts.size())) return {};
  return PrintSizeName(m_SizeList.texts[static_cast<std::size_t>(selection)]);
}

void CTLM_PrintDlg::SelectPrintSizeByName(const std::u16string& name) {
  const int found = name.empty() ? -1 : FindPrintSize(m_SizeList.texts, name);
  m_PrintSize.SetCurSel(found >= 0 ? found : 0);
}

int CTLM_PrintDlg::GetCopiesPerPicture() const {
  if (!m_CopiesCheck.GetSafeHwnd() || !m_CopiesCheck.GetCheck()) return 1;
  return std::clamp(m_Copies.GetCurSel() + 1, 1, kCopiesLimit);
}

void CTLM_PrintDlg::ComputeLayout() {
  m_Preview.ShowWindow(SW_HIDE);
  DropPage();
  m_Layout.DetachPictures();
  m_Layout = PrintLayout();
  for (CET_PrintPictData* picture : m_Pictures) picture->m_sourceArea = RECT{};
  CPrintDialog printer(FALSE, kPrinterFlags, this);
  CWinApp* app = AfxGetApp();
  m_bHasCaps = false;
  if (!app || !app->GetPrinterDeviceDefaults(&printer.m_pd)) {
    m_nPageCount = 0;
    return;
  }
  CDC dc;
  if (!dc.Attach(printer.CreatePrinterDC())) {
    m_nPageCount = 0;
    return;
  }
  m_Caps = ReadPrinterCaps(dc);
  m_bHasCaps = true;
  const PrintFontMetrics metrics = MeasurePrintFonts(dc, m_InfoSetting, m_HeadFootSetting);
  dc.DeleteDC();

  const PaperLabels paper = DescribePaper(m_Caps);
  m_PaperInch.SetText(paper.inches, TRUE);
  m_PaperMm.SetText(paper.millimetres, TRUE);
  m_dTextRatio = metrics.textRatio;

  PrintLayoutInput input;
  input.caps = m_Caps;
  input.sizeIndex = GetPrintSizeIndex();
  input.lineHeight = metrics.lineHeight;
  input.bandHeight = metrics.bandHeight;
  input.info = m_bInfo != 0;
  input.infoBasic = m_InfoSetting.m_nBasic;
  input.infoCapture = m_InfoSetting.m_nCapture;
  input.infoPos = m_InfoSetting.m_nPos;
  input.header = m_bHeadFoot != 0;
  input.headerPos = m_HeadFootSetting.m_nPos;
  m_Layout = ComputePrintLayout(input);

  RECT frame = PlaceOf(kPreviewFrameId);
  frame = RECT{frame.left + 5, frame.top + 10, frame.right - 5, frame.bottom - 5};
  const PreviewPlacement placement = PlacePreview(frame, m_Caps);
  m_dPreviewScale = placement.scale;
  dialogs::Place(m_Preview, placement.rect);
  m_Preview.SetRotateAndFit(m_AutoRotate.GetCheck() ? 1 : 0, m_AutoCrop.GetCheck() ? 0 : 1);
  m_nPageCount =
      PrintPageCount(static_cast<int>(m_Pictures.size()), GetCopiesPerPicture(), static_cast<int>(m_Layout.cells.size()));
  m_nCurrentPage = std::clamp(m_nCurrentPage, 0, std::max(m_nPageCount - 1, 0));
}

void CTLM_PrintDlg::PreparePage(int page) {
  const auto list = PicturesToPrepare(m_Pictures, page, static_cast<int>(m_Layout.cells.size()), GetCopiesPerPicture());
  const std::unique_ptr<CET_FilterData> settings = GetPrintSettings();
  RunPreparation(list, settings.get());
}

void CTLM_PrintDlg::RunPreparation(const std::vector<CET_PrintPictData*>& list, const CET_FilterData* settings) {
  CPrintProgressDlg progress(this);
  RunPrintPreparation(progress, this, list, m_bFromReview, settings);
}

// The preview lets go of the page before its cells or texts go.
void CTLM_PrintDlg::DropPage() {
  m_Preview.SetPage({}, 0, 0, m_dPreviewScale, 0, 1, m_dTextRatio);
  m_Preview.SetTextItems(nullptr);
  m_PageTexts.clear();
  m_Page = ComposedPage();
}

void CTLM_PrintDlg::ShowPage(int page) {
  DropPage();
  m_nCurrentPage = page;
  m_Page = ComposePrintPage(m_Layout, m_Pictures, GetCopiesPerPicture(), page, m_InfoSetting, m_HeadFootSetting);
  UpdatePreview(true);
}

void CTLM_PrintDlg::UpdatePreview(bool withPage) {
  if (withPage && m_bHasCaps) {
    m_Preview.SetPage(m_Page.cells, static_cast<int>(m_Caps.offset.x * m_dPreviewScale),
                      static_cast<int>(m_Caps.offset.y * m_dPreviewScale), m_dPreviewScale, 0, 1, m_dTextRatio);
    m_PageTexts = m_Page.TextPointers();
    m_Preview.SetTextItems(m_PageTexts.empty() ? nullptr : &m_PageTexts);
    m_Preview.ShowWindow(SW_SHOW);
    m_Preview.Invalidate(TRUE);
  }
  const PageDisplay display = DescribePage(static_cast<int>(m_Pictures.size()), GetCopiesPerPicture(),
                                           static_cast<int>(m_Layout.cells.size()), m_nCurrentPage);
  m_PageDisplay.SetText(display.text, TRUE);
  m_PrevPage.EnableWindow(display.previousEnabled ? TRUE : FALSE);
  m_NextPage.EnableWindow(display.nextEnabled ? TRUE : FALSE);
}

void CTLM_PrintDlg::Relayout() {
  ComputeLayout();
  PreparePage(0);
  ShowPage(0);
}

// After a change that keeps the pages apart from their layout: the current
// page again, or the last one when there are fewer now.
void CTLM_PrintDlg::RelayoutCurrentPage() {
  ComputeLayout();
  PreparePage(m_nCurrentPage);
  ShowPage(m_nCurrentPage);
}

void CTLM_PrintDlg::ResetCropRects() {
  for (CET_PrintPictData* picture : m_Pictures) picture->m_sourceArea = RECT{};
  for (const PrintCell& cell : m_Layout.cells) cell->m_sourceArea = RECT{};
}

void CTLM_PrintDlg::RedrawPreviewNow() {
  m_Preview.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT CTLM_PrintDlg::OnStartDialog(WPARAM, LPARAM) {
  Relayout();
  return 0;
}

void CTLM_PrintDlg::OnPrintSizeSelChange() {
  if (GetPrintSizeIndex() < 0) {
    if (m_Info.GetCheck()) m_Info.SetCheck(0);
    m_bInfo = 0;
    m_Info.EnableWindow(FALSE);
    m_InfoOptions.EnableWindow(FALSE);
  } else {
    m_Info.EnableWindow(TRUE);
    m_InfoSetting.m_Font.lfHeight =
        PrintSizeTable[static_cast<std::size_t>(GetPrintSizeIndex())].infoFontPoints * 10;
  }
  Relayout();
}

void CTLM_PrintDlg::OnCopiesSelChange() { Relayout(); }

void CTLM_PrintDlg::OnAutoRotate() {
  m_Preview.SetRotateAndFit(m_AutoRotate.GetCheck() ? 1 : 0, m_AutoCrop.GetCheck() ? 0 : 1);
  ResetCropRects();
  ShowPage(m_nCurrentPage);
  RedrawPreviewNow();
}

void CTLM_PrintDlg::OnAutoCrop() { OnAutoRotate(); }

void CTLM_PrintDlg::OnCopiesCheck() {
  m_Copies.EnableAndRedraw(m_CopiesCheck.GetCheck() ? TRUE : FALSE);
  Relayout();
}

void CTLM_PrintDlg::OnInfoCheck() {
  m_bInfo = m_Info.GetCheck() ? 1 : 0;
  m_InfoOptions.EnableWindow(m_bInfo ? TRUE : FALSE);
  RelayoutCurrentPage();
}

void CTLM_PrintDlg::OnHeadFootCheck() {
  m_bHeadFoot = m_HeadFoot.GetCheck() ? 1 : 0;
  m_HeadFootOptions.EnableWindow(m_bHeadFoot ? TRUE : FALSE);
  RelayoutCurrentPage();
}

void CTLM_PrintDlg::OnInfoOptions() {
  CTLM_PrintOptionDlg options(this);
  options.SetSetting(m_InfoSetting);
  if (options.DoModal() != IDOK) return;
  options.GetSetting(m_InfoSetting);
  RelayoutCurrentPage();
}

void CTLM_PrintDlg::OnHeadFootOptions() {
  CTLM_PrintOptionHeadDlg options(this);
  options.SetSetting(m_HeadFootSetting);
  if (options.DoModal() != IDOK) return;
  options.GetSetting(m_HeadFootSetting);
  RelayoutCurrentPage();
}

void CTLM_PrintDlg::OnPrevPage() {
  if (m_nCurrentPage <= 0) return;
  PreparePage(m_nCurrentPage - 1);
  ShowPage(m_nCurrentPage - 1);
}

void CTLM_PrintDlg::OnNextPage() {
  if (m_nCurrentPage + 1 >= m_nPageCount) return;
  PreparePage(m_nCurrentPage + 1);
  ShowPage(m_nCurrentPage + 1);
}

void CTLM_PrintDlg::OnPrintSetup() {
  CPrintDialog setup(TRUE, kPrinterFlags, this);
  CWinApp* app = AfxGetApp();
  if (!app || app->DoPrintDialog(&setup) != IDOK) return;
  const std::u16string name = GetPrintSizeName();
  FillPrintSizeCombo();
  SelectPrintSizeByName(name);
  Relayout();
}

LRESULT CTLM_PrintDlg::OnPrintPan(WPARAM wParam, LPARAM lParam) {
  const auto* offset = reinterpret_cast<const FDoublePoint*>(lParam);
  if (!offset) return 0;
  const std::size_t cells = m_Layout.cells.size();
  const int cellIndex = static_cast<int>(wParam);
  if (cellIndex < 0 || static_cast<std::size_t>(cellIndex) >= cells) return 0;
  const long long index =
      (static_cast<long long>(m_nCurrentPage) * static_cast<long long>(cells) + cellIndex) / GetCopiesPerPicture();
  if (index < 0 || index >= static_cast<long long>(m_Pictures.size())) return 0;
  CET_PrintPictData& picture = *m_Pictures[static_cast<std::size_t>(index)];
  if (!picture.m_picture) return 0;
  const RECT cell = m_Layout.cells[static_cast<std::size_t>(cellIndex)]->m_cell;
  const RECT moved = PanCrop(cell, picture.m_sourceArea, picture.m_picture->GetWidth(),
                             picture.m_picture->GetHeight(), m_AutoRotate.GetCheck() != 0, offset->x, offset->y);
  const RECT& old = picture.m_sourceArea;
  if (moved.left == old.left && moved.top == old.top && moved.right == old.right && moved.bottom == old.bottom)
    return 0;
  picture.m_sourceArea = moved;
  ShowPage(m_nCurrentPage);
  RedrawPreviewNow();
  return 0;
}

// ---- Printing

int CTLM_PrintDlg::LoadPictCallback(CET_PrintPictData* cell, int, int, int, int, int* freeAfter, void* dialog) {
  if (freeAfter) *freeAfter = 1;
  auto* self = static_cast<CTLM_PrintDlg*>(dialog);
  if (!cell || !self) return TRUE;
  AppPrintPictureSource source(self, nullptr, nullptr);
  const std::unique_ptr<CET_FilterData> settings = self->GetPrintSettings();
  LoadCellForPrint(*cell, source, settings.get(), self->m_bInfo != 0, self->m_InfoSetting,
                   self->m_AutoRotate.GetCheck() != 0);
  return TRUE;
}

BOOL CTLM_PrintDlg::Print() {
  CPrintDialog printer(FALSE, kPrinterFlags, this);
  CWinApp* app = AfxGetApp();
  if (!app || !app->GetPrinterDeviceDefaults(&printer.m_pd)) return FALSE;
  // The printer prints each page once: repeats are the dialog's own cells.
  if (LPDEVMODEW mode = printer.GetDevMode()) mode->dmCopies = 1;
  const int copies = GetCopiesPerPicture();
  CDC dc;
  if (!dc.Attach(printer.CreatePrinterDC())) return FALSE;
  dc.m_bPrinting = TRUE;
  DOCINFOW info{};
  info.cbSize = 20;
  const std::u16string title = app->m_pszAppName;
  info.lpszDocName = title.c_str();
  bool ok = dc.StartDoc(&info) > 0;
  CET_PrintDraw drawer;
  const std::vector<CET_PrintTextData*> texts = m_Page.TextPointers();
  drawer.SetTextItems(texts.empty() ? nullptr : &texts);
  dc.SetStretchBltMode(COLORONCOLOR);
  const std::size_t cellsPerPage = m_Layout.cells.size();
  const std::size_t printCount = m_Pictures.size() * static_cast<std::size_t>(copies);
  std::size_t printIndex = 0;
  for (int page = 0; ok && page < m_nPageCount; ++page) {
    if (dc.StartPage() <= 0) {
      ok = false;
      break;
    }
    const int oldMapMode = dc.SetMapMode(MM_TEXT);
    std::vector<std::unique_ptr<CET_PrintPictData>> owned;
    std::vector<CET_PrintPictData*> cells;
    for (std::size_t k = 0; k < cellsPerPage && printIndex < printCount; ++k, ++printIndex) {
      const CET_PrintPictData& layoutCell = *m_Layout.cells[k];
      const CET_PrintPictData& picture = *m_Pictures[printIndex / static_cast<std::size_t>(copies)];
      auto cell = std::make_unique<CET_PrintPictData>();
      cell->m_cell = layoutCell.m_cell;
      cell->m_path = picture.m_path;
      cell->m_sourceArea = picture.m_sourceArea;
      cell->m_upsideDown = picture.m_upsideDown;
      cell->m_infoLines = picture.m_infoLines;
      for (const auto& slot : layoutCell.m_texts) {
        auto text = std::make_unique<CET_PrintTextData>();
        text->CopyFrom(slot.get());
        text->m_colour = m_InfoSetting.m_Coler;
        text->m_font = UsablePrintFont(m_InfoSetting.m_Font);
        cell->m_texts.push_back(std::move(text));
      }
      if (m_bInfo) FillCellInfoTexts(*cell, m_InfoSetting);
      cells.push_back(cell.get());
      owned.push_back(std::move(cell));
    }
    drawer.SetLoadPictCallback(&CTLM_PrintDlg::LoadPictCallback, this);
    drawer.SetRotateAndFit(m_AutoRotate.GetCheck() ? 1 : 0, m_AutoCrop.GetCheck() ? 0 : 1);
    drawer.SetPage(cells, 0, 0, 1.0, 0, 0, 1.0);
    const int drawn = cells.empty() ? 1 : drawer.DrawPage(&dc);
    dc.SetMapMode(oldMapMode);
    if (dc.EndPage() <= 0 || drawn == 0) ok = false;
  }
  if (ok) {
    dc.EndDoc();
  } else {
    dc.AbortDoc();
  }
  dc.DeleteDC();
  return TRUE;
}

void CTLM_PrintDlg::OnOK() {
  Print();
  if (CLumitraApp* app = GetLumitraApp()) {
    CAppSettings& settings = *app->GetSettings();
    CAppSettingsLock lock(settings);
    settings.m_nPrintAutoRotate = m_AutoRotate.GetCheck() ? 1 : 0;
    settings.m_nPrintAutoCrop = m_AutoCrop.GetCheck() ? 1 : 0;
    settings.m_nPrintPictCopy = m_CopiesCheck.GetCheck() ? 1 : 0;
    settings.m_nPrintPictCopyNumber = std::max(m_Copies.GetCurSel(), 0);
    settings.m_nPrintInfo = m_Info.GetCheck() ? 1 : 0;
    settings.m_nPrintHeader = m_HeadFoot.GetCheck() ? 1 : 0;
    settings.m_InfoPrint = m_InfoSetting;
    settings.m_HeadFootPrint = m_HeadFootSetting;
    settings.m_strPrintSize = FString(GetPrintSizeName());
    settings.m_nPrintKVRSetting = GetSettingsMode();
    settings.m_strPrintKVRSettingName = FString(m_SettingCombo.GetText());
  }
  EndDialog(IDOK);
}
