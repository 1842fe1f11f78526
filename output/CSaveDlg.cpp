#include "output/CSaveDlg.h"

#include "output/CSelectFolderDlg.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/dialogs/CMessageDlg.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"

#include "foundation/FPath.h"
#include "platform/win/WinControls.h"
#include "platform/win/WinGdiText.h"

#include <algorithm>
#include <mutex>

#include <unistd.h>

namespace {

constexpr int kClientWidth = 447;
constexpr int kClientHeights[4] = {494, 450, 367, 229};
constexpr COLORREF kPanelColour = RGB(100, 98, 99);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr UINT kLeft = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT kRight = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT kCentred = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

constexpr int kTitleTextId = 5042;
constexpr int kExtractTitleTextId = 5043;
constexpr int kDefaultPresetTextId = 104;
constexpr int kComboStyleTextId = 102;
constexpr int kSettingsLineTextId = 5015;
constexpr int kOwnJpegQuestionTextId = 9012;
constexpr int kSettingModeTextIds[3] = {5407, 5408, 5409};

constexpr RECT kHidden{0, 0, 0, 0};

// A control's rectangle in each layout: mode 0, mode 1 with a raw image,
// mode 1 with another image, mode 2. An empty rectangle hides it.
struct Placement {
  int id;
  const char16_t* className;
  DWORD style;
  std::array<RECT, 4> rects;
};

constexpr DWORD kStatic = WS_VISIBLE;
constexpr DWORD kOwnerDraw = WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
constexpr DWORD kPush = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCombo = WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kEdit = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;

const std::vector<Placement>& Placements() {
  static const std::vector<Placement> placements{
      {1116, u"Static", kStatic, {{{20, 2, 400, 17}, {20, 2, 400, 17}, {20, 2, 400, 17}, {20, 2, 400, 17}}}},
      {1117, u"Static", kStatic, {{{20, 127, 400, 142}, {20, 86, 400, 101}, kHidden, kHidden}}},
      {1118, u"Static", kStatic, {{{20, 252, 400, 267}, {20, 169, 400, 184}, {20, 86, 400, 101}, kHidden}}},
      {1119, u"Static", kStatic, {{{20, 392, 400, 407}, {20, 311, 400, 326}, {20, 228, 400, 243}, {20, 127, 400, 142}}}},
      {1143, u"Static", kStatic, {{{13, 24, 434, 115}, {13, 24, 434, 72}, {13, 24, 434, 72}, {13, 24, 434, 115}}}},
      {1189, u"Static", kStatic, {{{13, 120, 434, 121}, {13, 77, 434, 78}, kHidden, {13, 120, 434, 121}}}},
      {1144, u"Static", kStatic, {{{13, 149, 434, 239}, {13, 108, 434, 155}, kHidden, kHidden}}},
      {1190, u"Static", kStatic, {{{13, 244, 434, 245}, {13, 160, 434, 161}, {13, 77, 434, 78}, kHidden}}},
      {1145, u"Static", kStatic, {{{13, 273, 434, 379}, {13, 191, 434, 297}, {13, 108, 434, 214}, kHidden}}},
      {1191, u"Static", kStatic, {{{13, 384, 434, 385}, {13, 302, 434, 303}, {13, 219, 434, 220}, kHidden}}},
      {1146, u"Static", kStatic, {{{13, 413, 434, 451}, {13, 333, 434, 396}, {13, 250, 434, 313}, {13, 149, 434, 187}}}},
      {1192, u"Static", kStatic, {{{13, 456, 434, 457}, {13, 401, 434, 402}, {13, 318, 434, 319}, {13, 192, 434, 193}}}},
      {1057, u"Button", kOwnerDraw, {{{22, 29, 400, 44}, kHidden, kHidden, {22, 29, 400, 44}}}},
      {1058, u"Button", kOwnerDraw, {{{22, 49, 400, 64}, kHidden, kHidden, {22, 49, 400, 64}}}},
      {1106, u"Button", kOwnerDraw, {{{22, 69, 400, 84}, kHidden, kHidden, {22, 69, 400, 84}}}},
      {1122, u"Static", kStatic, {{{22, 89, 122, 104}, {83, 32, 183, 47}, {83, 32, 183, 47}, {22, 89, 122, 104}}}},
      {1123, u"Static", kStatic, {{{127, 89, 347, 104}, {188, 32, 408, 47}, {188, 32, 408, 47}, {127, 89, 347, 104}}}},
      {1124, u"Static", kStatic, {{kHidden, {83, 52, 183, 67}, {83, 52, 183, 67}, kHidden}}},
      {1125, u"Static", kStatic, {{kHidden, {188, 52, 408, 67}, {188, 52, 408, 67}, kHidden}}},
      {1150, u"Button", kOwnerDraw, {{{22, 157, 112, 172}, kHidden, kHidden, kHidden}}},
      {1151, u"Button", kOwnerDraw, {{{22, 177, 112, 192}, kHidden, kHidden, kHidden}}},
      {1152, u"Button", kOwnerDraw, {{{22, 197, 112, 212}, kHidden, kHidden, kHidden}}},
      {1155, u"ComboBox", kCombo, {{{127, 197, 290, 215}, kHidden, kHidden, kHidden}}},
      {1130, u"Static", kStatic, {{kHidden, {22, 113, 422, 128}, kHidden, kHidden}}},
      {1153, u"Button", kOwnerDraw, {{{22, 220, 400, 235}, {22, 133, 400, 148}, kHidden, kHidden}}},
      {1132, u"Static", kStatic, {{{20, 290, 125, 305}, {20, 208, 125, 223}, {20, 125, 125, 140}, kHidden}}},
      {1133, u"Static", kStatic, {{{20, 314, 125, 329}, {20, 232, 125, 247}, {20, 149, 125, 164}, kHidden}}},
      {1134, u"Static", kStatic, {{{20, 338, 125, 353}, {20, 256, 125, 271}, {20, 173, 125, 188}, kHidden}}},
      {1135, u"ComboBox", kCombo, {{{130, 290, 428, 308}, {130, 208, 428, 226}, {130, 125, 428, 143}, kHidden}}},
      {1136, u"ComboBox", kCombo, {{{130, 313, 428, 331}, {130, 231, 428, 249}, {130, 148, 428, 166}, kHidden}}},
      {1137, u"ComboBox", kCombo, {{{130, 336, 428, 354}, {130, 254, 428, 272}, {130, 171, 428, 189}, kHidden}}},
      {1138, u"Static", kStatic, {{{80, 359, 202, 374}, {80, 277, 202, 292}, {80, 194, 202, 209}, kHidden}}},
      {1139, u"Static", kStatic, {{{212, 359, 351, 374}, {212, 277, 351, 292}, {212, 194, 351, 209}, kHidden}}},
      {1051, u"Button", kPush, {{{22, 422, 100, 445}, {22, 342, 100, 365}, {22, 259, 100, 282}, {22, 158, 100, 181}}}},
      {1141, WC_EDIT, kEdit, {{{108, 422, 421, 440}, {108, 342, 421, 360}, {108, 259, 421, 277}, {108, 158, 421, 176}}}},
      {1140, u"Static", kStatic, {{kHidden, {22, 370, 100, 385}, {22, 287, 100, 302}, kHidden}}},
      {1142, WC_EDIT, kEdit, {{kHidden, {108, 370, 421, 388}, {108, 287, 421, 305}, kHidden}}},
      {IDOK, u"Button", kPush, {{{108, 460, 216, 483}, {108, 417, 216, 440}, {108, 334, 216, 357}, {108, 196, 216, 219}}}},
      {IDCANCEL, u"Button", kPush, {{{239, 460, 347, 483}, {239, 417, 347, 440}, {239, 334, 347, 357}, {239, 196, 347, 219}}}},
  };
  return placements;
}

bool IsEmpty(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::vector<DialogItemTemplate> items;
    for (const Placement& placement : Placements()) {
      // The template holds every control somewhere; the layout places them.
      RECT rect = placement.rects[0];
      if (IsEmpty(rect)) rect = placement.rects[1];
      items.push_back(dialogs::PixelItem(placement.id, placement.className, placement.style, rect));
    }
    dialogs::RegisterPixelTemplate(CSaveDlg::kTemplate, {kClientWidth, kClientHeights[0]}, std::move(items));
  });
}

