#include "output/SaveWorkers.h"

#include "output/COutputDialogs.h"
#include "output/CSaveMultiProgressDlg.h"
#include "output/CThreadProgressDlg.h"
#include "shell/app/AppClipboard.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/CTLM_Exif.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "shell/facade/KVR_DevelopAndSave.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EmbeddedImages.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"
#include "toolkit/PictureFiles.h"

#include <memory>

namespace {

struct DevelopSaveParam {
  const CSaveJob* job;
  CThreadProgressDlg* dialog;
  CKVR_FilterData* computed;
  int* result;
};

struct ExtractJpegParam {
  const std::vector<FString>* sources;
  const std::vector<FString>* outputs;
  CThreadProgressDlg* dialog;
};

bool Exists(const FString& path) { return ReadFileAttributeWord(path) != -1; }

void PostFinish(CWnd* dialog, bool success) {
  dialog->PostMessage(WM_APP_THREAD_PROGRESS, success ? 100 : static_cast<WPARAM>(-1), 1);
}

// The dialog as the facade's progress callback wants its user pointer.
void* CallbackUser(CThreadProgressDlg* dialog) { return static_cast<IThreadProgressDialog*>(dialog); }

// Runs the procedure on a worker thread under the dialog; the worker's exit
// code, or nothing when the thread cannot be made.
bool RunUnderDialog(AFX_THREADPROC procedure, void* parameter, CThreadProgressDlg* dialog, DWORD* exitCode) {
  INT_PTR result = 0;
  return RunThreadUnderDialog(*dialog, procedure, parameter, &result, exitCode) != FALSE;
}

// The output's write protection, lifted for a write and set again whatever
// its result. It holds the output's cached shooting-information record.
class WriteProtectionLift {
public:
  // False when the output's record cannot be had (the file is then skipped).
  bool Begin(const FString& output) {
    if (!GetLumitraApp()->GetExif(output, &m_Record)) return false;
    m_bLocked = m_Record.IsLocked();
    if (m_bLocked) m_Record.SetLocked(false);
    return true;
  }
  ~WriteProtectionLift() { Restore(); }
  void Restore() {
    if (m_bLocked) m_Record.SetLocked(true);
    m_bLocked = false;
  }
  CTLM_Exif& Record() { return m_Record; }

private:
  CTLM_Exif m_Record;
  bool m_bLocked = false;
};

// A picture for the batch dialog: the browser's item of the source when it
// has its final picture, else the file's embedded preview or a development.
CTLM_ThumbnailData* PictureRecordFor(const CET_ThumbnailDataManager* list, const FString& source) {
  auto* record = new CTLM_ThumbnailData;
  for (int i = 0; list && i < list->GetCount(); ++i) {
    const CET_ThumbnailData* item = list->GetAt(i);
    if (item && item->m_Path.CompareNoCase(source.GetText()) == 0) {
      record->CopyFrom(item); // a deep copy, the browser's record too
      break;
    }
  }
  if (record->m_pDib && record->m_pDib->IsValid() && record->m_bFinalPicture) return record;
  CLumitraApp* app = GetLumitraApp();
  app->LockEngine(INFINITE);
  CET_Dib* picture = KVR_LoadEmbeddedImageToBitmap(source.GetText(), kEmbeddedPreview, nullptr, nullptr, 0);
  if (!picture) {
    picture = KVR_DevelopFileToBitmap(source.GetText(), kDevelopPreview360, 1, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
  }
  app->UnlockEngine();
  if (picture) record->SetPicture(picture);
  return record;
}

enum class FileOutcome { Done, Skipped, Stop };

// One file of the batch through the facade; the outcome for the batch.
FileOutcome SaveOneOfBatch(CSaveMultiProgressDlg* dialog, const CSaveJob& job, bool overwriting,
                           CKVR_FilterData* computed) {
  const FString& output = job.m_aOutputs[0];
  const int fileType = GetFileType(output);
  if (overwriting && (fileType == ETFILETYPE_JPEG || fileType == ETFILETYPE_TIFF)) {
    WriteProtectionLift protection;
    if (!protection.Begin(output)) return FileOutcome::Skipped;
    const int result = KVR_DevelopAndSave(&job, ThreadProgressCallback, CallbackUser(dialog), computed);
    protection.Restore();
    if (result != kSaveDone) {
      GetLumitraApp()->UpdateExif(output, &protection.Record());
      return result == kSaveCancelled ? FileOutcome::Stop : FileOutcome::Skipped;
    }
  }
  else {
    const int result = KVR_DevelopAndSave(&job, ThreadProgressCallback, CallbackUser(dialog), computed);
    if (result == kSaveCancelled) return FileOutcome::Stop;
    if (result != kSaveDone) return FileOutcome::Skipped;
  }
  if (overwriting) GetLumitraApp()->RemoveExif(output);
  return FileOutcome::Done;
}

} // namespace

int ColorSpaceProfileCode(int colorSpace) {
  static constexpr int kCodes[] = {2, 4, 3, 8, 11};
  return colorSpace >= 0 && colorSpace < 5 ? kCodes[colorSpace] : 2;
}

// ---- One file

UINT DevelopSaveThreadProc(LPVOID parameter) {
  auto* param = static_cast<DevelopSaveParam*>(parameter);
  const int result = KVR_DevelopAndSave(param->job, ThreadProgressCallback, CallbackUser(param->dialog), param->computed);
  *param->result = result;
  PostFinish(param->dialog, result == kSaveDone);
  return 0;
}

int RunDevelopSaveJob(CSaveJob* job, CThreadProgressDlg* dialog, CKVR_FilterData* computed) {
  auto result = std::make_unique<int>(kSaveFailed);
  DevelopSaveParam param{job, dialog, computed, result.get()};
  DWORD exitCode = 0;
  if (!RunUnderDialog(DevelopSaveThreadProc, &param, dialog, &exitCode)) return kSaveFailed;
  return *result;
}

// ---- Embedded JPEG pictures

UINT ExtractJPEGThreadProc(LPVOID parameter) {
  auto* param = static_cast<ExtractJpegParam*>(parameter);
  CThreadProgressDlg* dialog = param->dialog;
  dialog->SetProgress(0);
  const size_t count = std::min(param->sources->size(), param->outputs->size());
  UINT written = 0;
  for (size_t i = 0; i < count; ++i) {
    const FString& source = (*param->sources)[i];
    const FString& output = (*param->outputs)[i];
    int ok = 0;
    if (Exists(output)) {
      WriteProtectionLift protection;
      if (!protection.Begin(output)) continue;
      int error = 0;
      ok = KVR_ExtractEmbeddedJpeg(source.GetText(), output.GetText(), &error);
    }
    else {
      int error = 0;
      ok = KVR_ExtractEmbeddedJpeg(source.GetText(), output.GetText(), &error);
    }
    if (ok) {
      ++written;
      GetLumitraApp()->RemoveExif(output);
    }
    const int percent = static_cast<int>(100.0 / static_cast<double>(count) * static_cast<double>(i + 1));
    dialog->PostMessage(WM_APP_THREAD_PROGRESS, static_cast<WPARAM>(percent), 0);
    if (dialog->IsCancelled()) break;
  }
  PostFinish(dialog, true);
  return written;
}

BOOL RunExtractJpegJob(const std::vector<FString>* sources, const std::vector<FString>* outputs,
                       CThreadProgressDlg* dialog) {
  ExtractJpegParam param{sources, outputs, dialog};
  DWORD written = 0;
  if (!RunUnderDialog(ExtractJPEGThreadProc, &param, dialog, &written)) return FALSE;
  return written != 0;
}

// ---- A batch

UINT BatchDevelopSaveThreadProc(LPVOID parameter) {
  auto* dialog = static_cast<CSaveMultiProgressDlg*>(parameter);
  CSaveJob job;
  std::vector<FString> inputs;
  std::vector<FString> outputs;
  if (const CSaveJob* own = dialog->GetJob()) {
    job.CopyFrom(own);
    inputs = own->m_aInputs;
    outputs = own->m_aOutputs;
  }
  const size_t count = std::min(inputs.size(), outputs.size());
  bool overwriteAll = false;
  for (size_t i = 0; i < count; ++i) {
    const FString& source = inputs[i];
    const FString& output = outputs[i];
    if (!Exists(source)) continue;
    bool overwriting = false;
    if (Exists(output)) {
      if (!overwriteAll) {
        const int answer = dialog->AskOverwrite(static_cast<int>(i));
        if (answer == CSaveMultiProgressDlg::kAnswerCancel) break;
        if (answer == CSaveMultiProgressDlg::kAnswerYesToAll) overwriteAll = true;
        else if (answer != CSaveMultiProgressDlg::kAnswerYes) continue;
      }
      overwriting = true;
    }
    CTLM_ThumbnailData* record = PictureRecordFor(dialog->GetThumbnailList(), source);
    dialog->PostMessage(WM_APP_THREAD_PROGRESS, 0, 0);
    dialog->PostMessage(WM_APP_SAVE_FILE_STARTED, i, reinterpret_cast<LPARAM>(record));
    job.m_aInputs = {source};
    job.m_aOutputs = {output};
    const bool automatic = job.m_nSettingMode == 2;
    CKVR_FilterData computed;
    const FileOutcome outcome = SaveOneOfBatch(dialog, job, overwriting, automatic ? &computed : nullptr);
    if (outcome == FileOutcome::Stop) break;
    if (outcome == FileOutcome::Skipped) continue;
    dialog->AddDoneFile(source, automatic ? &computed : nullptr);
  }
  PostFinish(dialog, true);
  return 0;
}

// ---- A review window's picture

BOOL SaveDibWithProfile(const CSaveJob* job, const CET_Dib* picture) {
  if (!job || job->m_aInputs.empty() || job->m_aOutputs.empty() || !picture || !picture->IsValid()) return FALSE;
  CLumitraApp* app = GetLumitraApp();
  const FString profile = app->GetColorSpaceProfilePath(ColorSpaceProfileCode(job->m_nColorSpace));
  return SaveDibAsImageFile(job->m_aOutputs[0], picture->header, picture->bits, job->m_nFileType, app->GetGdiPlus(),
                            static_cast<ULONG>(job->m_nJpegQualityPercent), profile, nullptr, job->m_aInputs[0]) != 0;
}
