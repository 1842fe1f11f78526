// File types and their programs, and launching: the open command of a type
// from the MIME database, xdg-mime and the program's desktop entry; opening
// documents with xdg-open and starting programs from command lines, always
// by argument vector. Programs are small scripts in a folder of the test's
// own on PATH.

#include "platform/shell/FileTypes.h"
#include "platform/shell/WinShell.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

class ShellServices : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(Path("bin/my player"));
    fs::create_directories(Path("data/mime"));
    fs::create_directories(Path("data/applications/kde"));
    fs::create_directories(Path("empty"));
    fs::create_directories(Path("docs"));
    WriteFileBytes(Path("data/mime/globs2"), "# weight:type:glob\n"
                                             "50:video/x-msvideo:*.avi\n"
                                             "50:image/jpeg:*.jpg\n"
                                             "50:image/png:*.png\n"
                                             "40:text/x-log:*.log\n");
    WriteFileBytes(Path("data/applications/player.desktop"),
                   "[Desktop Entry]\nType=Application\nName=Player\nExec=player --open %U\n");
    WriteFileBytes(Path("data/applications/hidden.desktop"), "[Desktop Entry]\nExec=player\nHidden=true\n");
    WriteFileBytes(Path("data/applications/kde/viewer.desktop"),
                   "[Desktop Entry]\nExec=player --view\nTryExec=not-installed\n");
    Script("bin/xdg-mime", "case \"$3\" in video/x-msvideo) echo player.desktop;; image/jpeg) echo hidden.desktop;;"
                           " image/png) echo kde-viewer.desktop;; *) exit 4;; esac");
    Script("bin/player", Recording("pwd"));
    Script("bin/my player/run", Recording("echo"));
  }

  fs::path Path(const std::string& below) const { return dir.Path() / below; }
  std::string Str(const std::string& below) const { return Path(below).string(); }
  std::u16string Wide(const std::string& text) const { return testsupport::WideFromUtf8(text).GetText(); }

  // A script body that records its arguments, then what `last` prints (a line).
  std::string Recording(const std::string& last) const {
    return "{ printf '%s|' \"$@\"; " + last + "; } > '" + Str("record") + "'";
  }

  void Script(const std::string& below, const std::string& body) {
    WriteFileBytes(Path(below), "#!/bin/sh\n" + body + "\n");
    fs::permissions(Path(below), fs::perms::owner_all);
  }

  // What the last program started recorded: "arg|arg|...|line\n" (waits for the whole line).
  std::string Recorded() {
    std::string record = "<nothing>";
    for (int i = 0; i < 300; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
      if (!fs::exists(Path("record"))) continue;
      record = ReadFileBytes(Path("record"));
      if (!record.empty() && record.back() == '\n') break;
    }
    fs::remove(Path("record"));
    return record;
  }

  std::u16string Command(const char16_t* type, ASSOCSTR what = ASSOCSTR_COMMAND) {
    char16_t out[512];
    DWORD size = 512;
    return AssocQueryStringW(ASSOCF_NONE, what, type, u"open", out, &size) == S_OK ? out : u"<none>";
  }

  testsupport::TempDir dir;
  testsupport::ScopedEnv path{"PATH", Str("bin")};
  testsupport::ScopedEnv dataHome{"XDG_DATA_HOME", Str("data")};
  testsupport::ScopedEnv dataDirs{"XDG_DATA_DIRS", Str("empty")};
};

TEST_F(ShellServices, AFileTypesOpenCommandNamesItsProgramQuoted) {
  const std::u16string player = Wide(Str("bin/player"));
  EXPECT_EQ(Command(u".avi"), u"\"" + player + u"\" --open %U");
  EXPECT_EQ(Command(u"AVI"), u"\"" + player + u"\" --open %U") << "with or without the dot, any case";
  EXPECT_EQ(Command(u".avi", ASSOCSTR_EXECUTABLE), player);
  EXPECT_EQ(Command(u".jpg"), u"<none>") << "a hidden entry";
  EXPECT_EQ(Command(u".png"), u"<none>") << "its TryExec program is missing";
  EXPECT_EQ(Command(u".log"), u"<none>") << "xdg-mime knows no program";
  EXPECT_EQ(Command(u".xyz"), u"<none>") << "an unknown type";

  char16_t small[4];
  DWORD size = 4;
  EXPECT_EQ(AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_COMMAND, u".avi", nullptr, small, &size), E_POINTER);
  EXPECT_EQ(size, player.size() + 13); // the quoted program, " --open %U" and the final 0
  size = 0;
  EXPECT_EQ(AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_EXECUTABLE, u".avi", nullptr, nullptr, &size), S_FALSE);
  EXPECT_EQ(size, player.size() + 1);
  EXPECT_EQ(AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_COMMAND, u".avi", u"print", small, &size),
            HRESULT_FROM_WIN32_NO_ASSOCIATION);

  WriteFileBytes(Path("docs/movie.avi"), "RIFF");
  char16_t program[MAX_PATH];
  EXPECT_GT(reinterpret_cast<std::intptr_t>(FindExecutableW(Wide(Str("docs/movie.avi")).c_str(), nullptr, program)), 32);
  EXPECT_EQ(std::u16string(program), player);
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(FindExecutableW(u"movie.avi", Wide(Str("docs")).c_str(), program)), 42);
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(FindExecutableW(Wide(Str("docs/gone.avi")).c_str(), nullptr, program)),
            SE_ERR_FNF);
  WriteFileBytes(Path("docs/notes.xyz"), "?");
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(FindExecutableW(Wide(Str("docs/notes.xyz")).c_str(), nullptr, program)),
            SE_ERR_NOASSOC);
  EXPECT_EQ(program[0], u'\0');
}

