// The preferences dialog: what its controls show for the settings it opens
// with, what OK stores (an unknown colour space or save place is stored back
// as 0), that Cancel stores nothing, the radio groups staying exclusive, the
// chosen-program button and its file dialog, and the refusal of a chosen
// movie program that cannot be run.

#include "output/COutputDialogs.h"
#include "output/CPreferenceDlg.h"
#include "platform/testing/CommonDialogs.h"
#include "platform/testing/Headless.h"
#include "shell/dialogs/CMessageDlg.h"
#include "shell/dialogs/DialogTestSupport.h"

#include "foundation/FPath.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <optional>

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

struct Preferences {
  int splash, jpegAlert, animationApp;
  std::u16string selAppName;
  int colorSpace, savePlace;
  bool operator==(const Preferences&) const = default;
};

void PrintTo(const Preferences& p, std::ostream* os) {
  *os << "{" << p.splash << ", " << p.jpegAlert << ", " << p.animationApp << ", \""
      << testsupport::Utf8FromWide(FString(p.selAppName)) << "\", " << p.colorSpace << ", " << p.savePlace << "}";
}

bool Checked(HWND dialog, int id) { return SendMessageW(Item(dialog, id), BM_GETCHECK, 0, 0) != 0; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(Item(dialog, id)) != FALSE; }
// The colour-space button that is on (0-4), -1 for none, -2 for several.
int CheckedColorSpace(HWND dialog) {
  int on = -1;
  for (int i = 0; i < 5; ++i) {
    if (Checked(dialog, CPreferenceDlg::kColorSpaceIds[i])) on = on == -1 ? i : -2;
  }
  return on;
}

class PreferenceDlgTest : public DialogTest {
protected:
  PreferenceDlgTest() {
    // What opens ".avi" files: the desktop's player, found through the test's own databases.
    Write("data/mime/globs2", "50:video/x-msvideo:*.avi\n");
    Write("data/applications/player.desktop", "[Desktop Entry]\nExec=/opt/films/bin/filmplayer %f\n");
    Write("config/mimeapps.list", "[Default Applications]\nvideo/x-msvideo=player.desktop\n");
    Write("bin/player", "#!/bin/sh\n");
    std::filesystem::permissions(dir.Path() / "bin/player", std::filesystem::perms::owner_all);
    Write("bin/notes.txt", "not a program\n");
  }
  ~PreferenceDlgTest() override { pt::CancelDialogs(); }

  void Write(const std::string& name, const std::string& text) {
    std::filesystem::create_directories((dir.Path() / name).parent_path());
    WriteFileBytes(dir.Path() / name, text);
  }
  std::u16string Path(const std::string& below) const {
    return std::u16string(PathFromNative((dir.Path() / below).string()).View());
  }

  void Store(const Preferences& p) {
    CAppSettings& s = *m_App.GetSettings();
    s.m_nSplash = p.splash;
    s.m_nJPEGAlert = p.jpegAlert;
    s.m_nAnimationApp = p.animationApp;
    s.m_strSelAppName = FString(p.selAppName);
    s.m_nKVRColorSpace = p.colorSpace;
    s.m_nSavePlace = p.savePlace;
  }
  Preferences Stored() const {
    CAppSettings& s = *const_cast<CLumitraApp&>(m_App).GetSettings();
    return {s.m_nSplash, s.m_nJPEGAlert, s.m_nAnimationApp, std::u16string(s.m_strSelAppName.View()),
            s.m_nKVRColorSpace, s.m_nSavePlace};
  }

  TempDir dir;
  ScopedEnv config{"XDG_CONFIG_HOME", dir.Str() + "/config"};
  ScopedEnv configDirs{"XDG_CONFIG_DIRS", dir.Str() + "/etc"};
  ScopedEnv data{"XDG_DATA_HOME", dir.Str() + "/data"};
  ScopedEnv dataDirs{"XDG_DATA_DIRS", dir.Str() + "/system"};
};

