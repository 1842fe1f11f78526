#include "platform/testing/CommonDialogs.h"

namespace platform::testing {
namespace {

struct ScriptedDialogs : core::IDialogDriver {
  std::function<bool(core::PrintSetupRequest&)> printSetup;
  std::function<bool(core::FontRequest&)> font;
  std::function<bool(core::FileRequest&)> file;

  bool PrintSetup(core::PrintSetupRequest& request) override { return printSetup && printSetup(request); }
  bool ChooseFont(core::FontRequest& request) override { return font && font(request); }
  bool ChooseFile(core::FileRequest& request) override { return file && file(request); }
};

ScriptedDialogs& Script() {
  static ScriptedDialogs script;
  return script;
}

} // namespace

void AnswerPrintSetups(std::function<bool(core::PrintSetupRequest&)> answer) { Script().printSetup = std::move(answer); }
void AnswerFontDialogs(std::function<bool(core::FontRequest&)> answer) { Script().font = std::move(answer); }
void AnswerFileDialogs(std::function<bool(core::FileRequest&)> answer) { Script().file = std::move(answer); }

void CancelDialogs() {
  Script().printSetup = nullptr;
  Script().font = nullptr;
  Script().file = nullptr;
}

void InstallScriptedDialogs() { core::SetDialogDriver(&Script()); }

} // namespace platform::testing
