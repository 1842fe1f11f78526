// The single-instance lock and the hand-over (also under ThreadSanitizer):
// first and second starts, a stale lock and socket of a crashed instance,
// messages that are refused, and a second process whose path reaches the
// first instance's window once, as WM_COPYDATA on the GUI thread.

#include "RecordingWindow.h"
#include "platform/afx/AfxInstance.h"
#include "platform/core/HandOver.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <filesystem>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using platform::InstanceLock;
using platform::core::StandaloneHost;
using State = platform::InstanceLock::State;

namespace {

const char16_t kName[] = u"TALVO Lumitra v3.X";
const char kSecondStartVariable[] = "LUMITRA_TEST_SECOND_START";

class SingleInstance : public ::testing::Test {
protected:
  void SetUp() override {
    frame.CreateTop();
    frame.hooks[WM_COPYDATA] = [this](WPARAM wParam, LPARAM lParam) {
      const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      EXPECT_EQ(wParam, 0u);
      EXPECT_EQ(record->dwData, 0u);
      const auto* text = static_cast<const char16_t*>(record->lpData);
      EXPECT_EQ(record->cbData, (std::char_traits<char16_t>::length(text) + 1) * 2);
      received.emplace_back(text);
      return static_cast<LRESULT>(TRUE);
    };
    host.Pump();
  }

  // Runs f on a worker (a second start) while the GUI thread keeps serving.
  template <class F>
  auto OnWorker(F f) {
    decltype(f()) result{};
    std::atomic<bool> done{false};
    std::thread worker([&] {
      result = f();
      done = true;
      platform::core::NotifyWork();
    });
    while (!done) {
      host.Pump();
      platform::core::WaitForWork(10, [&] { return done.load(); });
    }
    worker.join();
    host.Pump();
    return result;
  }

  fs::path SocketFile() const {
    for (const auto& entry : fs::directory_iterator(runtime.Path())) {
      if (entry.path().extension() == ".socket") return entry.path();
    }
    return {};
  }

  // Sends raw bytes to the instance socket; the one-byte answer, or -1.
  int SendRaw(const std::vector<std::uint8_t>& bytes) {
    return OnWorker([&] {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      const std::string path = SocketFile().string();
      std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      std::uint8_t answer = 0;
      int result = -1;
      if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size()) &&
          ::recv(fd, &answer, 1, 0) == 1) {
        result = answer;
      }
      ::close(fd);
      return result;
    });
  }

  testsupport::TempDir runtime;
  testsupport::ScopedEnv runtimeEnv{"XDG_RUNTIME_DIR", runtime.Str()};
  StandaloneHost host;
  RecordingWindow frame;
  std::vector<std::u16string> received;
};

TEST_F(SingleInstance, TheSecondStartHandsItsPathToTheFirstsWindow) {
  InstanceLock first(kName);
  ASSERT_EQ(first.Acquire(), State::First);
  InstanceLock second(kName);
  ASSERT_EQ(second.Acquire(), State::Second);
  EXPECT_FALSE(OnWorker([&] { return second.HandOver(u"/pictures/a.kvr"); }))
      << "the first instance is still starting: nobody listens";

  ASSERT_TRUE(first.Publish(frame));
  // A path with an undecodable file-name byte travels as its escape.
  const std::u16string odd = u"/pictures/b \xDCE9.jpg";
  EXPECT_TRUE(OnWorker([&] { return second.HandOver(u"/pictures/a.kvr"); }));
  EXPECT_TRUE(OnWorker([&] { return second.HandOver(odd); }));
  EXPECT_TRUE(OnWorker([&] { return second.HandOver(u""); })) << "no file: only brought forward";
  EXPECT_EQ(received, (std::vector<std::u16string>{u"/pictures/a.kvr", odd}));
  EXPECT_EQ(GetActiveWindow(), frame.m_hWnd);

  // A lost window refuses; a withdrawn instance does not listen; released, the next start is first.
  frame.DestroyWindow();
  EXPECT_FALSE(OnWorker([&] { return second.HandOver(u"/pictures/c.kvr"); }));
  first.Withdraw();
  EXPECT_FALSE(OnWorker([&] { return second.HandOver(u"/pictures/c.kvr"); }));
  first.Release();
  InstanceLock third(kName);
  EXPECT_EQ(third.Acquire(), State::First);
}

