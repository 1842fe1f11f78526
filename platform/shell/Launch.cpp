// Starting programs and opening documents: every program is started with an
// argument vector through posix_spawn, never through a shell, and runs on
// its own (a detached thread reaps it). Documents and URLs open with
// xdg-open; a file type's program comes from its desktop entry.

#include "platform/shell/FileTypes.h"
#include "platform/shell/WinShell.h"

#include "foundation/FPath.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform::shell {
namespace {

constexpr std::size_t kMaxOutput = 64 * 1024;

std::vector<char*> Argv(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

void WaitFor(pid_t child, int* status) {
  while (::waitpid(child, status, 0) < 0 && errno == EINTR) {
  }
}

std::string Native(std::u16string_view text) {
  std::string bytes;
  return PathToNative(FString(text), bytes) ? bytes : std::string();
}

HINSTANCE Answer(int code) { return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code)); }
constexpr int kStarted = 42;

bool IsUrl(std::u16string_view text) {
  const std::size_t colon = text.find(u':');
  if (colon == std::u16string_view::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const char16_t c = text[i];
    const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (!letter && (i == 0 || !((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.'))) return false;
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

// The command line split by the original system's rules: the program up to
// the closing quote or the first blank; then arguments separated by blanks,
// where 2n backslashes before a quote give n and toggle quoting, 2n+1 give n
// and a quote, "" inside quotes gives a quote, other backslashes stand.
std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
  std::vector<std::u16string> arguments;
  std::size_t i = 0;
  auto blank = [&](std::size_t at) { return at < line.size() && (line[at] == u' ' || line[at] == u'\t'); };
  std::u16string program;
  if (i < line.size() && line[i] == u'"') {
    for (++i; i < line.size() && line[i] != u'"'; ++i) program += line[i];
    if (i < line.size()) ++i;
  } else {
    for (; i < line.size() && !blank(i); ++i) program += line[i];
  }
  arguments.push_back(program);
  for (;;) {
    while (blank(i)) ++i;
    if (i >= line.size()) break;
    std::u16string argument;
    bool quoted = false;
    while (i < line.size() && (quoted || !blank(i))) {
      std::size_t backslashes = 0;
      while (i < line.size() && line[i] == u'\\') ++backslashes, ++i;
      if (i < line.size() && line[i] == u'"') {
        argument.append(backslashes / 2, u'\\');
        if (backslashes % 2 == 1) {
          argument += u'"';
        } else if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          argument += u'"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        argument.append(backslashes, u'\\');
        if (i < line.size() && (quoted || !blank(i))) argument += line[i++];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

// An unquoted program with blanks in its path: the shortest run of leading
// words that names an executable file, as the original system tries it.
void JoinProgramWords(std::vector<std::u16string>& arguments, std::u16string_view line) {
  if (line.empty() || line.front() == u'"' || !ProgramPath(Native(arguments[0])).empty()) return;
  for (std::size_t words = 2; words <= arguments.size(); ++words) {
    std::u16string candidate = arguments[0];
    for (std::size_t k = 1; k < words; ++k) candidate += u" " + arguments[k];
    if (!ProgramPath(Native(candidate)).empty()) {
      arguments.erase(arguments.begin() + 1, arguments.begin() + static_cast<std::ptrdiff_t>(words));
      arguments[0] = std::move(candidate);
      return;
    }
  }
}

// The original's quoting of one argument: quoted when it holds a blank or a
// quote, with quotes and the backslashes before them escaped.
std::string Quoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
    } else {
      if (c == '"') out.append(backslashes + 1, '\\');
      backslashes = 0;
    }
    out += c;
  }
  out.append(backslashes, '\\');
  return out + "\"";
}

} // namespace

bool SpawnDetached(const std::vector<std::string>& arguments, const std::string& folder) {
  if (arguments.empty() || arguments[0].empty()) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv = Argv(arguments);
  pid_t child = 0;
  const int error = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return false;
  std::thread([child] {
    int status = 0;
    WaitFor(child, &status);
  }).detach();
  return true;
}

bool RunForOutput(const std::vector<std::string>& arguments, std::string& output, int timeoutMs) {
  output.clear();
  int pipe[2];
  if (arguments.empty() || ::pipe2(pipe, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv = Argv(arguments);
  pid_t child = 0;
  const int error = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  if (error != 0) {
    ::close(pipe[0]);
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool late = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd wait{pipe[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) == 0) {
      late = true;
      break;
    }
    char buffer[4096];
    const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output.append(buffer, static_cast<std::size_t>(std::min<std::size_t>(n, kMaxOutput - std::min(kMaxOutput, output.size()))));
  }
  ::close(pipe[0]);
  if (late) ::kill(child, SIGKILL);
  int status = 0;
  WaitFor(child, &status);
  return !late && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace platform::shell

using namespace platform::shell;

HRESULT AssocQueryStringW(ASSOCF, ASSOCSTR what, LPCWSTR type, LPCWSTR verb, LPWSTR out, DWORD* size) {
  if (!type || !size) return E_INVALIDARG;
  if (verb && std::u16string_view(verb) != u"open") return HRESULT_FROM_WIN32_NO_ASSOCIATION;
  const std::optional<OpenCommand> command = OpenCommandOfExtension(Native(type));
  if (!command) return HRESULT_FROM_WIN32_NO_ASSOCIATION;
  if (what != ASSOCSTR_COMMAND && what != ASSOCSTR_EXECUTABLE) return E_INVALIDARG;
  std::string text = command->program;
  if (what == ASSOCSTR_COMMAND) {
    text.insert(text.begin(), '"');
    text.push_back('"');
    for (std::size_t i = 1; i < command->exec.size(); ++i) text.append(" ").append(Quoted(command->exec[i]));
  }
  const std::u16string wide = PathFromNative(text).GetText();
  const DWORD need = static_cast<DWORD>(wide.size() + 1);
  if (!out) {
    *size = need;
    return S_FALSE;
  }
  if (*size < need) {
    *size = need;
    return E_POINTER;
  }
  std::copy(wide.begin(), wide.end(), out);
  out[wide.size()] = u'\0';
  *size = need;
  return S_OK;
}

// A file of a type with a program starts that program by its desktop
// entry's Exec line; URLs and other files go to xdg-open. Parameters are not
// passed on: neither takes more than the document.
HINSTANCE ShellExecuteW(HWND, LPCWSTR operation, LPCWSTR file, LPCWSTR, LPCWSTR folder, INT) {
  if (!file) return Answer(SE_ERR_FNF);
  if (operation && std::u16string_view(operation) != u"open" && std::u16string_view(operation) != u"explore") {
    return Answer(SE_ERR_NOASSOC);
  }
  std::string target = Native(file);
  std::string where = folder ? Native(folder) : std::string();
  if (!IsUrl(file)) {
    if (!target.empty() && target[0] != '/' && !where.empty()) target = where + "/" + target;
    if (!Exists(target)) return Answer(SE_ERR_FNF);
    if (where.empty()) where = Native(PathParent(PathFromNative(target)).GetText());
    struct stat st {};
    const std::string extension = Native(PathExtension(PathFromNative(target)).GetText());
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !extension.empty()) {
      if (const std::optional<OpenCommand> command = OpenCommandOfExtension(extension)) {
        std::vector<std::string> argv = ArgumentsForFile(command->exec, target);
        argv[0] = command->program;
        return Answer(SpawnDetached(argv, where) ? kStarted : SE_ERR_NOASSOC);
      }
    }
  }
  if (target.empty()) return Answer(SE_ERR_FNF);
  if (ProgramPath("xdg-open").empty()) return Answer(SE_ERR_NOASSOC);
  return Answer(SpawnDetached({"xdg-open", target}, where) ? kStarted : SE_ERR_NOASSOC);
}

HINSTANCE FindExecutableW(LPCWSTR file, LPCWSTR folder, LPWSTR program) {
  if (program) program[0] = u'\0';
  if (!file || !program) return Answer(SE_ERR_FNF);
  std::string path = Native(file);
  if (!path.empty() && path[0] != '/' && folder) path = Native(folder) + "/" + path;
  if (!Exists(path)) return Answer(SE_ERR_FNF);
  const FString extension = PathExtension(PathFromNative(path));
  const std::optional<OpenCommand> command = OpenCommandOfExtension(Native(extension.GetText()));
  if (!command) return Answer(SE_ERR_NOASSOC);
  const std::u16string wide = PathFromNative(command->program).GetText();
  if (wide.size() + 1 > MAX_PATH) return Answer(SE_ERR_NOASSOC);
  std::copy(wide.begin(), wide.end(), program);
  program[wide.size()] = u'\0';
  return Answer(kStarted);
}

BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, void*, void*, BOOL, DWORD, void*, LPCWSTR folder,
                    STARTUPINFOW*, PROCESS_INFORMATION* process) {
  if (process) *process = PROCESS_INFORMATION{};
  const std::u16string_view line = commandLine ? commandLine : u"";
  std::vector<std::u16string> arguments = SplitCommandLine(line);
  if (application) {
    arguments[0] = application;
  } else {
    JoinProgramWords(arguments, line);
  }
  std::vector<std::string> argv;
  for (const std::u16string& a : arguments) {
    const std::string bytes = Native(a);
    if (bytes.empty() && !a.empty()) return FALSE; // text that names nothing
    argv.push_back(bytes);
  }
  return SpawnDetached(argv, folder ? Native(folder) : std::string()) ? TRUE : FALSE;
}
