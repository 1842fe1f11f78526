// The develop-and-save workers under their progress dialogs, on synthetic raw
// files in a temporary folder: the batch's question about existing outputs
// (yes to all, no, cancel), a cancel in the middle of a file (no file, not
// even a partial one), the single save and its cancel, and the extraction of
// embedded JPEG pictures with its percents and over a write-protected file.

#include "output/CSaveMultiProgressDlg.h"
#include "output/COutputDialogs.h"
#include "output/RecordingProgressDlg.h"
#include "output/SaveWorkers.h"
#include "platform/testing/Headless.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "shell/facade/KVR_DevelopAndSave.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

namespace fs = std::filesystem;
namespace pt = platform::testing;
using namespace testsupport;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Width and height of a baseline or progressive JPEG's frame; 0 x 0 when none.
std::pair<int, int> JpegSize(const std::string& bytes) {
  for (size_t i = 2; i + 9 < bytes.size();) {
    if (static_cast<uint8_t>(bytes[i]) != 0xFF) return {0, 0};
    const auto marker = static_cast<uint8_t>(bytes[i + 1]);
    const size_t length = static_cast<uint8_t>(bytes[i + 2]) * 256u + static_cast<uint8_t>(bytes[i + 3]);
    if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
      auto at = [&](size_t k) { return static_cast<uint8_t>(bytes[i + k]) * 256 + static_cast<uint8_t>(bytes[i + k + 1]); };
      return {at(7), at(5)};
    }
    i += 2 + length;
  }
  return {0, 0};
}

// The batch dialog with scripted answers to its question, a record of what
// it showed, and optionally a cancel as soon as the facade reports progress.
class ScriptedBatchDlg : public CSaveMultiProgressDlg {
public:
  std::vector<int> answers;          // given in turn; cancel once used up
  std::vector<FString> questions;    // the outputs asked about
  std::vector<std::u16string> counts; // label 1166 after each file started
  std::vector<int> events;           // -1 file started, else the percent posted
  bool cancelOnProgress = false;     // the facade's first progress report stops it
  std::atomic<bool> ended{false};

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_THREAD_PROGRESS && lParam == 0) {
      events.push_back(static_cast<int>(wParam));
    }
    const LRESULT result = CSaveMultiProgressDlg::WindowProc(message, wParam, lParam);
    if (message == WM_APP_SAVE_FILE_STARTED) {
      events.push_back(-1);
      counts.push_back(CountLabel().GetText());
    }
    if (message == WM_APP_THREAD_PROGRESS && lParam != 0) ended = true;
    return result;
  }
  BOOL IsCancelled() const override { return cancelOnProgress ? TRUE : CSaveMultiProgressDlg::IsCancelled(); }
  INT_PTR Run() {
    pt::OnNextModal([this](HWND) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (!ended && std::chrono::steady_clock::now() < deadline) {
        pt::Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    return DoModal();
  }

protected:
  int RunOverwriteQuestion(const FString& output) override {
    questions.push_back(output);
    if (answers.empty()) return kAnswerCancel;
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
};

class SaveWorkersTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    InitStorageClasses();
    SetColorProfileProgramPath(BuildTreeProgramPath());
    SyntheticOptions options;
    options.size = SyntheticSize::Tiny;
    s_Raw = new SyntheticRaw(MakeSyntheticRaw(options));
  }
  static void TearDownTestSuite() {
    delete s_Raw;
    s_Raw = nullptr;
    delete s_Larger;
    s_Larger = nullptr;
  }
  void SetUp() override {
    pt::Init();
    const fs::path data = fs::path(BuildTreeProgramPath().GetAscii()).parent_path() / "resources";
    ASSERT_TRUE(app.LoadStringTable(PathFromNative((data / "String.txt").string())));
  }

  // Raw files 0..n-1 in the folder and a job saving each as a JPEG beside it.
  // The tiny shot may be saved before the facade ever reports progress, so a
  // test that cancels on the first report takes the larger one.
  void MakeBatch(int count, bool reportsProgress = false) {
    if (reportsProgress && !s_Larger) {
      SyntheticOptions options;
      options.size = SyntheticSize::Small;
      s_Larger = new SyntheticRaw(MakeSyntheticRaw(options));
    }
    job.m_nSettingMode = 1;
    for (int i = 0; i < count; ++i) {
      const fs::path raw = dir.Path() / ("shot" + std::to_string(i) + ".kvr");
      (reportsProgress ? s_Larger : s_Raw)->file.WriteTo(raw);
      job.m_aInputs.push_back(PathFromNative(raw.string()));
      job.m_aOutputs.push_back(PathFromNative(Output(i).string()));
    }
  }
  fs::path Output(int i) const { return dir.Path() / ("shot" + std::to_string(i) + ".jpg"); }
  // An earlier output: a real JPEG (the small embedded one), so its record can be read.
  static std::string OldBytes() { return {s_Raw->thumbnailJpeg.begin(), s_Raw->thumbnailJpeg.end()}; }
  void PutOldOutput(int i) const { std::ofstream(Output(i), std::ios::binary) << OldBytes(); }
  bool IsNewJpeg(int i) const {
    const std::string bytes = ReadAll(Output(i));
    return bytes.size() > 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xD8 &&
           bytes != OldBytes();
  }
  // Nothing in the folder but the raw files and these outputs.
  std::vector<std::string> OtherFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
      const std::string name = entry.path().filename().string();
      if (entry.path().extension() != ".kvr" && entry.path().extension() != ".jpg") names.push_back(name);
    }
    return names;
  }
  std::vector<FString> DoneFiles(const CSaveMultiProgressDlg& dialog) const {
    std::vector<FString> done;
    dialog.GetDoneFiles(&done);
    return done;
  }

  static inline SyntheticRaw* s_Raw = nullptr;
  static inline SyntheticRaw* s_Larger = nullptr;
  CLumitraApp app;
  TempDir dir;
  CSaveJob job;
};

