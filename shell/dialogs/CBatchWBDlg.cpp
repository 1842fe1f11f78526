#include "shell/dialogs/CBatchWBDlg.h"

#include "shell/app/CLumitraApp.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/facade/CTLM_Exif.h"
#include "shell/facade/KVR_FileSettings.h"


#include <cstring>
#include <mutex>

namespace {

constexpr int kWBTitleTextId = 6000;
constexpr int kWBHeadingTextId = 6001;
constexpr int kWBExplanationTextId = 6003;
constexpr int kCMTitleTextId = 6050;
constexpr int kCMHeadingTextId = 6051;
constexpr int kCMExplanationTextId = 6052;
constexpr int kFileLineLookTextId = 6002;
constexpr int kSeveralFilesTextId = 6006;
constexpr int kOKTextId = 6004;
constexpr int kCancelTextId = 6005;
constexpr int kChoicesStyleTextId = 102;

constexpr int kClientWidth = 450;
constexpr int kClientHeight = 165;
constexpr RECT kHeadingRect{10, 10, 250, 30};
constexpr RECT kFileLineRect{260, 10, 430, 30};
constexpr RECT kChoicesRect{10, 40, 430, 58};
constexpr RECT kExplanationRect{30, 80, 400, 120};
constexpr RECT kOKRect{80, 130, 200, 153};
constexpr RECT kCancelRect{250, 130, 370, 153};

constexpr UINT kLabelFormat = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
// Up to this many choices the drop-down shows them all; more scroll in kScrollingRows.
constexpr int kAllRowsUpTo = 10;
constexpr int kScrollingRows = 7;

// The camera's colour-mode descriptors with names of the text table
// ("Vivid " keeps the camera's trailing space).
struct ColorModeName {
  const char* descriptor;
  int textId;
};
constexpr int kStandardTextId = 122;
constexpr int kVividTextId = 123;
constexpr int kNeutralTextId = 124;
constexpr int kPortraitTextId = 125;
constexpr int kLandscapeTextId = 126;
constexpr ColorModeName kColorModeNames[] = {{"Standard", kStandardTextId},
                                             {"Vivid ", kVividTextId},
                                             {"Neutral", kNeutralTextId},
                                             {"Portrait", kPortraitTextId},
                                             {"Landscape", kLandscapeTextId}};

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    constexpr DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    dialogs::RegisterPixelTemplate(
        CBatchWBDlg::kTemplate, {kClientWidth, kClientHeight},
        {PixelItem(CBatchWBDlg::kHeadingId, u"Static", WS_VISIBLE, kHeadingRect),
         PixelItem(CBatchWBDlg::kFileLineId, u"Static", WS_VISIBLE, kFileLineRect),
         PixelItem(CBatchWBDlg::kChoicesId, u"ComboBox", WS_VISIBLE | WS_TABSTOP, kChoicesRect),
         PixelItem(CBatchWBDlg::kExplanationId, u"Static", WS_VISIBLE, kExplanationRect),
         PixelItem(IDOK, u"Button", button, kOKRect), PixelItem(IDCANCEL, u"Button", button, kCancelRect)});
  });
}

template <class T>
int PositionOfName(const CKVR_Data_FileList<T>& list, const FString& name) {
  for (int i = 0; i < list.GetCount(); ++i) {
    if (list.GetAt(i)->m_strName == name) return i;
  }
  return -1;
}

// The application's list caches and the raw files' own settings.
class ApplicationSource : public IBatchChoiceSource {
public:
  BOOL GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>* list) override {
    CLumitraApp* app = GetLumitraApp();
    return app && app->GetWBList(path, list);
  }
  BOOL GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>* list) override {
    CLumitraApp* app = GetLumitraApp();
    return app && app->GetColorModeList(path, list);
  }
  int GetWhiteBalanceIndex(const FString& path, const CKVR_Data_FileList<CKVR_WBData>* list) override {
    return KVR_GetFileWhiteBalanceIndex(path.GetText(), list, 0);
  }
  FString GetColorModeDesc(const FString& path) override {
    CLumitraApp* app = GetLumitraApp();
    CTLM_Exif record;
    return app && app->GetExif(path, &record) ? record.GetCMDesc() : FString();
  }
};

} // namespace