// A folder the outputs can be written into.
bool IsWritableFolder(const FString& folder) {
  std::string native;
  return !folder.View().empty() && ReadFileAttributeWord(folder) != -1 && PathToNative(folder, native) &&
         ::access(native.c_str(), W_OK | X_OK) == 0;
}

// A file name the output can take: not empty, no folder part, not "." or "..".
bool IsPlainFileName(const FString& name) {
  const std::u16string_view text = name.View();
  return !text.empty() && text.find(u'/') == std::u16string_view::npos && text != u"." && text != u"..";
}

} // namespace

BEGIN_MESSAGE_MAP(CSaveDlg, CDialogBase)
ON_CONTROL(CBN_SELCHANGE, CSaveDlg::kFileFormatId, OnFileFormatChanged)
ON_CONTROL(BN_CLICKED, CSaveDlg::kChooseFolderId, OnChooseFolder)
ON_MESSAGE(WM_APP_TRACKBAR_CHANGED, OnTrackBarChanged)
END_MESSAGE_MAP()

CSaveDlg::CSaveDlg(CWnd* parent) : CDialogBase(kTemplate, parent) {
  RegisterTemplate();
  CAppSettings& settings = *GetLumitraApp()->GetSettings();
  settings.Lock();
  m_nSavePlace = settings.m_nSavePlace;
  m_strLastFolder = settings.m_strSaveLastDirPath;
  settings.Unlock();
}