TEST_F(PreferenceDlgTest, ControlsShowTheSettingsAndOKStoresThemBack) {
  const std::u16string player = Path("bin/player");
  struct Case {
    const char* what;
    Preferences opened;
    // Shown: splash, JPEG alert, system player, chosen player, path editable, colour space.
    bool splash, jpegAlert, systemPlayer, chosenPlayer, pathEditable;
    int colorSpace;
    bool lastSavePlace;
    Preferences stored;
  } cases[] = {
      {"defaults", {1, 1, 0, u"", 0, 0}, true, true, true, false, false, 0, false, {1, 1, 0, u"", 0, 0}},
      {"everything else", {0, 0, 1, player, 4, 1}, false, false, false, true, true, 4, true, {0, 0, 1, player, 4, 1}},
      {"Apple RGB is the third button", {1, 0, 0, player, 2, 0}, true, false, true, false, false, 2, false,
       {1, 0, 0, player, 2, 0}},
      {"a chosen player without a path", {1, 1, 1, u"", 3, 0}, true, true, true, false, false, 3, false,
       {1, 1, 0, u"", 3, 0}},
      {"values out of range", {5, -1, 2, player, 7, 9}, true, true, false, false, false, -1, false,
       {1, 1, 0, player, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Store(c.opened);
    CPreferenceDlg dialog(nullptr);
    pt::OnNextModal([&](HWND hwnd) {
      EXPECT_EQ(Checked(hwnd, CPreferenceDlg::kSplashId), c.splash);
      EXPECT_EQ(Checked(hwnd, CPreferenceDlg::kJPEGAlertId), c.jpegAlert);
      EXPECT_EQ(Checked(hwnd, CPreferenceDlg::kSystemPlayerId), c.systemPlayer);
      EXPECT_EQ(Checked(hwnd, CPreferenceDlg::kChosenPlayerId), c.chosenPlayer);
      EXPECT_EQ(Enabled(hwnd, CPreferenceDlg::kPlayerPathId), c.pathEditable);
      EXPECT_EQ(Enabled(hwnd, CPreferenceDlg::kBrowseId), c.pathEditable);
      EXPECT_EQ(WindowText(Item(hwnd, CPreferenceDlg::kPlayerPathId)), c.opened.selAppName);
      EXPECT_EQ(CheckedColorSpace(hwnd), c.colorSpace);
      EXPECT_EQ(Checked(hwnd, CPreferenceDlg::kSavePlaceIds[0]), c.opened.savePlace == 0);
      EXPECT_EQ(Checked(hwnd, CPreferenceDlg::kSavePlaceIds[1]), c.lastSavePlace);
      ClickItem(hwnd, IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(Stored(), c.stored);
  }
}

TEST_F(PreferenceDlgTest, LayoutCaptionsAndTheDefaultPlayersName) {
  Store({1, 0, 1, Path("bin/player"), 3, 1});
  CPreferenceDlg dialog(nullptr);
  pt::OnNextModal([this](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(447, 460));
    EXPECT_EQ(WindowText(hwnd), Text(6200));
    EXPECT_EQ(Caption(hwnd, CPreferenceDlg::kSystemPlayerId), Text(6205) + u" (filmplayer)");
    const struct {
      int id;
      CRect rect;
      int text; // 0: not checked here
    } controls[] = {{1198, {20, 5, 400, 20}, 6201},    {1143, {13, 24, 434, 69}, 0},
                    {1051, {22, 29, 400, 44}, 6202},   {1199, {22, 49, 400, 64}, 6203},
                    {1212, {13, 78, 434, 79}, 0},      {1200, {20, 88, 400, 103}, 6204},
                    {1144, {13, 108, 434, 180}, 0},    {1176, {22, 112, 400, 127}, 0},
                    {1201, {22, 132, 400, 147}, 6206}, {1202, {22, 152, 100, 175}, 6207},
                    {1141, {108, 152, 421, 170}, 0},   {1213, {13, 189, 434, 190}, 0},
                    {1203, {20, 199, 400, 214}, 6208}, {1145, {13, 219, 434, 323}, 0},
                    {1204, {22, 223, 400, 238}, 6209}, {1205, {22, 243, 400, 258}, 6210},
                    {1207, {22, 263, 400, 278}, 6212}, {1206, {22, 283, 400, 298}, 6211},
                    {1230, {22, 303, 400, 318}, 6219}, {1214, {13, 332, 434, 333}, 0},
                    {1208, {20, 342, 400, 357}, 6213}, {1146, {13, 362, 434, 406}, 0},
                    {1209, {22, 366, 400, 381}, 6214}, {1210, {22, 386, 400, 401}, 6215},
                    {1215, {13, 415, 434, 416}, 0},    {IDOK, {108, 427, 216, 450}, 6216},
                    {IDCANCEL, {239, 427, 347, 450}, 6217}};
    for (const auto& control : controls) {
      EXPECT_EQ(PlaceOf(hwnd, control.id), control.rect) << control.id;
      if (control.text) {
        EXPECT_EQ(Caption(hwnd, control.id), Text(control.text)) << control.id;
      }
    }
    Render(hwnd, "PreferenceDlg.png");
    const pt::PixelImage shot = pt::GrabClient(hwnd);
    EXPECT_EQ(pt::PixelAt(shot, 430, 50), RGB(100, 98, 99)) << "the first group box's fill";
    EXPECT_EQ(pt::PixelAt(shot, 398, 291), RGB(100, 98, 99)) << "a radio button's background";
    ClickItem(hwnd, IDCANCEL);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(PreferenceDlgTest, WhenNothingOpensMoviesTheCaptionNamesNoProgram) {
  std::filesystem::remove(dir.Path() / "config/mimeapps.list");
  CPreferenceDlg dialog(nullptr);
  pt::OnNextModal([this](HWND hwnd) {
    EXPECT_EQ(Caption(hwnd, CPreferenceDlg::kSystemPlayerId), Text(6205)) << "no empty brackets";
    ClickItem(hwnd, IDCANCEL);
  });
  dialog.DoModal();
}

TEST_F(PreferenceDlgTest, EachRadioGroupStaysExclusiveAndCancelStoresNothing) {
  const Preferences before{1, 1, 0, u"", 0, 0};
  Store(before);
  CPreferenceDlg dialog(nullptr);
  pt::OnNextModal([&](HWND hwnd) {
    for (int space : {2, 4, 4, 1}) { // the button already on stays on when clicked again
      ClickItem(hwnd, CPreferenceDlg::kColorSpaceIds[space]);
      EXPECT_EQ(CheckedColorSpace(hwnd), space);
      EXPECT_EQ(dialog.GetColorSpace(), space);
    }
    for (int place : {1, 1, 0, 1}) {
      ClickItem(hwnd, CPreferenceDlg::kSavePlaceIds[place]);
      EXPECT_EQ(Checked(hwnd, CPreferenceDlg::kSavePlaceIds[place]), true);
      EXPECT_EQ(Checked(hwnd, CPreferenceDlg::kSavePlaceIds[1 - place]), false);
      EXPECT_EQ(dialog.GetSavePlace(), place);
    }
    ClickItem(hwnd, CPreferenceDlg::kSplashId);
    EXPECT_FALSE(Checked(hwnd, CPreferenceDlg::kSplashId));
    ClickItem(hwnd, IDCANCEL);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(Stored(), before);
}

TEST_F(PreferenceDlgTest, TheChosenPlayerButtonAsksForAProgramOnlyWithoutAPath) {
  int asked = 0;
  std::optional<std::u16string> answer;
  pt::AnswerFileDialogs([&](platform::core::FileRequest& request) {
    ++asked;
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.title, Text(6218));
    using Filters = std::vector<std::pair<std::u16string, std::u16string>>;
    EXPECT_EQ(request.filters, (Filters{{Text(129), u"*"}, {Text(128), u"*.*"}}));
    EXPECT_EQ(request.filterIndex, 1);
    if (!answer) return false;
    request.path = *answer;
    return true;
  });
  Store({1, 1, 0, u"", 0, 0});
  CPreferenceDlg dialog(nullptr);
  pt::OnNextModal([&](HWND hwnd) {
    // Cancelled with an empty path: back to the system's program.
    ClickItem(hwnd, CPreferenceDlg::kChosenPlayerId);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(Checked(hwnd, CPreferenceDlg::kSystemPlayerId));
    EXPECT_FALSE(Checked(hwnd, CPreferenceDlg::kChosenPlayerId));
    EXPECT_FALSE(Enabled(hwnd, CPreferenceDlg::kPlayerPathId));
    // Answered: the path is shown and the chosen program stays on.
    answer = Path("bin/player");
    ClickItem(hwnd, CPreferenceDlg::kChosenPlayerId);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(WindowText(Item(hwnd, CPreferenceDlg::kPlayerPathId)), *answer);
    EXPECT_TRUE(Checked(hwnd, CPreferenceDlg::kChosenPlayerId));
    EXPECT_TRUE(Enabled(hwnd, CPreferenceDlg::kBrowseId));
    // With a path there, choosing the button again asks nothing.
    ClickItem(hwnd, CPreferenceDlg::kSystemPlayerId);
    ClickItem(hwnd, CPreferenceDlg::kChosenPlayerId);
    EXPECT_EQ(asked, 2);
    // Browsing and cancelling keeps the path.
    answer.reset();
    ClickItem(hwnd, CPreferenceDlg::kBrowseId);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(WindowText(Item(hwnd, CPreferenceDlg::kPlayerPathId)), Path("bin/player"));
    EXPECT_TRUE(Checked(hwnd, CPreferenceDlg::kChosenPlayerId));
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(Stored(), (Preferences{1, 1, 1, Path("bin/player"), 0, 0}));
}

TEST_F(PreferenceDlgTest, AChosenPlayerThatCannotRunIsRefusedAndNothingIsStored) {
  const Preferences before{1, 1, 1, Path("bin/player"), 0, 0};
  const std::u16string refused[] = {Path("bin/notes.txt"), Path("bin"), Path("bin/gone"), u"bin/player", u" "};
  for (const std::u16string& path : refused) {
    SCOPED_TRACE(testsupport::Utf8FromWide(FString(path)));
    Store(before);
    CPreferenceDlg dialog(nullptr);
    std::u16string message;
    pt::OnNextModal([&](HWND hwnd) {
      TypeInto(hwnd, CPreferenceDlg::kPlayerPathId, path);
      pt::OnNextModal([&](HWND box) {
        message = Caption(box, CMessageDlg::kFirstLineId);
        ClickItem(box, IDOK);
      });
      ClickItem(hwnd, IDOK);
      EXPECT_TRUE(IsWindowVisible(hwnd)) << "the dialog stays open";
      ClickItem(hwnd, IDCANCEL);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(message, Text(6220));
    EXPECT_EQ(Stored(), before);
  }
  // With the system's program the path is kept as typed.
  CPreferenceDlg dialog(nullptr);
  pt::OnNextModal([&](HWND hwnd) {
    TypeInto(hwnd, CPreferenceDlg::kPlayerPathId, u"some notes");
    ClickItem(hwnd, CPreferenceDlg::kSystemPlayerId);
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(Stored(), (Preferences{1, 1, 0, u"some notes", 0, 0}));
}

TEST_F(PreferenceDlgTest, TheMainFramesCommandRunsTheDialog) {
  COutputDialogs dialogs;
  EXPECT_TRUE(dialogs.Has(OutputDialog::Preferences));
  bool ran = false;
  pt::OnNextModal([&](HWND hwnd) {
    ran = WindowText(hwnd) == Text(6200);
    ClickItem(hwnd, IDCANCEL);
  });
  dialogs.RunPreferences();
  EXPECT_TRUE(ran);
}

} // namespace