IBatchChoiceSource& ApplicationChoiceSource() {
  static ApplicationSource source;
  return source;
}

BEGIN_MESSAGE_MAP(CBatchWBDlg, CDialogBase)
END_MESSAGE_MAP()

CBatchWBDlg::CBatchWBDlg(CWnd* parent, IBatchChoiceSource* source)
    : CDialogBase(kTemplate, parent), m_pSource(source ? source : &ApplicationChoiceSource()) {
  RegisterTemplate();
}

CBatchWBDlg::~CBatchWBDlg() = default;

void CBatchWBDlg::SetFiles(const CET_ThumbnailDataManager* files) {
  if (!files) return;
  for (int i = 0; i < files->GetCount(); ++i) {
    if (const CET_ThumbnailData* item = files->GetAt(i)) m_Files.Add(item->Clone());
  }
}

void CBatchWBDlg::GetResult(std::vector<FString>* paths, std::vector<UINT>* indexes) const {
  if (paths) *paths = m_aResultPaths;
  if (indexes) *indexes = m_aResultIndexes;
}

void CBatchWBDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, kHeadingId, m_Heading);
  DDX_Control(dx, kFileLineId, m_FileLine);
  DDX_Control(dx, kChoicesId, m_Choices);
  DDX_Control(dx, kExplanationId, m_Explanation);
  DDX_Control(dx, IDOK, m_OK);
  DDX_Control(dx, IDCANCEL, m_Cancel);
}

BOOL CBatchWBDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  if (m_Files.GetCount() == 0) {
    EndDialog(IDCANCEL);
    return FALSE;
  }
  const bool colorMode = m_nMode == kModeColorMode;
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  SetWindowText(dialogs::TableText(colorMode ? kCMTitleTextId : kWBTitleTextId).c_str());

  dialogs::Place(m_Heading, kHeadingRect);
  m_Heading.SetStringId(colorMode ? kCMHeadingTextId : kWBHeadingTextId, kLabelFormat, FALSE);
  dialogs::Place(m_FileLine, kFileLineRect);
  m_FileLine.SetStringId(kFileLineLookTextId, kLabelFormat | DT_NOPREFIX, FALSE); // a file's name: "&" is a character
  m_FileLine.SetText(m_Files.GetCount() == 1 ? std::u16string(m_Files.GetAt(0)->m_FileName.View())
                                             : dialogs::TableText(kSeveralFilesTextId),
                     FALSE);
  dialogs::Place(m_Choices, kChoicesRect);
  m_Choices.SetTextStyleById(kChoicesStyleTextId);

  if (!(colorMode ? FillColorModeList() : FillWBList())) {
    EndDialog(IDCANCEL);
    return FALSE;
  }

  dialogs::Place(m_Explanation, kExplanationRect);
  m_Explanation.SetStringId(colorMode ? kCMExplanationTextId : kWBExplanationTextId, DT_WORDBREAK, FALSE);
  dialogs::Place(m_OK, kOKRect);
  m_OK.SetStringId(kOKTextId, kCaptionFormat);
  dialogs::Place(m_Cancel, kCancelRect);
  m_Cancel.SetStringId(kCancelTextId, kCaptionFormat);
  return TRUE;
}

// The choices every file has, in the first file's order.
template <class T>
bool CBatchWBDlg::FillList(BOOL (IBatchChoiceSource::*getList)(const FString&, CKVR_Data_FileList<T>*)) {
  CKVR_Data_FileList<T> first;
  if (!(m_pSource->*getList)(m_Files.GetAt(0)->m_Path, &first) || first.GetCount() == 0) return false;
  std::vector<Candidate> candidates;
  for (int i = 0; i < first.GetCount(); ++i) {
    const T* item = first.GetAt(i);
    Candidate candidate{item->m_strName, {}};
    std::memcpy(candidate.descriptor.data(), item->m_szDesc, kKVRDescriptorSize);
    candidate.descriptor.back() = '\0';
    candidates.push_back(std::move(candidate));
  }
  for (int f = 1; f < m_Files.GetCount() && !candidates.empty(); ++f) {
    CKVR_Data_FileList<T> list;
    (m_pSource->*getList)(m_Files.GetAt(f)->m_Path, &list); // unreadable: empty, so nothing is common
    std::erase_if(candidates, [&list](const Candidate& c) { return PositionOfName(list, c.name) < 0; });
  }
  if (candidates.empty()) return false;
  AddChoices(candidates);
  return true;
}