CSaveDlg::~CSaveDlg() = default;

void CSaveDlg::SetThumbnailList(const CET_ThumbnailDataManager* list, int flag) {
  if (flag == 1) m_nMode = 0;
  else if (flag == 0) m_nMode = 2;
  m_Sources = list ? CollectSaveSources(*list) : SaveSources{};
}

void CSaveDlg::SetReviewImage(const CET_ThumbnailData* image, int settingMode, const CKVR_FilterData* settings,
                              int writeSettingsEnabled) {
  m_nMode = 1;
  m_nSettingMode = settingMode;
  m_pSettings.reset(settingMode != 0 && settings ? static_cast<CKVR_FilterData*>(settings->Clone()) : nullptr);
  if (image) {
    m_strImagePath = image->m_Path;
    m_strImageName = image->m_FileName;
    image->GetImageSize(&m_nImageWidth, &m_nImageHeight);
    m_bRaw = image->m_FileType == ETFILETYPE_KVR;
    m_bJpeg = image->m_FileType == ETFILETYPE_JPEG;
  }
  m_nWriteSettingsEnabled = writeSettingsEnabled;
}

void CSaveDlg::GetSaveJob(CSaveJob* job) const {
  if (!job) return;
  if (m_nMode == 0 || m_nMode == 1) {
    job->m_nSettingMode = m_nSettingMode;
    job->FreeSettings();
    if (m_pSettings) job->m_pSettings = static_cast<CKVR_FilterData*>(m_pSettings->Clone());
    job->m_bWriteSettings = m_nWriteSettings;
    job->m_nSizeMode = m_nSizeMode;
    job->m_nColorSpace = m_nColorSpace;
    job->m_nFileType = m_nFileType;
    job->m_nJpegQuality = m_nQualityStep;
    job->m_nJpegQualityPercent = JpegQualityPercent(m_nQualityStep);
  }
  job->m_aInputs = m_Inputs;
  job->m_aOutputs = m_Outputs;
}

std::vector<std::pair<int, CWnd*>> CSaveDlg::Controls() {
  return {{1116, &m_Headings[0]},   {1117, &m_Headings[1]},       {1118, &m_Headings[2]},      {1119, &m_Headings[3]},
          {1143, &m_Boxes[0]},      {1144, &m_Boxes[1]},          {1145, &m_Boxes[2]},         {1146, &m_Boxes[3]},
          {1189, &m_Lines[0]},      {1190, &m_Lines[1]},          {1191, &m_Lines[2]},         {1192, &m_Lines[3]},
          {1057, &m_SourceBoxes[0]}, {1058, &m_SourceBoxes[1]},   {1106, &m_SourceBoxes[2]},   {1122, &m_SizeLabel},
          {1123, &m_SizeValue},     {1124, &m_NameLabel},         {1125, &m_NameValue},        {1150, &m_SettingKinds[0]},
          {1151, &m_SettingKinds[1]}, {1152, &m_SettingKinds[2]}, {1155, &m_PresetCombo},      {1153, &m_WriteSettings},
          {1130, &m_SettingsLine},  {1132, &m_OutputSizeLabel},   {1133, &m_ColorSpaceLabel},  {1134, &m_FormatLabel},
          {1135, &m_OutputSizeCombo}, {1136, &m_ColorSpaceCombo}, {1137, &m_FormatCombo},      {1138, &m_QualityLabel},
          {1139, &m_Quality},       {1051, &m_ChooseFolder},      {1141, &m_Folder},           {1140, &m_FileNameLabel},
          {1142, &m_FileName},      {IDOK, &m_OK},                {IDCANCEL, &m_Cancel}};
}

void CSaveDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  for (const auto& [id, control] : Controls()) DDX_Control(dx, id, *control);
}

int CSaveDlg::LayoutVariant() const {
  if (m_nMode == 2) return 3;
  if (m_nMode == 1) return m_bRaw ? 1 : 2;
  return 0;
}

BOOL CSaveDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  SetWindowText(dialogs::TableText(m_nMode == 2 ? kExtractTitleTextId : kTitleTextId).c_str());
  SetUpLooks();
  FillCombos();
  LayoutControls();
  FillPresetCombo();
  m_Quality.SetRange(0, 12, FALSE);
  m_Quality.SetValueFormat(u"%d", FALSE, 1.0);
  if (m_nMode == 1) UpdateSizeText();
  else SelectSource(InitialSaveSource(m_Sources));
  ReadSettings();
  UpdateSourceTexts();
  return TRUE;
}

void CSaveDlg::SetUpLooks() {
  constexpr std::array<int, 4> headingTexts{5000, 5009, 5017, 5029};
  for (size_t i = 0; i < m_Headings.size(); ++i) m_Headings[i].SetStringId(headingTexts[i], kLeft, FALSE);
  for (CGroupeBoxBase& box : m_Boxes) box.SetColors(kBlack, kPanelColour);
  for (CGroupeBoxBase& line : m_Lines) {
    line.SetColors(kBlack, kBlack);
    line.SetRoundCorners(0);
  }
  constexpr std::array<int, 3> sourceTexts{5001, 5002, 5003};
  constexpr std::array<int, 3> kindTexts{5010, 5011, 5012};
  for (size_t i = 0; i < 3; ++i) {
    m_SourceBoxes[i].SetIconStyle(1);
    m_SourceBoxes[i].SetStringId(sourceTexts[i], kLeft);
    m_SettingKinds[i].SetIconStyle(1);
    m_SettingKinds[i].SetStringId(kindTexts[i], kLeft);
  }
  m_WriteSettings.SetIconStyle(0);
  m_WriteSettings.SetStringId(5013, kLeft);
  for (CCheckBox* box : {&m_SourceBoxes[0], &m_SourceBoxes[1], &m_SourceBoxes[2], &m_SettingKinds[0],
                         &m_SettingKinds[1], &m_SettingKinds[2], &m_WriteSettings}) {
    box->SetBkColor(kPanelColour);
  }
  const std::pair<CStaticBase*, std::pair<int, UINT>> labels[] = {
      {&m_SizeLabel, {m_nMode == 1 ? 5005 : 5004, m_nMode == 1 ? kRight : kLeft}},
      {&m_SizeValue, {5006, kLeft}},
      {&m_NameLabel, {5007, kRight}},
      {&m_NameValue, {5008, kLeft}},
      {&m_SettingsLine, {kSettingsLineTextId, kLeft}},
      {&m_OutputSizeLabel, {5018, kRight}},
      {&m_ColorSpaceLabel, {5019, kRight}},
      {&m_FormatLabel, {5020, kRight}},
      {&m_QualityLabel, {5028, kRight}},
      {&m_FileNameLabel, {5031, kCentred}}};
  for (const auto& [label, text] : labels) {
    label->SetStringId(text.first, text.second, FALSE);
    label->SetBkColor(kPanelColour);
  }
  m_Quality.SetStepButtons(FALSE);
  m_Quality.SetBkColor(kPanelColour);
  m_ChooseFolder.SetStringId(5030, kCentred);
  m_ChooseFolder.SetBkColor(kPanelColour);
  m_OK.SetStringId(5040, kCentred);
  m_Cancel.SetStringId(5041, kCentred);
}

