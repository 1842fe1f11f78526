#pragma once
// The common dialogs in tests (Qt-free header): Init() installs a driver
// that answers each kind of dialog through the function a test gives it and
// cancels while there is none, so no test ever waits for a person. The
// function sees the request and fills in the answer (true: confirmed).
//
//   platform::testing::AnswerFileDialogs([](platform::core::FileRequest& r) {
//     r.path = u"/tmp/out.xml";
//     return true;
//   });

#include "platform/core/CommonDialogs.h"

#include <functional>

namespace platform::testing {

void AnswerPrintSetups(std::function<bool(core::PrintSetupRequest&)> answer);
void AnswerFontDialogs(std::function<bool(core::FontRequest&)> answer);
void AnswerFileDialogs(std::function<bool(core::FileRequest&)> answer);
// Back to cancelling every dialog.
void CancelDialogs();

// Installed by Init().
void InstallScriptedDialogs();

} // namespace platform::testing