TEST_F(ShellServices, DocumentsOpenWithTheirProgramOrXdgOpenWithoutAShell) {
  Script("bin/xdg-open", Recording("pwd"));
  const std::string movie = Str("docs/it's $(touch pwned); \"odd\" *.avi");
  WriteFileBytes(movie, "RIFF");
  EXPECT_GT(reinterpret_cast<std::intptr_t>(
                ShellExecuteW(nullptr, u"open", Wide(movie).c_str(), u"--ignored", nullptr, SW_SHOW)),
            32);
  EXPECT_EQ(Recorded(), "--open|" + movie + "|" + Str("docs") + "\n") << "the type's program, by its Exec line";
  const std::string document = Str("docs/it's $(touch pwned); \"odd\" *.txt");
  WriteFileBytes(document, "text");
  EXPECT_GT(reinterpret_cast<std::intptr_t>(ShellExecuteW(nullptr, u"open", Wide(document).c_str(), nullptr, nullptr, 1)),
            32);
  EXPECT_EQ(Recorded(), document + "|" + Str("docs") + "\n") << "a file of no known type goes to xdg-open";
  EXPECT_FALSE(fs::exists(Path("docs/pwned")));

  const char16_t url[] = u"https://example.org/manual?a=1&b=2";
  EXPECT_GT(reinterpret_cast<std::intptr_t>(ShellExecuteW(nullptr, nullptr, url, nullptr, nullptr, SW_SHOW)), 32);
  EXPECT_EQ(Recorded().substr(0, 35), "https://example.org/manual?a=1&b=2|");

  EXPECT_EQ(reinterpret_cast<std::intptr_t>(
                ShellExecuteW(nullptr, u"open", Wide(Str("docs/gone.pdf")).c_str(), nullptr, nullptr, SW_SHOW)),
            SE_ERR_FNF);
  fs::remove(Path("bin/xdg-open"));
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(ShellExecuteW(nullptr, u"open", Wide(document).c_str(), nullptr, nullptr, 1)),
            SE_ERR_NOASSOC);
}

TEST_F(ShellServices, CommandLinesBecomeArgumentVectors) {
  struct Case {
    std::string line;
    std::string recorded;
  };
  const std::string folder = Str("docs");
  const Case cases[] = {
      {"player  \"/pictures/a b/c.avi\"", "/pictures/a b/c.avi|" + folder + "\n"},
      {"\"" + Str("bin/player") + "\" \"say \\\"hi\\\"\" back\\slash \"\"", "say \"hi\"|back\\slash||" + folder + "\n"},
      {"player a\\\\\"b c\" d", "a\\b c|d|" + folder + "\n"},
      {Str("bin/my player/run") + " one", "one|\n"}, // an unquoted program path with a blank
  };
  for (const Case& c : cases) {
    std::u16string line = Wide(c.line);
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, Wide(folder).c_str(),
                               &startup, &process))
        << c.line;
    EXPECT_EQ(Recorded(), c.recorded) << c.line;
  }
  std::u16string line = u"ignored-name first";
  ASSERT_TRUE(CreateProcessW(Wide(Str("bin/player")).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             Wide(folder).c_str(), nullptr, nullptr));
  EXPECT_EQ(Recorded(), "first|" + folder + "\n");
  line = u"no-such-program x";
  EXPECT_FALSE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, nullptr));
}

TEST(ShellTypeTexts, GlobListsKeepTheHeaviestPlainExtension) {
  std::map<std::string, std::pair<int, std::string>> types;
  platform::shell::ParseMimeGlobs("# comment\n"
                                  "50:image/jpeg:*.jpg\n"
                                  "60:image/x-other:*.JPG\n"
                                  "50:image/late:*.jpg\n"
                                  "50:text/plain:README\n"
                                  "50:text/x-c:*.[ch]\n"
                                  "x5:bad/weight:*.bad\n"
                                  "50:noslash:*.ns\n"
                                  "55:video/mp4:*.mp4:cs\n"
                                  "truncated line\n",
                                  types);
  ASSERT_EQ(types.size(), 2u);
  EXPECT_EQ(types["jpg"], (std::pair<int, std::string>{60, "image/x-other"}));
  EXPECT_EQ(types["mp4"], (std::pair<int, std::string>{55, "video/mp4"}));
}

TEST(ShellTypeTexts, DesktopEntriesAndExecLinesFollowTheirQuotingRules) {
  const auto entry = platform::shell::ParseDesktopEntry("[Other Group]\nExec=wrong\n"
                                                        "[Desktop Entry]\n  Exec = my\\sprog --x \"a b\" %f\n"
                                                        "TryExec=my prog\n");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->exec, "my prog --x \"a b\" %f");
  EXPECT_EQ(entry->tryExec, "my prog");
  EXPECT_FALSE(platform::shell::ParseDesktopEntry("[Desktop Entry]\nName=No program\n"));
  EXPECT_FALSE(platform::shell::ParseDesktopEntry("[Desktop Action new]\nExec=x\n"));

  using Args = std::vector<std::string>;
  EXPECT_EQ(platform::shell::SplitExec(R"(app "a \"q\" \$ \\ b"  c)"), (Args{"app", R"(a "q" $ \ b)", "c"}));
  EXPECT_FALSE(platform::shell::SplitExec("app \"open"));
  EXPECT_FALSE(platform::shell::SplitExec("   "));
  EXPECT_EQ(platform::shell::ArgumentsForFile({"app", "--icon", "%i", "%U", "100%%", "--name=%c"}, "/a b.avi"),
            (Args{"app", "--icon", "/a b.avi", "100%", "--name="}));
}

} // namespace