void CSaveDlg::FillCombos() {
  for (CComboBoxBase* combo : {&m_OutputSizeCombo, &m_ColorSpaceCombo, &m_FormatCombo, &m_PresetCombo}) {
    combo->SetTextStyleById(kComboStyleTextId);
  }
  for (int text : {5021, 5022, 5023}) m_OutputSizeCombo.AddString(dialogs::TableText(text).c_str());
  constexpr std::array<int, 5> spaces{5024, 5025, 5026, 5027, 5045};
  for (size_t i = 0; i < spaces.size(); ++i) {
    const int index = m_ColorSpaceCombo.AddString(dialogs::TableText(spaces[i]).c_str());
    m_ColorSpaceCombo.SetItemData(index, i);
  }
  m_ColorSpaceCombo.SetDropDownCount(5);
  // 16 bits a channel only from a raw image's full development.
  const bool twoFormats = m_nMode == 1 && GetFileType(m_strImagePath) != ETFILETYPE_KVR;
  for (int text : {5035, 5036, 5037}) {
    if (text == 5037 && twoFormats) break;
    m_FormatCombo.AddString(dialogs::TableText(text).c_str());
  }
  m_FormatCombo.SetDropDownCount(twoFormats ? 2 : 3);
}

void CSaveDlg::FillPresetCombo() {
  m_Presets.clear();
  auto standard = std::make_unique<CKVR_FilterData>();
  standard->Reset();
  standard->m_strName = FString(dialogs::TableText(kDefaultPresetTextId));
  m_Presets.push_back(std::move(standard));
  std::vector<std::unique_ptr<CKVR_FilterData>> presets;
  GetLumitraApp()->CopyPresets(&presets);
  for (auto& preset : presets) m_Presets.push_back(std::move(preset));
  for (size_t i = 0; i < m_Presets.size(); ++i) {
    const int index = m_PresetCombo.AddString(m_Presets[i]->m_strName.GetText());
    m_PresetCombo.SetItemDataPtr(index, m_Presets[i].get());
  }
}

void CSaveDlg::LayoutControls() {
  const int variant = LayoutVariant();
  dialogs::SetClientSize(*this, kClientWidth, kClientHeights[variant]);
  std::vector<std::pair<int, CWnd*>> controls = Controls();
  for (const Placement& placement : Placements()) {
    for (const auto& [id, control] : controls) {
      if (id != placement.id) continue;
      const RECT& rect = placement.rects[variant];
      if (IsEmpty(rect)) {
        control->ShowWindow(SW_HIDE);
      }
      else {
        dialogs::Place(*control, rect);
        control->ShowWindow(SW_SHOW);
      }
    }
  }
  if (IsOtherImage()) {
    for (CWnd* control : std::initializer_list<CWnd*>{&m_OutputSizeLabel, &m_ColorSpaceLabel, &m_OutputSizeCombo,
                                                      &m_ColorSpaceCombo}) {
      control->EnableWindow(FALSE);
    }
  }
}

void CSaveDlg::ReadSettings() {
  CAppSettings& settings = *GetLumitraApp()->GetSettings();
  settings.Lock();
  const FString presetName = settings.m_strSaveSettingName;
  const int settingKind = settings.m_nSaveSettingRB;
  const int outputSize = settings.m_nSaveOutputImagesize;
  const int colorSpace = settings.m_nSaveColorSpace;
  const int fileFormat = settings.m_nSaveFileFormat;
  const int quality = settings.m_nSaveJPEG;
  const int writeSettings = settings.m_nSaveChkKVR;
  settings.Unlock();

  if (m_nMode == 0) {
    int preset = 0;
    for (size_t i = 0; i < m_Presets.size(); ++i) {
      if (m_Presets[i]->m_strName == presetName) {
        preset = static_cast<int>(i);
        break;
      }
    }
    m_PresetCombo.SetCurSel(preset);
    SelectSettingKind(settingKind);
  }
  m_WriteSettings.SetCheck(writeSettings != 0 ? 1 : 0);
  if (IsOtherImage()) {
    m_OutputSizeCombo.SetCurSel(0);
    m_ColorSpaceCombo.SetCurSel(0);
  }
  else {
    m_OutputSizeCombo.SetCurSel(outputSize >= 0 && outputSize < m_OutputSizeCombo.GetCount() ? outputSize : 0);
    int spaceItem = 0;
    for (int i = 0; i < m_ColorSpaceCombo.GetCount(); ++i) {
      if (static_cast<int>(m_ColorSpaceCombo.GetItemData(i)) == colorSpace) spaceItem = i;
    }
    m_ColorSpaceCombo.SetCurSel(spaceItem);
  }
  int format = fileFormat;
  if (format == 2 && m_FormatCombo.GetCount() == 2) format = 1;
  if (format < 0 || format >= m_FormatCombo.GetCount()) format = 0;
  m_FormatCombo.SetCurSel(format);
  m_Quality.SetPos(std::clamp(quality, 0, 12));
  ShowQualityRow(format == 0);
}