BOOL CBatchWBDlg::FillWBList() {
  if (!FillList(&IBatchChoiceSource::GetWBList)) return FALSE;
  PreselectWhiteBalance();
  return TRUE;
}

BOOL CBatchWBDlg::FillColorModeList() {
  if (!FillList(&IBatchChoiceSource::GetColorModeList)) return FALSE;
  PreselectColorMode();
  return TRUE;
}

void CBatchWBDlg::AddChoices(const std::vector<Candidate>& candidates) {
  for (const Candidate& candidate : candidates) {
    const int index = m_Choices.AddString(candidate.name.GetText());
    m_aItemData.push_back(std::make_unique<Descriptor>(candidate.descriptor));
    m_Choices.SetItemDataPtr(index, m_aItemData.back().get());
  }
  const int count = static_cast<int>(candidates.size());
  m_Choices.SetDropDownCount(count <= kAllRowsUpTo ? count : kScrollingRows);
}

// The first file's current white balance, found by its name: the choices
// may lack entries of the first file's list, so its position there need
// not be the position among the choices. None when it is not a common one.
void CBatchWBDlg::PreselectWhiteBalance() {
  const FString& path = m_Files.GetAt(0)->m_Path;
  CKVR_Data_FileList<CKVR_WBData> list;
  m_pSource->GetWBList(path, &list);
  const CKVR_WBData* current = list.GetAt(m_pSource->GetWhiteBalanceIndex(path, &list));
  int choice = -1;
  for (int i = 0; current && i < m_Choices.GetCount() && choice < 0; ++i) {
    std::u16string text;
    m_Choices.GetLBText(i, text);
    if (current->m_strName == FString(std::u16string_view(text))) choice = i;
  }
  m_Choices.SetCurSel(choice);
}

void CBatchWBDlg::PreselectColorMode() {
  const FString descriptor = m_pSource->GetColorModeDesc(m_Files.GetAt(0)->m_Path);
  std::u16string wanted(descriptor.View());
  for (const ColorModeName& known : kColorModeNames) {
    if (descriptor.CompareNoCase(known.descriptor) == 0) {
      if (std::u16string name = dialogs::TableText(known.textId); !name.empty()) wanted = name;
      break;
    }
  }
  const int found = m_Choices.FindString(-1, wanted.c_str());
  m_Choices.SetCurSel(found >= 0 ? found : 0);
}

int CBatchWBDlg::PositionInFileList(const FString& path, const FString& name) {
  if (m_nMode == kModeColorMode) {
    CKVR_Data_FileList<CKVR_CMData> list;
    return m_pSource->GetColorModeList(path, &list) ? PositionOfName(list, name) : -1;
  }
  CKVR_Data_FileList<CKVR_WBData> list;
  return m_pSource->GetWBList(path, &list) ? PositionOfName(list, name) : -1;
}

void CBatchWBDlg::OnOK() {
  const FString chosen(std::u16string_view(m_Choices.GetText()));
  m_aResultPaths.clear();
  m_aResultIndexes.clear();
  for (int f = 0; f < m_Files.GetCount(); ++f) {
    const FString& path = m_Files.GetAt(f)->m_Path;
    const int position = PositionInFileList(path, chosen);
    if (position < 0) continue; // a file that lacks the choice (or whose list is unreadable) is left out
    m_aResultPaths.push_back(path);
    m_aResultIndexes.push_back(static_cast<UINT>(position));
  }
  EndDialog(IDOK);
}

BOOL CBatchWBDlg::DestroyWindow() {
  FreeItemData();
  return CDialogBase::DestroyWindow();
}

void CBatchWBDlg::FreeItemData() {
  if (m_Choices.m_hWnd) {
    for (int i = 0; i < m_Choices.GetCount(); ++i) m_Choices.SetItemDataPtr(i, nullptr);
  }
  m_aItemData.clear();
}
