// Change notifications with the watcher's thread (also under
// ThreadSanitizer): folders made, removed and renamed in a listed folder
// reach a registered window within a second, the program's own
// notifications arrive posted, media and shares coming and going are
// reported, and registrations limit what a window hears.

#include "../core/RecordingWindow.h"
#include "ShellTreeFixture.h"
#include "platform/shell/ShellItems.h"

#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;
using platform::core::StandaloneHost;

namespace {

constexpr UINT WM_APP_SHELL_NOTIFY = WM_APP + 0x24;
constexpr LONG kTreeEvents = 0x201F8; // made, removed, media, drives, renamed folders

struct Event {
  LONG event;
  std::string first;
  std::string second;
  bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Event& e) {
  return out << "{" << e.event << ", " << e.first << ", " << e.second << "}";
}

class ShellNotify : public ShellTree {
protected:
  void SetUp() override {
    ShellTree::SetUp();
    platform::core::UseVirtualClock(false);
    tree.CreateTop();
    tree.hooks[WM_APP_SHELL_NOTIFY] = [this](WPARAM wParam, LPARAM lParam) {
      const auto* lists = reinterpret_cast<const ITEMIDLIST* const*>(wParam);
      events.push_back({static_cast<LONG>(lParam), PathOf(lists[0]), lists[1] ? PathOf(lists[1]) : std::string()});
      return LRESULT{0};
    };
    host.Pump();
  }
  void TearDown() override {
    if (registration) SHChangeNotifyDeregister(registration);
    ShellTree::TearDown();
  }

  ULONG Register(PCIDLIST_ABSOLUTE item, bool recursive, HWND window) {
    SHChangeNotifyEntry entry;
    entry.pidl = item;
    entry.fRecursive = recursive;
    return SHChangeNotifyRegister(window, SHCNRF_ShellLevel, kTreeEvents, WM_APP_SHELL_NOTIFY, 1, &entry);
  }

  // Lists a folder through the source, as the tree does when it expands it.
  void List(const std::string& below) {
    IShellFolder* desktop = nullptr;
    SHGetDesktopFolder(&desktop);
    ITEMIDLIST* list = nullptr;
    ASSERT_EQ(SHParseDisplayName(Wide(below).c_str(), nullptr, &list, 0, nullptr), S_OK);
    void* folder = nullptr;
    ASSERT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, &folder), S_OK);
    IEnumIDList* items = nullptr;
    static_cast<IShellFolder*>(folder)->EnumObjects(nullptr, SHCONTF_FOLDERS, &items);
    items->Release();
    static_cast<IShellFolder*>(folder)->Release();
    desktop->Release();
    ILFree(list);
  }

  // Pumps until `count` events arrived or the time ran out; the time it took.
  std::chrono::milliseconds AwaitEvents(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(1)) {
    const auto start = std::chrono::steady_clock::now();
    while (events.size() < count && std::chrono::steady_clock::now() - start < limit) {
      host.Pump();
      platform::core::WaitForWork(5, nullptr);
    }
    host.Pump();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }

  StandaloneHost host;
  RecordingWindow tree;
  std::vector<Event> events;
  ULONG registration = 0;
};

TEST_F(ShellNotify, FoldersMadeRemovedAndRenamedInAListedFolderArriveWithinASecond) {
  ITEMIDLIST* desktop = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop), S_OK);
  registration = Register(desktop, true, tree);
  ILFree(desktop);
  ASSERT_NE(registration, 0u);
  List("home/Pictures");

  fs::create_directory(Path("home/Pictures/new"));
  EXPECT_LT(AwaitEvents(1).count(), 1000);
  ASSERT_EQ(events, (std::vector<Event>{{SHCNE_MKDIR, Str("home/Pictures/new"), ""}}));

  events.clear();
  fs::rename(Path("home/Pictures/new"), Path("home/Pictures/renamed"));
  fs::remove(Path("home/Pictures/img2"));
  testsupport::WriteFileBytes(Path("home/Pictures/other.jpg"), "no folder");
  fs::create_directory(Path("home/Pictures/.cache"));
  AwaitEvents(3);
  EXPECT_EQ(events, (std::vector<Event>{{SHCNE_RMDIR, Str("home/Pictures/new"), ""},
                                        {SHCNE_MKDIR, Str("home/Pictures/renamed"), ""},
                                        {SHCNE_RMDIR, Str("home/Pictures/img2"), ""}}))
      << "a rename is a removal and a creation; files and hidden folders are not told";

  // Folders that were never listed are not watched.
  events.clear();
  fs::create_directory(Path("home/Documents/unlisted"));
  AwaitEvents(1, std::chrono::milliseconds(200));
  EXPECT_TRUE(events.empty());
}