void CSaveDlg::UpdateSourceTexts() {
  if (m_nMode != 1) {
    for (int i = 0; i < 3; ++i) {
      m_SourceBoxes[i].SetText(SaveSourceCaption(i, m_Sources.sources[i]));
      m_SourceBoxes[i].Invalidate();
    }
    m_SourceBoxes[1].EnableWindow(m_Sources.sources[SaveSources::kMarked].count > 0);
    m_SourceBoxes[2].EnableWindow(m_Sources.sources[SaveSources::kSelected].count > 0);
  }
  else {
    m_NameValue.SetText(std::u16string(m_strImageName.View()), TRUE);
  }
  const FString firstPath = m_nMode == 1 ? m_strImagePath : m_Sources.firstPath;
  m_Folder.SetWindowText(ProposedSaveFolder(m_nSavePlace, m_strLastFolder, firstPath).GetText());
  m_Folder.SetReadOnly(TRUE);
  if (m_nMode != 1) return;
  m_FileName.SetWindowText(m_strImageName.GetText());
  OnFileFormatChanged();
  std::u16string line = dialogs::TableText(kSettingsLineTextId) + u" ";
  if (m_nSettingMode >= 1 && m_nSettingMode <= 4) {
    line += dialogs::TableText(kSettingModeTextIds[std::min(m_nSettingMode, 3) - 1]);
    if (m_nSettingMode >= 3 && m_bRaw && m_pSettings) line += u"-" + std::u16string(m_pSettings->m_strName.View());
  }
  m_SettingsLine.SetText(line, TRUE);
  m_WriteSettings.EnableWindow(m_nWriteSettingsEnabled != 0);
}

void CSaveDlg::UpdateSizeText() {
  if (m_nMode == 1) {
    m_SizeValue.SetText(SaveImageSizeText(m_nImageWidth, m_nImageHeight, m_bRaw), TRUE);
  }
  else {
    m_SizeValue.SetText(SaveSourceSizeText(m_Sources.sources[GetSelectedSource()]), TRUE);
  }
  Invalidate();
}

void CSaveDlg::SelectSource(int source) {
  for (int i = 0; i < 3; ++i) m_SourceBoxes[i].SetCheck(i == source ? 1 : 0);
  UpdateSizeText();
}

void CSaveDlg::SelectSettingKind(int kind) {
  for (int i = 0; i < 3; ++i) m_SettingKinds[i].SetCheck(i == kind ? 1 : 0);
  m_WriteSettings.EnableWindow(kind != 0);
}

int CSaveDlg::GetSelectedSource() const {
  for (int i = 0; i < 3; ++i) {
    if (m_SourceBoxes[i].GetCheck() != 0) return i;
  }
  return 0;
}

int CSaveDlg::GetSelectedSettingKind() const {
  for (int i = 0; i < 3; ++i) {
    if (m_SettingKinds[i].GetCheck() != 0) return i;
  }
  return 0;
}

BOOL CSaveDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (code == BN_CLICKED) {
    for (int i = 0; i < 3; ++i) {
      if (id == kSourceIds[i]) {
        SelectSource(i);
        return TRUE;
      }
      if (id == kSettingKindIds[i]) {
        SelectSettingKind(i);
        return TRUE;
      }
    }
  }
  if (code == CBN_SELCHANGE && id == kPresetId) {
    SelectSettingKind(2); // choosing a preset means the custom settings
    return TRUE;
  }
  return CDialogBase::OnCommand(wParam, lParam);
}

int CSaveDlg::GetFileFormat() const { return std::max(m_FormatCombo.GetCurSel(), 0); }

