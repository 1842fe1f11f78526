// The single-instance lock and the hand-over. The lock is an flock on a
// file in the user's runtime folder: the kernel releases it with the process,
// so a crashed first instance never blocks the next start. Its holder owns
// the socket name beside it and replaces whatever socket file a crashed
// predecessor left. A listener thread reads every connection at once, each
// within a time limit for its whole message, checks each message and
// delivers it on the GUI thread (a cross-thread send, so the second start
// waits for the handler).

#include "platform/afx/AfxInstance.h"

#include "platform/core/Core.h"
#include "platform/core/HandOver.h"

#include "foundation/FPath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace platform::core {
namespace {

constexpr char kMagic[4] = {'L', 'M', 'H', '1'};
// How long a connection may take to deliver its message, and how long a
// second start waits for the first instance's handler.
constexpr int kReadSeconds = 2;
constexpr int kAnswerSeconds = 60;
// Connections read at the same time; one more is refused at once.
constexpr std::size_t kMaxConnections = 64;

void PutWord(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint32_t WordAt(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool NamesAFile(std::u16string_view text) {
  std::string native;
  return !text.empty() && PathToNative(FString(text), native);
}

} // namespace

std::vector<std::uint8_t> EncodeHandOver(std::u16string_view path) {
  std::vector<std::uint8_t> out(kMagic, kMagic + 4);
  const std::uint64_t bytes = path.empty() ? 0 : (path.size() + 1) * 2;
  if (bytes > kHandOverMaxBytes || (!path.empty() && !NamesAFile(path))) return {};
  PutWord(out, 0);
  PutWord(out, static_cast<std::uint32_t>(bytes));
  for (char16_t unit : path) {
    out.push_back(static_cast<std::uint8_t>(unit));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  if (!path.empty()) out.insert(out.end(), {0, 0});
  return out;
}

std::int64_t HandOverPayloadBytes(const std::uint8_t* header) {
  if (std::memcmp(header, kMagic, 4) != 0) return -1;
  const std::uint32_t bytes = WordAt(header + 8);
  return bytes > kHandOverMaxBytes ? -1 : static_cast<std::int64_t>(bytes);
}

std::optional<HandOverMessage> DecodeHandOver(const std::uint8_t* bytes, std::size_t size) {
  if (size < kHandOverHeaderBytes) return std::nullopt;
  const std::int64_t payload = HandOverPayloadBytes(bytes);
  if (payload < 0 || size != kHandOverHeaderBytes + static_cast<std::size_t>(payload) || payload % 2 != 0) {
    return std::nullopt;
  }
  HandOverMessage message;
  message.dataWord = WordAt(bytes + 4);
  if (payload == 0) return message;
  const std::uint8_t* text = bytes + kHandOverHeaderBytes;
  const std::size_t units = static_cast<std::size_t>(payload) / 2;
  message.path.resize(units);
  for (std::size_t i = 0; i < units; ++i) {
    message.path[i] = static_cast<char16_t>(text[2 * i] | (text[2 * i + 1] << 8));
  }
  // Exactly one 0, at the end; the rest must name a file.
  if (message.path.back() != u'\0') return std::nullopt;
  message.path.pop_back();
  if (message.path.find(u'\0') != std::u16string::npos || !NamesAFile(message.path)) return std::nullopt;
  return message;
}

} // namespace platform::core

namespace platform {
namespace {

using namespace platform::core;

bool PrivateFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0;
}

// The user's runtime folder; a private folder under /tmp when there is no
// usable one or its socket names would not fit an address.
std::string InstanceFolder(std::size_t longestName) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::size_t room = sizeof(sockaddr_un{}.sun_path) - 1;
  if (runtime && runtime[0] == '/' && PrivateFolder(runtime) && std::strlen(runtime) + 1 + longestName <= room) {
    return runtime;
  }
  const std::string fallback = "/tmp/lumitra-" + std::to_string(::geteuid());
  ::mkdir(fallback.c_str(), 0700);
  return PrivateFolder(fallback) ? fallback : std::string();
}

// A file name of the mutex's name: letters, digits and ". _ -" kept, others
// "_", with a hash of the whole name so that different names stay apart.
std::string StemOf(std::u16string_view name) {
  std::string stem;
  std::uint32_t hash = 2166136261u;
  for (char16_t c : name) {
    hash = (hash ^ c) * 16777619u;
    const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                       c == u'.' || c == u'_' || c == u'-';
    if (stem.size() < 40) stem += plain ? static_cast<char>(c) : '_';
  }
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "-%08x", hash);
  return "lumitra-" + stem + suffix;
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

void SetTimeouts(int fd, int seconds) {
  const timeval limit{seconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

bool ReadAll(int fd, std::uint8_t* out, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::recv(fd, out, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool SameUser(int connection) {
  ucred peer{};
  socklen_t length = sizeof peer;
  return ::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == ::geteuid();
}

// On the GUI thread: bring the window forward, then hand it the path.
LRESULT Deliver(HWND window, const HandOverMessage& message) {
  if (!IsWindow(window)) return 0;
  if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOW);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetActiveWindow(window);
  if (message.path.empty()) return 1;
  std::u16string data = message.path;
  data.push_back(u'\0');
  COPYDATASTRUCT record;
  record.dwData = message.dataWord;
  record.cbData = static_cast<DWORD>(data.size() * 2);
  record.lpData = data.data();
  SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
  return IsWindow(window) ? 1 : 0;
}

} // namespace

struct InstanceLock::Listener {
  // A connection being read: its message so far and when it must be whole.
  struct Connection {
    int fd = -1;
    std::chrono::steady_clock::time_point deadline;
    std::vector<std::uint8_t> bytes;
  };

  int socket = -1;
  int stop[2] = {-1, -1};
  HWND window = nullptr;
  std::function<bool(std::u16string_view)> accepts;
  std::atomic<bool> finished{false};
  std::thread thread;

  ~Listener() {
    if (thread.joinable()) {
      const char wake = 1;
      [[maybe_unused]] const ssize_t n = ::write(stop[1], &wake, 1);
      // A hand-over in progress waits for the GUI thread: serve it meanwhile.
      while (!finished) {
        if (IsGuiThread()) ServeSentMessages();
        WaitForWork(20, [this] { return finished.load(); });
      }
      thread.join();
    }
    for (int fd : {socket, stop[0], stop[1]}) {
      if (fd >= 0) ::close(fd);
    }
  }

  // Every connection is read at once, each within its own time limit for the
  // whole message, so a sender that is slow (or never sends) holds up no
  // other start.
  void Run() {
    std::vector<Connection> open;
    for (;;) {
      std::vector<pollfd> waits = {{socket, POLLIN, 0}, {stop[0], POLLIN, 0}};
      for (const Connection& c : open) waits.push_back({c.fd, POLLIN, 0});
      const int timeout = open.empty() ? -1 : MillisecondsUntilFirstDeadline(open);
      if (::poll(waits.data(), waits.size(), timeout) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (waits[1].revents) break;
      for (std::size_t i = open.size(); i-- > 0;) {
        const short events = waits[2 + i].revents;
        if (events && !ReadMore(open[i])) {
          Finish(open[i]);
          open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
        }
      }
      DropLate(open);
      if (waits[0].revents) Accept(open);
    }
    for (Connection& c : open) ::close(c.fd);
    finished = true;
    NotifyWork();
  }

  static int MillisecondsUntilFirstDeadline(const std::vector<Connection>& open) {
    auto first = open.front().deadline;
    for (const Connection& c : open) first = std::min(first, c.deadline);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(first - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count() + 1, 0, 60000));
  }

  void Accept(std::vector<Connection>& open) {
    const int fd = ::accept4(socket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (!SameUser(fd) || open.size() >= kMaxConnections) {
      Answer(fd, 0);
      ::close(fd);
      return;
    }
    open.push_back({fd, std::chrono::steady_clock::now() + std::chrono::seconds(kReadSeconds), {}});
  }

  // Reads what has come; false once the connection is done with (whole,
  // refused or gone).
  bool ReadMore(Connection& c) {
    std::size_t wanted = kHandOverHeaderBytes;
    if (c.bytes.size() >= kHandOverHeaderBytes) {
      wanted += static_cast<std::size_t>(HandOverPayloadBytes(c.bytes.data()));
    }
    while (c.bytes.size() < wanted) {
      std::uint8_t chunk[512];
      const ssize_t n = ::recv(c.fd, chunk, std::min(sizeof chunk, wanted - c.bytes.size()), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
      if (n <= 0) return false;
      c.bytes.insert(c.bytes.end(), chunk, chunk + n);
      if (c.bytes.size() == kHandOverHeaderBytes) {
        const std::int64_t payload = HandOverPayloadBytes(c.bytes.data());
        if (payload < 0) return false;
        wanted = kHandOverHeaderBytes + static_cast<std::size_t>(payload);
      }
    }
    return false;
  }

  // Delivers a whole message that is accepted; answers 1 when its handler
  // ran, else 0.
  void Finish(Connection& c) {
    std::uint8_t answer = 0;
    const bool whole = c.bytes.size() >= kHandOverHeaderBytes &&
                       c.bytes.size() == kHandOverHeaderBytes +
                                             static_cast<std::size_t>(std::max<std::int64_t>(
                                                 HandOverPayloadBytes(c.bytes.data()), 0));
    if (whole) {
      if (std::optional<HandOverMessage> message = DecodeHandOver(c.bytes.data(), c.bytes.size())) {
        if (message->path.empty() || !accepts || accepts(message->path)) {
          const HWND target = window;
          answer = CallOnGuiThread([&] { return Deliver(target, *message); }) != 0 ? 1 : 0;
        }
      }
    }
    Answer(c.fd, answer);
    ::close(c.fd);
  }

  static void DropLate(std::vector<Connection>& open) {
    const auto now = std::chrono::steady_clock::now();
    for (std::size_t i = open.size(); i-- > 0;) {
      if (open[i].deadline > now) continue;
      Answer(open[i].fd, 0);
      ::close(open[i].fd);
      open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }

  static void Answer(int fd, std::uint8_t answer) {
    [[maybe_unused]] const ssize_t n = ::send(fd, &answer, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  }
};

InstanceLock::InstanceLock(std::u16string_view name) {
  const std::string stem = StemOf(name);
  const std::string folder = InstanceFolder(stem.size() + std::strlen(".socket"));
  if (folder.empty()) return;
  m_lockPath = folder + "/" + stem + ".lock";
  m_socketPath = folder + "/" + stem + ".socket";
}

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::State InstanceLock::Acquire() {
  if (m_state != State::Unclaimed) return m_state;
  if (m_lockPath.empty()) return m_state = State::Failed;
  m_lockFd = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (m_lockFd < 0) return m_state = State::Failed;
  if (::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) return m_state = State::First;
  const bool held = errno == EWOULDBLOCK;
  ::close(std::exchange(m_lockFd, -1));
  return m_state = held ? State::Second : State::Failed;
}

InstanceLock::State InstanceLock::GetState() const { return m_state; }

bool InstanceLock::Publish(HWND mainWindow, std::function<bool(std::u16string_view)> accepts) {
  if (m_state != State::First || m_listener) return false;
  sockaddr_un address;
  if (!FillAddress(m_socketPath, address)) return false;
  auto listener = std::make_unique<Listener>();
  listener->window = mainWindow;
  listener->accepts = std::move(accepts);
  listener->socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener->socket < 0 || ::pipe2(listener->stop, O_CLOEXEC) != 0) return false;
  ::unlink(m_socketPath.c_str()); // ours by the lock: whatever lies there is left over
  if (::bind(listener->socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener->socket, SOMAXCONN) != 0) {
    return false;
  }
  Listener* raw = listener.get();
  listener->thread = std::thread([raw] { raw->Run(); });
  m_listener = std::move(listener);
  return true;
}

void InstanceLock::Withdraw() {
  if (!m_listener) return;
  m_listener.reset();
  ::unlink(m_socketPath.c_str());
}

bool InstanceLock::HandOver(std::u16string_view path) const {
  const std::vector<std::uint8_t> message = EncodeHandOver(path);
  sockaddr_un address;
  if (message.empty() || !FillAddress(m_socketPath, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  SetTimeouts(fd, kAnswerSeconds);
  std::uint8_t answer = 0;
  const bool delivered = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                         WriteAll(fd, message.data(), message.size()) && ReadAll(fd, &answer, 1);
  ::close(fd);
  return delivered && answer == 1;
}

void InstanceLock::Release() {
  Withdraw();
  // The lock file stays: removing it would let a later start lock a new file
  // while another process still holds the old one.
  if (m_lockFd >= 0) ::close(std::exchange(m_lockFd, -1));
  if (m_state == State::First) m_state = State::Unclaimed;
}

} // namespace platform