TEST_F(SaveWorkersTest, BatchYesToAllOverwritesEveryExistingOutputAfterOneQuestion) {
  MakeBatch(3);
  PutOldOutput(1);
  PutOldOutput(2);
  ScriptedBatchDlg dialog;
  dialog.answers = {CSaveMultiProgressDlg::kAnswerYesToAll};
  dialog.SetJob(&job);
  EXPECT_EQ(dialog.Run(), IDOK);
  ASSERT_EQ(dialog.questions.size(), 1u);
  EXPECT_EQ(dialog.questions[0], job.m_aOutputs[1]);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(IsNewJpeg(i)) << i;
  EXPECT_EQ(JpegSize(ReadAll(Output(0))),
            (std::pair<int, int>(int(s_Raw->truth.outputColumns), int(s_Raw->truth.outputRows))));
  EXPECT_EQ(DoneFiles(dialog), job.m_aInputs);
  EXPECT_EQ(dialog.counts, (std::vector<std::u16string>{u"1 / 3", u"2 / 3", u"3 / 3"}));
  // Each file starts with the bar reset, then its own percents.
  ASSERT_GE(dialog.events.size(), 2u);
  EXPECT_EQ(dialog.events[0], 0);
  EXPECT_EQ(dialog.events[1], -1);
  EXPECT_TRUE(OtherFiles().empty());
}

TEST_F(SaveWorkersTest, BatchAnswersNoAndCancelLeaveExistingOutputsAlone) {
  MakeBatch(3);
  PutOldOutput(0);
  PutOldOutput(2);
  ScriptedBatchDlg dialog;
  dialog.answers = {CSaveMultiProgressDlg::kAnswerNo, CSaveMultiProgressDlg::kAnswerCancel};
  dialog.SetJob(&job);
  EXPECT_EQ(dialog.Run(), IDOK); // the batch dialog always ends with OK
  EXPECT_EQ(dialog.questions.size(), 2u);
  EXPECT_TRUE(ReadAll(Output(0)) == OldBytes());
  EXPECT_TRUE(IsNewJpeg(1));
  EXPECT_TRUE(ReadAll(Output(2)) == OldBytes());
  EXPECT_EQ(DoneFiles(dialog), std::vector<FString>{job.m_aInputs[1]});
}

TEST_F(SaveWorkersTest, BatchCancelledFirstWritesNothing) {
  MakeBatch(2);
  PutOldOutput(0);
  ScriptedBatchDlg dialog;
  dialog.answers = {CSaveMultiProgressDlg::kAnswerCancel};
  dialog.SetJob(&job);
  EXPECT_EQ(dialog.Run(), IDOK);
  EXPECT_TRUE(ReadAll(Output(0)) == OldBytes());
  EXPECT_FALSE(fs::exists(Output(1)));
  EXPECT_TRUE(DoneFiles(dialog).empty());
}

TEST_F(SaveWorkersTest, BatchCancelInsideAFileLeavesNoPartialFileAndStops) {
  MakeBatch(2, true);
  ScriptedBatchDlg dialog;
  dialog.cancelOnProgress = true;
  dialog.SetJob(&job);
  EXPECT_EQ(dialog.Run(), IDOK);
  EXPECT_FALSE(fs::exists(Output(0)));
  EXPECT_FALSE(fs::exists(Output(1)));
  EXPECT_TRUE(OtherFiles().empty());
  EXPECT_TRUE(DoneFiles(dialog).empty());
}

