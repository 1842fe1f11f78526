#pragma once
// File types and their programs (internal to platform_shell): the MIME type
// of an extension from the shared MIME database's glob lists, the default
// program from xdg-mime, and its desktop entry's Exec line. The readers of
// glob lists and desktop entries take hostile text.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::shell {

// Lines "weight:type:glob[:flags]" of a globs2 file; each plain "*.ext" glob
// gives the extension (lower case) its type, the highest weight winning and,
// at equal weight, the line read first. Other lines are skipped.
void ParseMimeGlobs(std::string_view text, std::map<std::string, std::pair<int, std::string>>& byExtension);
// The MIME type of an extension (with or without its dot, any case), from
// $XDG_DATA_HOME and $XDG_DATA_DIRS (mime/globs2); empty when unknown.
std::string MimeTypeOfExtension(std::string_view extension);

struct DesktopEntry {
  std::string exec;    // the Exec value, its string escapes resolved
  std::string tryExec; // a program that must exist for the entry to be used
};
// The [Desktop Entry] group of a desktop file; nothing without one, without
// an Exec key, or when it is hidden.
std::optional<DesktopEntry> ParseDesktopEntry(std::string_view text);
// An Exec value split into arguments by its quoting rules (double quotes,
// with \" \` \$ \\ inside); nothing for an unterminated quote or an empty line.
std::optional<std::vector<std::string>> SplitExec(std::string_view exec);
// The arguments for opening one file: %f %F %u %U become the file, "%%" a
// "%", other field codes are dropped.
std::vector<std::string> ArgumentsForFile(const std::vector<std::string>& exec, const std::string& file);

// A program name as an absolute path: a path is kept when it is an
// executable file, a name is looked up in $PATH; empty when there is none.
std::string ProgramPath(const std::string& program);

// The type's default program: its absolute path and its Exec arguments
// (the program first); nothing when there is none.
struct OpenCommand {
  std::string program;
  std::vector<std::string> exec;
};
std::optional<OpenCommand> OpenCommandOfExtension(std::string_view extension);

// Starts a program with these arguments (argv[0] is looked up in $PATH),
// in `folder` when not empty, without a shell; it runs on its own (a thread
// reaps it). False when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv, const std::string& folder);
// Runs a program and reads its standard output (at most 64 KiB), giving up
// after `timeoutMs`; false when it could not run or did not exit with 0.
bool RunForOutput(const std::vector<std::string>& argv, std::string& output, int timeoutMs);

} // namespace platform::shell