FString CSaveDlg::FolderText() const { return FString(m_Folder.GetWindowText()); }

FString CSaveDlg::NameText() const { return FString(m_FileName.GetWindowText()); }

void CSaveDlg::ShowQualityRow(bool show) {
  show = show && m_nMode != 2; // extraction has no options section
  m_QualityLabel.ShowWindow(show ? SW_SHOW : SW_HIDE);
  m_Quality.ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CSaveDlg::OnFileFormatChanged() {
  const int format = GetFileFormat();
  if (m_nMode == 1) {
    m_strImageName = ReplaceExtension(NameText(), SaveExtension(format));
    m_FileName.SetWindowText(m_strImageName.GetText());
  }
  ShowQualityRow(format == 0);
}

void CSaveDlg::OnChooseFolder() {
  const FString start = FolderText();
  CSelectFolderDlg dialog(this);
  dialog.SetPath(start);
  const FString chosen = dialog.DoModal() == IDOK ? dialog.GetPath() : start;
  m_Folder.SetWindowText(chosen.GetText());
}

void CSaveDlg::OnOK() {
  if (m_nMode == 0) {
    const int kind = GetSelectedSettingKind();
    m_nSettingMode = kind + 1;
    m_pSettings.reset();
    const int preset = m_PresetCombo.GetCurSel();
    if (kind == 2 && preset >= 0 && preset < static_cast<int>(m_Presets.size())) {
      m_pSettings.reset(static_cast<CKVR_FilterData*>(m_Presets[preset]->Clone()));
    }
  }
  if (m_nMode != 2) {
    m_nWriteSettings = m_WriteSettings.GetCheck() != 0 ? 1 : 0;
    m_nSizeMode = std::max(m_OutputSizeCombo.GetCurSel(), 0);
    const int spaceItem = m_ColorSpaceCombo.GetCurSel();
    m_nColorSpace = spaceItem >= 0 ? static_cast<int>(m_ColorSpaceCombo.GetItemData(spaceItem)) : 0;
    m_nFileType = GetFileFormat();
    m_nQualityStep = m_Quality.GetPos();
  }
  const SaveSource& source = m_Sources.sources[GetSelectedSource()];
  if (m_nMode != 1) m_Inputs = source.paths;
  const FString folder = FolderText();
  // Without a folder the outputs could be written nowhere: the dialog stays.
  if (!IsWritableFolder(folder)) return;
  if (m_nMode == 1) {
    if (!IsPlainFileName(NameText())) return;
    const FString name = NameWithSaveExtension(NameText(), m_nFileType);
    m_FileName.SetWindowText(name.GetText());
    FString output = folder;
    output += u"/";
    output += name;
    CAppSettings& settings = *GetLumitraApp()->GetSettings();
    settings.Lock();
    const int jpegAlert = settings.m_nJPEGAlert;
    settings.Unlock();
    if (jpegAlert == 1 && m_bJpeg && output.CompareNoCase(m_strImagePath.GetText()) == 0 &&
        ShowTableMessage(nullptr, kMessageStyleOKCancel, kOwnJpegQuestionTextId) != kMessageOK) {
      return;
    }
    m_Inputs = {m_strImagePath};
    m_Outputs = {output};
  }
  else {
    m_Outputs = SaveOutputPaths(folder, source.names, SaveExtension(m_nMode == 2 ? 0 : m_nFileType));
  }
  m_strLastFolder = folder;
  StoreSettings();
  CDialogBase::OnOK();
}

void CSaveDlg::StoreSettings() {
  CAppSettings& settings = *GetLumitraApp()->GetSettings();
  settings.Lock();
  if (m_nMode == 0) {
    settings.m_strSaveSettingName = FString(m_PresetCombo.GetText());
    settings.m_nSaveSettingRB = GetSelectedSettingKind();
  }
  if (m_nMode != 2) {
    settings.m_nSaveChkKVR = m_nWriteSettings;
    settings.m_nSaveFileFormat = m_nFileType;
    settings.m_nSaveJPEG = m_nQualityStep;
    if (!IsOtherImage()) {
      settings.m_nSaveOutputImagesize = m_nSizeMode;
      settings.m_nSaveColorSpace = m_nColorSpace;
    }
  }
  settings.m_strSaveLastDirPath = m_strLastFolder;
  settings.Unlock();
}