TEST_F(SingleInstance, AStaleLockAndSocketOfACrashedInstanceDoNotStopTheNextStart) {
  // What a crashed first instance leaves: its lock file, and a socket file
  // that nobody listens on.
  std::string stale;
  {
    InstanceLock crashed(kName);
    ASSERT_EQ(crashed.Acquire(), State::First);
    ASSERT_TRUE(crashed.Publish(frame));
    stale = SocketFile().string();
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, stale.c_str(), stale.size() + 1);
  const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(dead);
  ASSERT_EQ(fs::status(stale).type(), fs::file_type::socket);

  InstanceLock next(kName);
  ASSERT_EQ(next.Acquire(), State::First);
  ASSERT_TRUE(next.Publish(frame));
  InstanceLock second(kName);
  ASSERT_EQ(second.Acquire(), State::Second);
  EXPECT_TRUE(OnWorker([&] { return second.HandOver(u"/pictures/a.kvr"); }));
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(SingleInstance, MessagesThatAreTooLongOrNotUtf16AreRefused) {
  InstanceLock first(kName);
  ASSERT_EQ(first.Acquire(), State::First);
  ASSERT_TRUE(first.Publish(frame));
  auto message = [](std::uint32_t bytes, std::vector<std::uint8_t> payload) {
    std::vector<std::uint8_t> m = {'L', 'M', 'H', '1', 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) m.push_back(static_cast<std::uint8_t>(bytes >> (8 * i)));
    m.insert(m.end(), payload.begin(), payload.end());
    return m;
  };
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  const Case refused[] = {
      {"wrong magic", {'X', 'M', 'H', '1', 0, 0, 0, 0, 0, 0, 0, 0}},
      {"odd byte count", message(3, {'a', 0, 0})},
      {"no final 0", message(4, {'a', 0, 'b', 0})},
      {"a 0 inside", message(6, {'a', 0, 0, 0, 'b', 0})},
      {"a lone high surrogate", message(4, {0x00, 0xD8, 0, 0})},
      {"a surrogate that escapes no byte", message(4, {0x00, 0xDC, 0, 0})},
      {"longer than any path", message(platform::core::kHandOverMaxBytes + 2, {})},
  };
  for (const Case& c : refused) EXPECT_EQ(SendRaw(c.bytes), 0) << c.what;
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(SendRaw(message(4, {'a', 0, 0, 0})), 1) << "the listener goes on serving";
  EXPECT_EQ(received, std::vector<std::u16string>{u"a"});

  EXPECT_TRUE(platform::core::EncodeHandOver(std::u16string(4097, u'a')).empty());
  EXPECT_FALSE(platform::core::EncodeHandOver(std::u16string(4096, u'a')).empty());
}

// A connection to the instance socket that the test writes by hand.
class RawConnection {
public:
  explicit RawConnection(const fs::path& socketFile) : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socketFile.string();
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawConnection() { ::close(m_fd); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
  bool Send(std::uint8_t byte) { return ::send(m_fd, &byte, 1, MSG_NOSIGNAL) == 1; }
  // Answered or closed by the listener (without waiting).
  bool Ended() {
    std::uint8_t answer = 0;
    const ssize_t n = ::recv(m_fd, &answer, 1, MSG_DONTWAIT);
    return n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
  }
  bool connected = false;

private:
  int m_fd;
};

TEST_F(SingleInstance, SlowAndSilentSendersHoldUpNoOtherStart) {
  InstanceLock first(kName);
  ASSERT_EQ(first.Acquire(), State::First);
  ASSERT_TRUE(first.Publish(frame));
  // More connections that say nothing than a listen queue of eight holds.
  std::vector<std::unique_ptr<RawConnection>> silent;
  for (int i = 0; i < 12; ++i) {
    silent.push_back(std::make_unique<RawConnection>(SocketFile()));
    EXPECT_TRUE(silent.back()->connected) << "connection " << i + 1;
  }
  InstanceLock second(kName);
  ASSERT_EQ(second.Acquire(), State::Second);
  EXPECT_TRUE(OnWorker([&] { return second.HandOver(u"/pictures/a.kvr"); })) << "served beside the silent ones";
  EXPECT_EQ(received, std::vector<std::u16string>{u"/pictures/a.kvr"});

  // A sender that trickles its message a byte at a time would need many
  // seconds for it; the time limit is the whole message's, so it is cut off.
  const std::vector<std::uint8_t> message = platform::core::EncodeHandOver(u"/pictures/slowly.kvr");
  const bool cutOff = OnWorker([&] {
    RawConnection slow(SocketFile());
    for (std::uint8_t byte : message) {
      if (slow.Ended() || !slow.Send(byte)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    return false;
  });
  EXPECT_TRUE(cutOff);
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(SingleInstance, PathsTheInstanceDoesNotAcceptAreRefused) {
  InstanceLock first(kName);
  ASSERT_EQ(first.Acquire(), State::First);
  ASSERT_TRUE(first.Publish(frame, [](std::u16string_view path) { return path != u"/dev/zero"; }));
  InstanceLock second(kName);
  ASSERT_EQ(second.Acquire(), State::Second);
  EXPECT_FALSE(OnWorker([&] { return second.HandOver(u"/dev/zero"); }));
  EXPECT_TRUE(OnWorker([&] { return second.HandOver(u"/pictures/a.kvr"); }));
  EXPECT_TRUE(OnWorker([&] { return second.HandOver(u""); })) << "bringing the window forward needs no path";
  EXPECT_EQ(received, std::vector<std::u16string>{u"/pictures/a.kvr"});
}

TEST_F(SingleInstance, ASecondProcessHandsOverItsPathAndExits) {
  InstanceLock first(kName);
  ASSERT_EQ(first.Acquire(), State::First);
  ASSERT_TRUE(first.Publish(frame));

  const std::string path = "/pictures/from the second start.kvr";
  const std::string filter = "--gtest_filter=SecondStart.HandsItsPathOver";
  char* argv[] = {const_cast<char*>("/proc/self/exe"), const_cast<char*>(filter.c_str()), nullptr};
  testsupport::ScopedEnv role(kSecondStartVariable, path);
  pid_t child = 0;
  ASSERT_EQ(::posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, environ), 0);
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(child, &status, WNOHANG)) == 0) {
    host.Pump();
    platform::core::WaitForWork(10, nullptr);
  }
  host.Pump();
  ASSERT_EQ(done, child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the second start handed over and ended";
  EXPECT_EQ(received, std::vector<std::u16string>{u"/pictures/from the second start.kvr"});
}

// The second process of the test above (skipped when run on its own).
TEST(SecondStart, HandsItsPathOver) {
  const char* path = std::getenv(kSecondStartVariable);
  if (!path) GTEST_SKIP() << "the second start of ASecondProcessHandsOverItsPathAndExits";
  InstanceLock lock(kName);
  ASSERT_EQ(lock.Acquire(), State::Second);
  EXPECT_TRUE(lock.HandOver(testsupport::WideFromUtf8(path).GetText()));
}

} // namespace