TEST_F(ShellNotify, TheProgramsOwnNotificationsArrivePostedInOrder) {
  ITEMIDLIST* pictures = nullptr;
  ASSERT_EQ(SHParseDisplayName(Wide("home/Pictures").c_str(), nullptr, &pictures, 0, nullptr), S_OK);
  registration = Register(pictures, false, tree); // the folder and its own children only
  ILFree(pictures);
  ASSERT_NE(registration, 0u);

  const std::u16string made = Wide("home/Pictures/made");
  const std::u16string deep = Wide("home/Pictures/img10/sub");
  const std::u16string elsewhere = Wide("home/Documents");
  SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, made.c_str(), nullptr);
  SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, deep.c_str(), nullptr);
  SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHW, elsewhere.c_str(), nullptr);
  SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, made.c_str(), nullptr); // not asked for
  EXPECT_TRUE(events.empty()) << "posted: nothing arrives inside the call";
  host.Pump();
  EXPECT_EQ(events, (std::vector<Event>{{SHCNE_MKDIR, Str("home/Pictures/made"), ""}}));

  ASSERT_TRUE(SHChangeNotifyDeregister(registration));
  registration = 0;
  EXPECT_FALSE(SHChangeNotifyDeregister(12345));
  SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, made.c_str(), nullptr);
  host.Pump();
  EXPECT_EQ(events.size(), 1u) << "nothing after deregistering";
}

TEST_F(ShellNotify, MediaAndSharesComingAndGoingAreReported) {
  ITEMIDLIST* desktop = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop), S_OK);
  registration = Register(desktop, true, tree);
  ILFree(desktop);
  fs::create_directories(Path("media/USB"));
  testsupport::WriteFileBytes(Path("mounts"), "/dev/sda1 / ext4 rw 0 0\n"
                                              "/dev/sr1 " + Str("media/USB") + " udf ro 0 0\n"
                                              "//FileSrv/Photos " + Str("net/photos") + " cifs rw 0 0\n");
  platform::shell::CheckMountsNow();
  host.Pump();
  EXPECT_EQ(events, (std::vector<Event>{{SHCNE_DRIVEADD, Str("media/USB"), ""},
                                        {SHCNE_DRIVEREMOVED, Str("media/CARD"), ""}}));
}

TEST_F(ShellNotify, RegistrationsNeedALiveWindowAndAnItem) {
  ITEMIDLIST* desktop = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop), S_OK);
  SHChangeNotifyEntry entry;
  entry.pidl = desktop;
  EXPECT_EQ(SHChangeNotifyRegister(nullptr, SHCNRF_ShellLevel, kTreeEvents, WM_APP_SHELL_NOTIFY, 1, &entry), 0u);
  EXPECT_EQ(SHChangeNotifyRegister(tree, SHCNRF_ShellLevel, kTreeEvents, WM_APP_SHELL_NOTIFY, 0, &entry), 0u);
  ILFree(desktop);

  // A window destroyed before its events are delivered is skipped.
  RecordingWindow gone;
  gone.CreateTop();
  const ULONG id = Register(nullptr, true, gone);
  ASSERT_NE(id, 0u);
  const std::u16string made = Wide("home/Pictures/x");
  SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, made.c_str(), nullptr);
  gone.DestroyWindow();
  host.Pump();
  EXPECT_TRUE(SHChangeNotifyDeregister(id));
}

} // namespace