TEST_F(SaveWorkersTest, BatchInAutomaticModeKeepsTheValuesOfEachFileAndSkipsMissingSources) {
  MakeBatch(2);
  fs::remove(fs::path(job.m_aInputs[0].GetAscii()));
  job.m_nSettingMode = 2;
  ScriptedBatchDlg dialog;
  dialog.SetJob(&job);
  EXPECT_EQ(dialog.Run(), IDOK);
  EXPECT_EQ(DoneFiles(dialog), std::vector<FString>{job.m_aInputs[1]});
  std::vector<std::unique_ptr<CKVR_FilterData>> automatic;
  dialog.GetAutoAdjustResults(&automatic);
  EXPECT_EQ(automatic.size(), 1u);
  EXPECT_EQ(dialog.counts, std::vector<std::u16string>{u"2 / 2"});
}

TEST_F(SaveWorkersTest, SingleSaveReturnsTheFacadesResult) {
  MakeBatch(1);
  job.m_nFileType = 1;
  job.m_aOutputs[0] = PathFromNative((dir.Path() / "one.tif").string());
  {
    RecordingProgressDlg dialog;
    pt::OnNextModal([&dialog](HWND) { dialog.PumpUntilEnded(); });
    EXPECT_EQ(RunDevelopSaveJob(&job, &dialog, nullptr), kSaveDone);
    EXPECT_EQ(dialog.finishedWith, 100);
    EXPECT_EQ(ReadAll(dir.Path() / "one.tif").substr(0, 4), std::string("II*\0", 4));
  }
  job.m_aInputs[0] = PathFromNative((dir.Path() / "missing.kvr").string());
  RecordingProgressDlg dialog;
  pt::OnNextModal([&dialog](HWND) { dialog.PumpUntilEnded(); });
  EXPECT_EQ(RunDevelopSaveJob(&job, &dialog, nullptr), kSaveInputNotRaw);
  EXPECT_EQ(dialog.finishedWith, -1);
}

// Cancelled from the start: the facade's first progress report stops it.
class CancellingProgressDlg : public RecordingProgressDlg {
public:
  BOOL IsCancelled() const override { return TRUE; }
};

TEST_F(SaveWorkersTest, SingleSaveCancelledEndsWithCancelAndNoFile) {
  MakeBatch(1, true);
  CancellingProgressDlg dialog;
  pt::OnNextModal([&dialog](HWND) { dialog.PumpUntilEnded(); });
  EXPECT_EQ(RunDevelopSaveJob(&job, &dialog, nullptr), kSaveCancelled);
  EXPECT_EQ(dialog.finishedWith, -1);
  EXPECT_FALSE(fs::exists(Output(0)));
  EXPECT_TRUE(OtherFiles().empty());
}

TEST_F(SaveWorkersTest, ExtractionPostsCutPercentsAndKeepsAWriteProtectedOutputProtected) {
  MakeBatch(3);
  {
    // The first output exists: a picture saved earlier, then write-protected.
    RecordingProgressDlg dialog;
    pt::OnNextModal([&dialog](HWND) { dialog.PumpUntilEnded(); });
    ASSERT_EQ(RunDevelopSaveJob(&job, &dialog, nullptr), kSaveDone);
  }
  const std::string earlier = ReadAll(Output(0));
  fs::permissions(Output(0), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::remove(fs::path(job.m_aInputs[2].GetAscii())); // no picture to copy: not written
  RecordingProgressDlg dialog;
  pt::OnNextModal([&dialog](HWND) { dialog.PumpUntilEnded(); });
  EXPECT_TRUE(RunExtractJpegJob(&job.m_aInputs, &job.m_aOutputs, &dialog));
  EXPECT_EQ(dialog.posted, (std::vector<int>{33, 66, 100}));
  EXPECT_EQ(dialog.finishedWith, 100);
  EXPECT_TRUE(ReadAll(Output(0)) == std::string(s_Raw->previewJpeg.begin(), s_Raw->previewJpeg.end()));
  EXPECT_FALSE(ReadAll(Output(0)) == earlier);
  EXPECT_EQ(fs::status(Output(0)).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_TRUE(IsNewJpeg(1));
  EXPECT_FALSE(fs::exists(Output(2)));
}

TEST_F(SaveWorkersTest, ExtractionWithNothingWrittenAnswersFalse) {
  const std::vector<FString> sources{PathFromNative((dir.Path() / "none.kvr").string())};
  const std::vector<FString> outputs{PathFromNative((dir.Path() / "none.jpg").string())};
  RecordingProgressDlg dialog;
  pt::OnNextModal([&dialog](HWND) { dialog.PumpUntilEnded(); });
  EXPECT_FALSE(RunExtractJpegJob(&sources, &outputs, &dialog));
}

} // namespace
