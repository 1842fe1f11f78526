// Change notifications. Every event, from the program's SHChangeNotify or
// from the watcher thread, is posted to a hidden delivery window on the GUI
// thread, which sends it to each registered window it concerns with its two
// lists valid for the call; posting keeps them in order and after the
// handler that caused them. The watcher reads inotify for the folders the
// source has listed and compares the mounted media and network shares
// every two seconds.

#include "platform/shell/ShellItems.h"

#include "platform/afx/AfxWin.h"

#include "foundation/FMountTable.h"
#include "foundation/FPath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace platform::shell {
namespace {

constexpr UINT kDeliver = WM_APP + 0x3F00;
constexpr int kMountPollMs = 2000;

struct Notification {
  LONG event = 0;
  Route first;
  std::optional<Route> second;
};

struct Registration {
  ULONG id = 0;
  HWND window = nullptr;
  LONG events = 0;
  UINT message = 0;
  std::vector<std::pair<Route, bool>> entries; // item, recursive
};

std::mutex g_mutex; // registrations and the delivery window
std::vector<Registration>& Registrations() {
  static auto* registrations = new std::vector<Registration>;
  return *registrations;
}
ULONG g_nextId = 0;
HWND g_deliveryWindow = nullptr;

bool Concerns(const Registration& r, const Notification& n) {
  if (!(r.events & n.event)) return false;
  for (const auto& [item, recursive] : r.entries) {
    const bool below = n.first.size() >= item.size() && std::equal(item.begin(), item.end(), n.first.begin());
    if (below && (recursive || n.first.size() <= item.size() + 1)) return true;
  }
  return false;
}

class DeliveryWindow : public CWnd {
protected:
  afx_msg LRESULT OnDeliver(WPARAM, LPARAM lParam) {
    std::unique_ptr<Notification> n(reinterpret_cast<Notification*>(lParam));
    std::vector<Registration> targets;
    {
      std::lock_guard lock(g_mutex);
      for (const Registration& r : Registrations()) {
        if (Concerns(r, *n)) targets.push_back(r);
      }
    }
    ITEMIDLIST* first = ListOfRoute(n->first);
    ITEMIDLIST* second = n->second ? ListOfRoute(*n->second) : nullptr;
    const ITEMIDLIST* pair[2] = {first, second};
    for (const Registration& target : targets) {
      // A handler may deregister others: only live registrations are told.
      bool live;
      {
        std::lock_guard lock(g_mutex);
        live = std::any_of(Registrations().begin(), Registrations().end(),
                           [&](const Registration& r) { return r.id == target.id; });
      }
      if (live && first) ::SendMessageW(target.window, target.message, reinterpret_cast<WPARAM>(pair), n->event);
    }
    ILFree(first);
    ILFree(second);
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(DeliveryWindow, CWnd)
  ON_MESSAGE(kDeliver, OnDeliver)
END_MESSAGE_MAP()

// On the GUI thread: the delivery window, made again after the window
// system was restarted.
HWND EnsureDeliveryWindow() {
  {
    std::lock_guard lock(g_mutex);
    if (IsWindow(g_deliveryWindow)) return g_deliveryWindow;
  }
  static DeliveryWindow* window = nullptr; // GUI thread only
  delete window;
  window = new DeliveryWindow;
  const HWND made = window->CreateEx(0, u"ShellNotify", u"", WS_POPUP, RECT{}, nullptr, 0) ? window->m_hWnd : nullptr;
  std::lock_guard lock(g_mutex);
  return g_deliveryWindow = made;
}

void Post(std::unique_ptr<Notification> n) {
  HWND window;
  {
    std::lock_guard lock(g_mutex);
    if (Registrations().empty()) return;
    window = g_deliveryWindow;
  }
  PostOwnedMessage(window, kDeliver, 0, std::move(n));
}

void PostPath(LONG event, const FString& path) {
  if (std::optional<Route> route = RouteOfPath(path)) {
    auto n = std::make_unique<Notification>();
    n->event = event;
    n->first = std::move(*route);
    Post(std::move(n));
  }
}

// The watcher: inotify for the listed folders, the mount table by polling.
class Watcher {
public:
  void Watch(const FString& path) {
    std::lock_guard lock(m_mutex);
    if (m_inotify < 0) m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::string native;
    if (m_inotify < 0 || m_paths.contains(path.GetText()) || !PathToNative(path, native)) return;
    const int wd = ::inotify_add_watch(m_inotify, native.c_str(),
                                       IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR);
    if (wd < 0) return;
    m_folders[wd] = path;
    m_paths.insert(path.GetText());
  }

  void Start() {
    std::lock_guard lock(m_mutex);
    if (m_thread.joinable()) return;
    if (m_inotify < 0) m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (::pipe2(m_stop, O_CLOEXEC) != 0) return;
    m_mounts = Mounts();
    m_thread = std::thread([this] { Run(); });
  }

  void Stop() {
    std::thread thread;
    {
      std::lock_guard lock(m_mutex);
      if (!m_thread.joinable()) return;
      const char wake = 1;
      [[maybe_unused]] const ssize_t n = ::write(m_stop[1], &wake, 1);
      thread = std::move(m_thread);
    }
    thread.join(); // the watcher only posts: it never waits for the GUI thread
    std::lock_guard lock(m_mutex);
    ::close(m_stop[0]);
    ::close(m_stop[1]);
    m_stop[0] = m_stop[1] = -1;
  }

  void CheckMounts() {
    std::map<std::u16string, Route> now = Mounts();
    std::vector<std::unique_ptr<Notification>> changes;
    {
      std::lock_guard lock(m_mutex);
      for (const auto& [mount, route] : now) {
        if (!m_mounts.contains(mount)) changes.push_back(Change(SHCNE_DRIVEADD, route));
      }
      for (const auto& [mount, route] : m_mounts) {
        if (!now.contains(mount)) changes.push_back(Change(SHCNE_DRIVEREMOVED, route));
      }
      m_mounts = std::move(now);
    }
    for (auto& change : changes) Post(std::move(change));
  }

private:
  static std::unique_ptr<Notification> Change(LONG event, const Route& route) {
    auto n = std::make_unique<Notification>();
    n->event = event;
    n->first = route;
    return n;
  }

  // The mounted media and network shares by mount point.
  static std::map<std::u16string, Route> Mounts() {
    std::map<std::u16string, Route> mounts;
    for (const ItemId& item : RootItems()) {
      if (item.kind == Kind::Medium) mounts[item.text] = {item};
    }
    for (const FNetworkShare& share : ListNetworkShares()) {
      const std::u16string mount = share.m_sMountPoint.GetText();
      mounts[mount] = {ItemId{Kind::Network, {}}, ItemId{Kind::Share, mount}};
    }
    return mounts;
  }

  void Run() {
    for (;;) {
      pollfd waits[2] = {{m_inotify, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
      const int ready = ::poll(waits, 2, kMountPollMs);
      if (ready < 0 && errno != EINTR) break;
      if (waits[1].revents) break;
      if (waits[0].revents & POLLIN) ReadEvents();
      if (ready == 0) CheckMounts();
    }
  }

  void ReadEvents() {
    alignas(inotify_event) char buffer[16384];
    for (;;) {
      const ssize_t n = ::read(m_inotify, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        if (at > n) break;
        Handle(*e);
      }
    }
  }

  void Handle(const inotify_event& e) {
    FString folder;
    {
      std::lock_guard lock(m_mutex);
      auto it = m_folders.find(e.wd);
      if (it == m_folders.end()) return;
      folder = it->second;
      if (e.mask & IN_IGNORED) { // the folder itself is gone
        m_paths.erase(folder.GetText());
        m_folders.erase(it);
        return;
      }
    }
    if (!(e.mask & IN_ISDIR) || e.len == 0 || e.name[0] == '.') return; // hidden folders are not listed
    const FString path = PathJoin(folder, PathFromNative(e.name));
    // A rename within or across the listed folders is a removal and a creation.
    if (e.mask & (IN_CREATE | IN_MOVED_TO)) PostPath(SHCNE_MKDIR, path);
    if (e.mask & (IN_DELETE | IN_MOVED_FROM)) PostPath(SHCNE_RMDIR, path);
  }

  std::mutex m_mutex;
  int m_inotify = -1;
  int m_stop[2] = {-1, -1};
  std::thread m_thread;
  std::map<int, FString> m_folders;
  std::set<std::u16string> m_paths;
  std::map<std::u16string, Route> m_mounts;
};

Watcher& TheWatcher() {
  static auto* watcher = new Watcher; // lives as long as the process: the inotify descriptor too
  return *watcher;
}

std::optional<Route> RouteOfItem(UINT flags, LPCVOID item) {
  if (!item) return std::nullopt;
  if ((flags & 0xFF) == SHCNF_PATHW) return RouteOfPath(FString(static_cast<const char16_t*>(item)));
  if ((flags & 0xFF) == SHCNF_IDLIST) return RouteOfList(static_cast<const ITEMIDLIST*>(item));
  return std::nullopt;
}

} // namespace

void WatchListedFolder(const FString& path) { TheWatcher().Watch(path); }

void CheckMountsNow() { TheWatcher().CheckMounts(); }

} // namespace platform::shell

using namespace platform::shell;

ULONG SHChangeNotifyRegister(HWND window, int, LONG events, UINT message, int entryCount,
                             const SHChangeNotifyEntry* entries) {
  if (!IsWindow(window) || entryCount <= 0 || !entries || !EnsureDeliveryWindow()) return 0;
  Registration r;
  r.window = window;
  r.events = events;
  r.message = message;
  for (int i = 0; i < entryCount; ++i) {
    std::optional<Route> item = entries[i].pidl ? RouteOfList(entries[i].pidl) : Route{};
    if (!item) return 0;
    r.entries.emplace_back(std::move(*item), entries[i].fRecursive != FALSE);
  }
  {
    std::lock_guard lock(g_mutex);
    r.id = ++g_nextId;
    Registrations().push_back(r);
  }
  TheWatcher().Start();
  return r.id;
}

BOOL SHChangeNotifyDeregister(ULONG registration) {
  bool last;
  {
    std::lock_guard lock(g_mutex);
    auto& all = Registrations();
    const auto gone = std::remove_if(all.begin(), all.end(), [&](const Registration& r) { return r.id == registration; });
    if (gone == all.end()) return FALSE;
    all.erase(gone, all.end());
    last = all.empty();
  }
  if (last) TheWatcher().Stop();
  return TRUE;
}

void SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2) {
  std::optional<Route> first = RouteOfItem(flags, item1);
  if (!first) return;
  auto n = std::make_unique<Notification>();
  n->event = event;
  n->first = std::move(*first);
  n->second = RouteOfItem(flags, item2);
  Post(std::move(n));
}
